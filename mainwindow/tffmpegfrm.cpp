#include "mainwindow/tffmpegfrm.h"

#include "batch/batchrun.h"
#include "desktop/batchnotifier.h"
#include "desktop/sleepinhibitor.h"
#include "desktop/tjvtimer.h"
#include "desktop/tjvtrayicon.h"
#include "intake/fileintake.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfunc.h"
#include "media/mediaquery.h"
#include "player/tmplayerfrm.h"
#include "process/handlererror.h"
#include "widgets/errordisplay.h"
#include "settings/batchsettings.h"
#include "widgets/tjvcombobox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

#include <algorithm>

TFFmpegFrm *FFmpegFrm = nullptr;

namespace {

constexpr int ImageRole = Qt::UserRole + 1;
constexpr int PathRole = Qt::UserRole + 2;

// The file list's columns, in the order of FileColumn.
struct FileColumnInfo {
    const char *caption;
    int width;
};
constexpr FileColumnInfo FileColumns[FileColumnCount] = {
    {"Video Files", 310}, {"File Types", 65}, {"File Size", 70}, {"Playing Time", 80}, {"Percent", 60},
};

int panelPicture(MediaQuery::PanelRowKind kind)
{
    switch (kind) {
    case MediaQuery::PanelRowKind::FileHeading:
        return Picture::Waiting;
    case MediaQuery::PanelRowKind::VideoHeading:
        return Picture::VideoHeading;
    case MediaQuery::PanelRowKind::AudioHeading:
        return Picture::AudioHeading;
    case MediaQuery::PanelRowKind::Value:
        break;
    }
    return Picture::Detail;
}

// An entry's state as the picture in front of its row.
int entryPicture(const BatchEntry &entry)
{
    // A file that could not be read keeps saying so, also once a run has
    // failed it for that reason.
    if (!entry.unreadable.isEmpty() && (entry.state == EntryState::Pending || entry.state == EntryState::Failed))
        return Picture::Unreadable;
    switch (entry.state) {
    case EntryState::Pending:
        return Picture::Waiting;
    case EntryState::Converting:
        return Picture::Converting;
    case EntryState::Done:
        return Picture::Finished;
    case EntryState::Failed:
        return Picture::Failed;
    case EntryState::Stopped:
        // Part of the file is kept: not done, and not waiting as if untouched
        // when something was written.
        return entry.output.isEmpty() ? Picture::Waiting : Picture::Stopped;
    }
    return Picture::Waiting;
}

// Where the captions and drop-downs of the two selector rows of a page start.
constexpr int SelectorRowCaptionTop[] = {9, 39};
constexpr int SelectorRowTop[] = {6, 35};

// Draws the grid lines of a report-style list.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

// The file list, which says how to fill it while it is empty and shows a
// text cut short by its column whole when pointed at.
class FileList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    bool viewportEvent(QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return QTreeWidget::viewportEvent(event);
        const auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.data(Qt::DisplayRole).toString();
        const QString tip = index.data(Qt::ToolTipRole).toString();
        // The text, its picture and the cell's margins.
        const int needed = fontMetrics().horizontalAdvance(text) + 12
                         + (index.data(Qt::DecorationRole).isNull() ? 0 : iconSize().width() + 4);
        if (!index.isValid() || needed <= columnWidth(index.column()))
            return QTreeWidget::viewportEvent(event);
        QToolTip::showText(help->globalPos(), tip.isEmpty() ? text : text + QLatin1Char('\n') + tip, viewport(),
                           visualRect(index));
        return true;
    }

    void paintEvent(QPaintEvent *event) override
    {
        QTreeWidget::paintEvent(event);
        if (topLevelItemCount() > 0)
            return;
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("Drop videos or folders here, or click Add"));
    }
};

QTreeWidget *reportList(QWidget *parent, const char *name, QRect geometry, QTreeWidget *list = nullptr)
{
    if (!list)
        list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(geometry);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setIconSize(QSize(16, 16));
    list->setItemDelegate(new GridDelegate(list));
    return list;
}

QLineEdit *edit(QWidget *parent, const char *name, QRect geometry, bool readOnly)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setGeometry(geometry);
    e->setReadOnly(readOnly);
    return e;
}

QToolButton *speedButton(QWidget *parent, const char *name, QRect geometry, const QString &glyph,
                         const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoRaise(true);
    button->setIcon(QIcon(TImageList::render(glyph, QSize(16, 16))));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    return button;
}

// Runs one operation of a fresh controller for an event of the window; an
// error that leaves it goes to the default error display.
template <typename... Params, typename... Args>
void runOperation(TFFmpegFrm &frm, void (TFFmpegFunc::*operation)(Params...), Args... args) noexcept
{
    ErrorDisplay::runHandler([&] { (TFFmpegFunc(frm).*operation)(args...); });
}

} // namespace

TFFmpegFrm::TFFmpegFrm(QWidget *parent) : QWidget(parent)
{
    if (!FFmpegFrm)
        FFmpegFrm = this;
    // Errors raised by the runners' event handlers reach the default error display.
    HandlerError::setDisplay([](const std::exception &error) { ErrorDisplay::showError(error); });
    TMplayerFrm::setHandlerErrorDisplay([](const std::exception &error) { ErrorDisplay::showError(error); });

    setObjectName(QStringLiteral("FFmpegFrm"));
    setWindowTitle(QStringLiteral("Halvora"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(DefaultSize);
    QFont windowFont = QApplication::font();
    windowFont.setPointSize(8);
    setFont(windowFont);
    setWindowIcon(QIcon(TImageList::render(QStringLiteral(":/images/halvora.svg"), QSize(64, 64))));

    createComponents();
    createToolBar();
    createFileList();
    createOutputBox();
    createPages();
    createInformationPanel();

    JvEditCmdMsg = edit(this, "JvEditCmdMsg", QRect(0, DefaultSize.height() - 21, DefaultSize.width(), 21), true);
    // A line to read, not a stop on the way through the window with Tab.
    JvEditCmdMsg->setFocusPolicy(Qt::NoFocus);
    showReadOnly();
    // Last, so that it watches every control for dropped files.
    Intake = new IntakeQueue(
        this, JvEditCmdMsg, [this](const QByteArray &file) { TFFmpegFunc(*this).AddRow(file); },
        [this](const QByteArray &file) { TFFmpegFunc(*this).ShowAddedFile(file); });
    followBatch();
    fitText();
    restoreSize(DefaultSize);

    // The icon is up from here to the window's destruction.
    JvTrayIcon->setActive(true);
}

TFFmpegFrm::~TFFmpegFrm()
{
    if (FFmpegFrm == this)
        FFmpegFrm = nullptr;
}

void TFFmpegFrm::createComponents()
{
    m_batch = new BatchRun(this);
    m_batch->setObjectName(QStringLiteral("Batch"));

    JvPopupMenu = new QMenu(this);
    JvPopupMenu->setObjectName(QStringLiteral("JvPopupMenu"));
    OpenHalvora1 = JvPopupMenu->addAction(ImageList.icon(Picture::OpenWindow), QStringLiteral("Open Halvora"));
    OpenHalvora1->setObjectName(QStringLiteral("OpenHalvora1"));
    N1 = JvPopupMenu->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    Quit1 = JvPopupMenu->addAction(ImageList.icon(Picture::Quit), QStringLiteral("Quit"));
    Quit1->setObjectName(QStringLiteral("Quit1"));
    connect(OpenHalvora1, &QAction::triggered, this, &TFFmpegFrm::OpenHalvora1Click);
    connect(Quit1, &QAction::triggered, this, &TFFmpegFrm::Quit1Click);

    JvTrayIcon = new TJvTrayIcon(this, ImageList);
    JvTrayIcon->setObjectName(QStringLiteral("JvTrayIcon"));
    JvTrayIcon->setIconIndex(Picture::Waiting);
    JvTrayIcon->Hint = QStringLiteral("Halvora");
    JvTrayIcon->PopupMenu = JvPopupMenu;
    JvTrayIcon->OnClick = [this](TJvTrayIcon *, Qt::MouseButton button) { JvTrayIconClick(button); };

    JvTimer = new TJvTimer(this);
    JvTimer->setObjectName(QStringLiteral("JvTimer"));
    JvTimer->OnTimer = [this](TJvTimer *) { JvTimerTimer(); };

    Inhibitor = new SleepInhibitor(this);
    Inhibitor->setObjectName(QStringLiteral("Inhibitor"));
    connect(Inhibitor, &SleepInhibitor::refused, this,
            [this](const QString &why) { runOperation(*this, &TFFmpegFunc::SleepNotBlocked, why); });
    Notifier = new BatchNotifier(this);
    Notifier->setObjectName(QStringLiteral("Notifier"));
    Notifier->OnActivate = [this] { OpenHalvora1Click(); };

    ProgressTimer = new QTimer(this);
    ProgressTimer->setObjectName(QStringLiteral("ProgressTimer"));
    ProgressTimer->setInterval(ProgressMs);
    connect(ProgressTimer, &QTimer::timeout, this, [this] { runOperation(*this, &TFFmpegFunc::ShowBatchProgress); });
}

QFileDialog *TFFmpegFrm::OpenDialog1()
{
    // Made on first use: building the dialog lists a folder, loads file icons
    // and the MIME database, which would only slow the window's first show.
    if (m_openDialog)
        return m_openDialog;
    m_openDialog = new QFileDialog(this, QStringLiteral("Add video files"));
    m_openDialog->setObjectName(QStringLiteral("OpenDialog1"));
    m_openDialog->setFileMode(QFileDialog::ExistingFiles);
    m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialog->setNameFilters(FileIntake::dialogFilters());
    m_openDialog->setDirectory(TFFmpegFunc(*this).AddFolder());
    return m_openDialog;
}

QToolButton *TFFmpegFrm::addToolButton(const char *name, const QString &caption, int image, const QString &tip,
                                       const QKeySequence &shortcut)
{
    auto *button = new QToolButton(JvToolBar);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setIcon(ImageList.icon(image));
    if (shortcut.isEmpty()) {
        button->setToolTip(tip);
    } else {
        // A disabled button's shortcut does nothing, as a click would.
        button->setShortcut(shortcut);
        button->setToolTip(QStringLiteral("%1 (%2)").arg(tip, shortcut.toString(QKeySequence::NativeText)));
    }
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedSize(46, 36);
    JvToolBar->addWidget(button);
    return button;
}

QAction *TFFmpegFrm::addSeparator(const char *name)
{
    QAction *separator = JvToolBar->addSeparator();
    separator->setObjectName(QLatin1String(name));
    return separator;
}

void TFFmpegFrm::createToolBar()
{
    JvCoolBar = new QFrame(this);
    JvCoolBar->setObjectName(QStringLiteral("JvCoolBar"));
    JvCoolBar->setGeometry(0, 0, 852, 40);
    JvCoolBar->setFrameShape(QFrame::StyledPanel);

    JvToolBar = new QToolBar(JvCoolBar);
    JvToolBar->setObjectName(QStringLiteral("JvToolBar"));
    JvToolBar->setGeometry(9, 0, 835, 36);
    JvToolBar->setIconSize(QSize(16, 16));
    JvToolBar->setMovable(false);
    JvToolBar->setFloatable(false);

    AddFileBtn = addToolButton("AddFileBtn", QStringLiteral("Add"), Picture::Add, QStringLiteral("Add video file"),
                               QKeySequence(Qt::CTRL | Qt::Key_O));
    DelFileBtn = addToolButton("DelFileBtn", QStringLiteral("Delete"), Picture::Delete, QStringLiteral("Delete video file"),
                               QKeySequence(Qt::Key_Delete));
    ClearFileBtn = addToolButton("ClearFileBtn", QStringLiteral("Clear"), Picture::Clear, QStringLiteral("Clear all video files"),
                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete));
    ToolButton4 = addSeparator("ToolButton4");
    ConvFileBtn = addToolButton("ConvFileBtn", QStringLiteral("Convert"), Picture::Convert, QStringLiteral("Convert video files"),
                                QKeySequence(Qt::CTRL | Qt::Key_Return));
    // Esc is read by keyPressEvent: the intake's own Esc comes first.
    StopConvBtn = addToolButton("StopConvBtn", QStringLiteral("Stop"), Picture::Stop,
                                QStringLiteral("Stop video file conversion (Esc)"));
    ToolButton3 = addSeparator("ToolButton3");
    PlayBtn = addToolButton("PlayBtn", QStringLiteral("Play"), Picture::Play, QStringLiteral("Play video file"),
                           QKeySequence(Qt::CTRL | Qt::Key_P));
    PlayBtn->setToolTip(QStringLiteral("Play video file (%1 or Space)")
                            .arg(PlayBtn->shortcut().toString(QKeySequence::NativeText)));
    ToolButton6 = addSeparator("ToolButton6");
    HttpBtn = addToolButton("HttpBtn", QStringLiteral("Http"), Picture::Homepage, QStringLiteral("Software homepage"));
    ToolButton7 = addSeparator("ToolButton7");
    QuitBtn = addToolButton("QuitBtn", QStringLiteral("Quit"), Picture::Quit, QStringLiteral("Quit"));

    connect(AddFileBtn, &QToolButton::clicked, this, &TFFmpegFrm::AddFileBtnClick);
    connect(DelFileBtn, &QToolButton::clicked, this, &TFFmpegFrm::DelFileBtnClick);
    connect(ClearFileBtn, &QToolButton::clicked, this, &TFFmpegFrm::ClearFileBtnClick);
    connect(ConvFileBtn, &QToolButton::clicked, this, &TFFmpegFrm::ConvFileBtnClick);
    connect(StopConvBtn, &QToolButton::clicked, this, &TFFmpegFrm::StopConvBtnClick);
    // Stop has something to stop only while a batch runs.
    StopConvBtn->setEnabled(false);
    connect(PlayBtn, &QToolButton::clicked, this, &TFFmpegFrm::PlayBtnClick);
    connect(HttpBtn, &QToolButton::clicked, this, &TFFmpegFrm::HttpBtnClick);
    connect(QuitBtn, &QToolButton::clicked, this, &TFFmpegFrm::QuitBtnClick);
}

void TFFmpegFrm::createFileList()
{
    FileListView = reportList(this, "FileListView", QRect(5, 45, 593, 294), new FileList(this));
    FileListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows at once, for Delete; the panel shows the current one.
    FileListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QStringList captions;
    for (const FileColumnInfo &column : FileColumns)
        captions << QLatin1String(column.caption);
    FileListView->setHeaderLabels(captions);
    for (int column = 0; column < FileColumnCount; ++column)
        FileListView->setColumnWidth(column, FileColumns[column].width);
    // By mouse and by keyboard alike.
    connect(FileListView, &QTreeWidget::itemSelectionChanged, this, &TFFmpegFrm::FileListViewClick);
    // Space plays the current row, where the list has the focus; elsewhere it
    // keeps pressing the focused button.
    auto *play = new QShortcut(QKeySequence(Qt::Key_Space), FileListView, nullptr, nullptr, Qt::WidgetShortcut);
    play->setObjectName(QStringLiteral("PlayKey"));
    connect(play, &QShortcut::activated, PlayBtn, &QToolButton::click);
}

void TFFmpegFrm::createOutputBox()
{
    JvGroupBox = new QGroupBox(QStringLiteral("Output Directory"), this);
    JvGroupBox->setObjectName(QStringLiteral("JvGroupBox"));
    JvGroupBox->setGeometry(5, 345, 593, 54);

    JvEditDir = edit(JvGroupBox, "JvEditDir", QRect(9, 20, 504, 21), true);
    JvEditNumb = edit(JvGroupBox, "JvEditNumb", QRect(484, 12, 33, 21), false);
    JvEditNumb->setText(QStringLiteral("-1"));
    JvEditNumb->hide();
    JvEditNumb->setReadOnly(true);
    JvBtnSltDir = speedButton(JvGroupBox, "JvBtnSltDir", QRect(523, 18, 25, 25),
                              QStringLiteral(":/images/folder_choose.svg"), QStringLiteral("Choose the output folder…"));
    JvBtnOpenDir = speedButton(JvGroupBox, "JvBtnOpenDir", QRect(558, 18, 25, 25),
                               QStringLiteral(":/images/folder_open.svg"), QStringLiteral("Open the output folder"));

    connect(JvBtnSltDir, &QToolButton::clicked, this, &TFFmpegFrm::JvBtnSltDirClick);
    connect(JvBtnOpenDir, &QToolButton::clicked, this, &TFFmpegFrm::JvBtnOpenDirClick);
}

void TFFmpegFrm::addSelector(int position)
{
    const Selectors::Selector &row = Selectors::All[position];
    QWidget *page = row.page == Selectors::Page::Video ? TabSheet1 : TabSheet2;
    const int captionTop = SelectorRowCaptionTop[row.row];
    const int selectorTop = SelectorRowTop[row.row];

    auto *label = new QLabel(QLatin1String(row.caption), page);
    label->setObjectName(QLatin1String(row.captionName));
    label->setGeometry(row.captionLeft, captionTop, row.selectorLeft - row.captionLeft - 3, label->sizeHint().height());
    SelectorCaptions[position] = label;

    auto *selector = new TJvComboBox(row.tag, page);
    selector->setObjectName(QLatin1String(row.controlName));
    selector->setGeometry(row.selectorLeft, selectorTop, 115, 21);
    // Picking an entry and typing change the choice; setting it from code does not.
    const auto changed = [this, selector] { selectorChange(selector); };
    connect(selector, &QComboBox::activated, this, changed);
    connect(selector->lineEdit(), &QLineEdit::textEdited, this, changed);
    SelectorControls[position] = selector;
}

void TFFmpegFrm::createPages()
{
    JvPageControl = new QTabWidget(this);
    JvPageControl->setObjectName(QStringLiteral("JvPageControl"));
    JvPageControl->setGeometry(5, 408, 593, 93);
    JvPageControl->setIconSize(QSize(16, 16));

    TabSheet1 = new QWidget(JvPageControl);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget(JvPageControl);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    for (int position = 0; position < Selectors::Count; ++position)
        addSelector(position);

    TabSheet3 = new QWidget(JvPageControl);
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    // The batch's own choices on the first row, the power-off below.
    JvLabParallel = new QLabel(QStringLiteral("Simultaneous conversions"), TabSheet3);
    JvLabParallel->setObjectName(QStringLiteral("JvLabParallel"));
    JvLabParallel->setGeometry(5, SelectorRowCaptionTop[0], 130, JvLabParallel->sizeHint().height());
    JvCmbParallel = new QComboBox(TabSheet3);
    JvCmbParallel->setObjectName(QStringLiteral("JvCmbParallel"));
    JvCmbParallel->setGeometry(138, SelectorRowTop[0], 90, 21);
    for (int choice : BatchSettings::simultaneousChoices())
        JvCmbParallel->addItem(BatchSettings::simultaneousCaption(choice), choice);
    JvLabParallel->setBuddy(JvCmbParallel);
    JvCheckReencode = new QCheckBox(QStringLiteral("Re-encode streams that already fit"), TabSheet3);
    JvCheckReencode->setObjectName(QStringLiteral("JvCheckReencode"));
    JvCheckReencode->setGeometry(240, SelectorRowCaptionTop[0] - 1, 220, 17);
    JvCheckBox = new QCheckBox(QStringLiteral("Shut down the computer after the conversion is completed"), TabSheet3);
    JvCheckBox->setObjectName(QStringLiteral("JvCheckBox"));
    JvCheckBox->setGeometry(5, SelectorRowCaptionTop[1] - 1, 302, 17);
    connect(JvCmbParallel, &QComboBox::activated, this,
            [this] { runOperation(*this, &TFFmpegFunc::SaveSimultaneous); });
    connect(JvCheckReencode, &QCheckBox::clicked, this, [this] { runOperation(*this, &TFFmpegFunc::SaveReencode); });

    JvPageControl->addTab(TabSheet1, ImageList.icon(Picture::VideoHeading), QStringLiteral("Video Output Parameters"));
    JvPageControl->addTab(TabSheet2, ImageList.icon(Picture::AudioHeading), QStringLiteral("Audio Output Parameters"));
    JvPageControl->addTab(TabSheet3, ImageList.icon(Picture::OtherSettings), QStringLiteral("Other Settings"));
    JvPageControl->setCurrentIndex(0);
}

void TFFmpegFrm::createInformationPanel()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(602, 45, 245, 172);
    // The banner is drawn once fitText() has settled its height.

    MsgListView = reportList(this, "MsgListView", QRect(602, 222, 245, 278));
    MsgListView->setColumnCount(2);
    MsgListView->setHeaderHidden(true);
    MsgListView->setColumnWidth(0, 120);
    MsgListView->setColumnWidth(1, 120);
    MsgListView->setSelectionMode(QAbstractItemView::SingleSelection);

    // Headings (file, video, audio), each followed by its value rows, whose
    // values go into the second column.
    for (const MediaQuery::PanelRow &row : MediaQuery::PanelRows) {
        auto *item = new QTreeWidgetItem(MsgListView, {QLatin1String(row.caption)});
        setItemImage(item, panelPicture(row.kind));
    }
}

void TFFmpegFrm::followBatch()
{
    // The rows mirror the batch's entries; the window, the tray icon, the
    // sleep lock and the notifier follow its run.
    connect(m_batch, &BatchRun::entryAdded, this, [this](int index) {
        auto *item = new QTreeWidgetItem;
        showEntry(item, m_batch->entry(index));
        // Adding leaves the selection where it was.
        FileListView->insertTopLevelItem(index, item);
    });
    connect(m_batch, &BatchRun::entryChanged, this,
            [this](int index) { showEntry(FileListView->topLevelItem(index), m_batch->entry(index)); });
    connect(m_batch, &BatchRun::entryRemoved, this, [this](int index) {
        delete FileListView->topLevelItem(index);
        m_progress.removed(index);
    });
    connect(m_batch, &BatchRun::entriesCleared, FileListView, &QTreeWidget::clear);
    connect(m_batch, &BatchRun::currentChanged, this, [this](int index) { JvEditNumb->setText(QString::number(index)); });
    connect(m_batch, &BatchRun::statusChanged, this,
            [this](const QString &text) { runOperation(*this, &TFFmpegFunc::ShowBatchStatus, text); });
    connect(m_batch, &BatchRun::entryStarted, this, [this](int index) {
        // The panel shows the entry being converted, unless the user selected one.
        if (FileListView->selectedItems().isEmpty())
            TFFmpegFunc(*this).ShowMediaInfoLater(m_batch->entry(index).path);
    });
    connect(m_batch, &BatchRun::runningChanged, this,
            [this](bool running) { runOperation(*this, &TFFmpegFunc::BatchRunningChanged, running); });
    connect(m_batch, &BatchRun::finished, this, [this](int converted, int failed) {
        runOperation(*this, &TFFmpegFunc::BatchFinished, converted, failed);
    });
    m_batch->setMoreEntries([this] { return Intake->addNext(); });
    m_batch->setOptionsSource([this] { return TFFmpegFunc(*this).OutputOptions(); });
}

void TFFmpegFrm::showEntry(QTreeWidgetItem *item, const BatchEntry &entry) const
{
    if (item->data(0, PathRole).toByteArray() != entry.path) {
        item->setData(0, PathRole, entry.path);
        item->setText(ColumnFile, QFile::decodeName(entry.path));
        item->setText(ColumnType, QString::fromLocal8Bit(entry.type));
        item->setText(ColumnSize, QString::fromLocal8Bit(entry.size));
    }
    // The playing time changes when ffmpeg reads another one than the library.
    const QString time = QString::fromLocal8Bit(entry.time);
    if (item->text(ColumnTime) != time)
        item->setText(ColumnTime, time);
    item->setText(ColumnPercent, QString::number(entry.percent) + QLatin1Char('%'));
    if (itemImage(item) != entryPicture(entry))
        setItemImage(item, entryPicture(entry));
    // The outcome (or, before any, why the file cannot be read, or how fast
    // the run converts it), and below it the streams left out.
    QString outcome = entry.reason.isEmpty() ? entry.unreadable : entry.reason;
    if (outcome.isEmpty() && entry.state == EntryState::Converting && entry.speed > 0 && m_batch->isRunning())
        outcome = QStringLiteral("Converting at %1").arg(BatchProgress::speedText(entry.speed));
    const QString tip = outcome.isEmpty() || entry.streamNote.isEmpty()
                            ? outcome + entry.streamNote
                            : outcome + QLatin1Char('\n') + entry.streamNote;
    item->setToolTip(0, tip);
}

void TFFmpegFrm::setItemImage(QTreeWidgetItem *item, int index) const
{
    item->setData(0, ImageRole, index);
    item->setIcon(0, ImageList.icon(index));
}

int TFFmpegFrm::itemImage(const QTreeWidgetItem *item)
{
    const QVariant index = item->data(0, ImageRole);
    return index.isValid() ? index.toInt() : -1;
}

QByteArray TFFmpegFrm::itemPath(const QTreeWidgetItem *item)
{
    const QVariant path = item->data(0, PathRole);
    return path.isValid() ? path.toByteArray() : QFile::encodeName(item->text(0));
}

void TFFmpegFrm::bringToFront()
{
    if (!m_closing)
        JvTrayIcon->RestoreFromTray();
}

// Event handlers: each builds one controller for its operation and hands an
// error that leaves it to the default error display.

void TFFmpegFrm::AddFileBtnClick()
{
    runOperation(*this, &TFFmpegFunc::AddVideoFile);
}

void TFFmpegFrm::DelFileBtnClick()
{
    runOperation(*this, &TFFmpegFunc::DeleteVideoFile);
}

void TFFmpegFrm::ClearFileBtnClick()
{
    runOperation(*this, &TFFmpegFunc::ClearVideoFiles);
}

void TFFmpegFrm::ConvFileBtnClick()
{
    runOperation(*this, &TFFmpegFunc::StartConversion);
}

void TFFmpegFrm::StopConvBtnClick()
{
    runOperation(*this, &TFFmpegFunc::StopConversion);
}

void TFFmpegFrm::PlayBtnClick()
{
    runOperation(*this, &TFFmpegFunc::PlayVideoFile);
}

void TFFmpegFrm::HttpBtnClick()
{
    runOperation(*this, &TFFmpegFunc::OpenHomePage);
}

void TFFmpegFrm::QuitBtnClick()
{
    close();
}

void TFFmpegFrm::FileListViewClick()
{
    runOperation(*this, &TFFmpegFunc::SelectVideoFile);
}

void TFFmpegFrm::JvBtnSltDirClick()
{
    runOperation(*this, &TFFmpegFunc::ChooseOutputDir);
}

void TFFmpegFrm::JvBtnOpenDirClick()
{
    runOperation(*this, &TFFmpegFunc::OpenOutputDir);
}

void TFFmpegFrm::selectorChange(TJvComboBox *selector)
{
    runOperation(*this, &TFFmpegFunc::SaveSelection, selector);
}


void TFFmpegFrm::JvTimerTimer()
{
    runOperation(*this, &TFFmpegFunc::BlinkTrayIcon);
}

void TFFmpegFrm::JvTrayIconClick(Qt::MouseButton Button)
{
    if (Button == Qt::LeftButton)
        bringToFront();
}

void TFFmpegFrm::OpenHalvora1Click()
{
    bringToFront();
}

void TFFmpegFrm::Quit1Click()
{
    close();
}

void TFFmpegFrm::FormShow()
{
    ErrorDisplay::runHandler([this] {
        TFFmpegFunc func(*this);
        func.FillSelectors();
        func.LoadOutputDir();
        func.LoadBatchSettings();
    });
    // The selectors' entries are known now.
    fitText();
    restoreSize(TFFmpegFunc(*this).KeptWindowSize());
}

int TFFmpegFrm::neededWidth(const QComboBox *selector)
{
    // The longest entry in the edit field, inside the line edit's margins
    // (two pixels a side and the cursor), plus the frame and the arrow.
    int longest = 0;
    for (int i = 0; i < selector->count(); ++i)
        longest = qMax(longest, selector->fontMetrics().horizontalAdvance(selector->itemText(i)));
    QStyleOptionComboBox option;
    option.initFrom(selector);
    option.editable = true;
    option.rect = QRect(0, 0, 1000, selector->height());
    const QRect field =
        selector->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, selector);
    return longest + 5 + option.rect.width() - field.width();
}

void TFFmpegFrm::fitText()
{
    // Measured at the default size, whatever the window's size now.
    if (m_laidOut)
        placeControls(DefaultSize);
    // The layout was drawn for a narrower font than most desktops use. Each
    // control keeps its place and size where its text fits, and otherwise
    // gets the room it needs: the font is never made smaller.
    for (QToolButton *button : JvToolBar->findChildren<QToolButton *>()) {
        if (!button->text().isEmpty())
            button->setFixedSize(button->size().expandedTo(button->sizeHint()));
    }
    // The bar's own margins come on top of its buttons.
    JvToolBar->resize(JvToolBar->width(), qMax(JvToolBar->height(), JvToolBar->sizeHint().height()));
    JvCoolBar->resize(JvCoolBar->width(), qMax(JvCoolBar->height(), JvToolBar->geometry().bottom() + 3));
    const int listTop = JvCoolBar->geometry().bottom() + 6;
    if (listTop > FileListView->y())
        FileListView->setGeometry(FileListView->geometry().adjusted(0, listTop - FileListView->y(), 0, 0));
    // The banner beside it starts as low (its height is settled below).
    if (listTop > Image1->y())
        Image1->move(Image1->x(), listTop);
    JvCheckBox->resize(qMax(JvCheckBox->width(), JvCheckBox->sizeHint().width()), JvCheckBox->height());
    // The first row of "Other Settings": caption, drop-down, check box, each after the one before.
    JvLabParallel->resize(qMax(JvLabParallel->width(), JvLabParallel->sizeHint().width()), JvLabParallel->height());
    JvCmbParallel->setGeometry(qMax(JvCmbParallel->x(), JvLabParallel->geometry().right() + 4), JvCmbParallel->y(),
                               qMax(JvCmbParallel->width(), JvCmbParallel->sizeHint().width()), JvCmbParallel->height());
    JvCheckReencode->setGeometry(qMax(JvCheckReencode->x(), JvCmbParallel->geometry().right() + 12), JvCheckReencode->y(),
                                 qMax(JvCheckReencode->width(), JvCheckReencode->sizeHint().width()),
                                 JvCheckReencode->height());

    // Each page has two rows of captioned selectors. A pair moves right where
    // the one before it grew, and to the end of the second row where the
    // first row has no room left for it.
    using Pair = QPair<QLabel *, TJvComboBox *>;
    QList<QPair<QList<Pair>, QList<Pair>>> pages(2);
    for (int position = 0; position < Selectors::Count; ++position) {
        const Selectors::Selector &row = Selectors::All[position];
        auto &page = pages[row.page == Selectors::Page::Video ? 0 : 1];
        (row.row == 0 ? page.first : page.second).append({SelectorCaptions[position], SelectorControls[position]});
    }
    for (auto [first, second] : pages) {
        // The pages fill the tab widget inside its frame (known before they are laid out).
        const int pageWidth = JvPageControl->width() - 2 * JvPageControl->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        const int secondLabelTop = SelectorRowCaptionTop[1];
        const int secondSelectorTop = SelectorRowTop[1];
        for (QList<Pair> *row : {&first, &second}) {
            int right = -6; // of the previous selector, less the gap
            for (qsizetype i = 0; i < row->size(); ++i) {
                auto [label, selector] = row->at(i);
                const int labelWidth = label->fontMetrics().horizontalAdvance(label->text()) + 1;
                const int selectorWidth = qMax(selector->width(), neededWidth(selector));
                const int labelLeft = qMax(label->x(), right + 6);
                const int selectorLeft = qMax(selector->x(), labelLeft + labelWidth + 3);
                if (row == &first && selectorLeft + selectorWidth > pageWidth) {
                    // Continued on the second row, after what is there.
                    label->move(0, secondLabelTop);
                    selector->move(0, secondSelectorTop);
                    second.append(row->takeAt(i--));
                    continue;
                }
                label->setGeometry(labelLeft, label->y(), qMax(selectorLeft - labelLeft - 3, labelWidth),
                                   label->height());
                selector->setGeometry(selectorLeft, selector->y(), selectorWidth, selector->height());
                right = selector->geometry().right();
            }
        }
    }

    // The information panel shows its sixteen rows whole, without scroll bars:
    // the banner above gives up height where the rows need more.
    int rowHeight = 0;
    int captionWidth = MsgListView->columnWidth(0);
    for (int row = 0; row < MsgListView->topLevelItemCount(); ++row) {
        const QModelIndex caption = MsgListView->model()->index(row, 0);
        rowHeight = qMax(rowHeight, MsgListView->sizeHintForIndex(caption).height());
        captionWidth = qMax(captionWidth, MsgListView->sizeHintForIndex(caption).width());
    }
    const int frame = MsgListView->frameWidth();
    const int listBottom = MsgListView->geometry().bottom();
    const int listHeight = qMax(MsgListView->height(), MsgListView->topLevelItemCount() * rowHeight + 2 * frame);
    MsgListView->setGeometry(MsgListView->x(), listBottom + 1 - listHeight, MsgListView->width(), listHeight);
    const int bannerHeight = MsgListView->y() - 5 - Image1->y();
    if (bannerHeight != Image1->height() || Image1->pixmap().isNull()) {
        Image1->setGeometry(Image1->x(), Image1->y(), Image1->width(), bannerHeight);
        Image1->setPixmap(TImageList::render(QStringLiteral(":/images/banner.svg"), Image1->size()));
    }
    MsgListView->setColumnWidth(0, captionWidth);
    MsgListView->setColumnWidth(1, MsgListView->width() - 2 * frame - captionWidth);

    m_layout = {JvCoolBar->geometry(),  JvToolBar->geometry(),   FileListView->geometry(), JvGroupBox->geometry(),
                JvEditDir->geometry(),  JvBtnSltDir->geometry(), JvBtnOpenDir->geometry(), JvPageControl->geometry(),
                Image1->geometry(),     MsgListView->geometry(), JvEditCmdMsg->geometry(), FileListView->columnWidth(0),
                captionWidth};
    m_laidOut = true;
    setMinimumSize(smallestSize());
    placeControls(size());
}

void TFFmpegFrm::placeControls(QSize size)
{
    if (!m_laidOut)
        return;
    const Layout &at = m_layout;
    const int dx = size.width() - DefaultSize.width();
    const int dy = size.height() - DefaultSize.height();
    // A third of the extra width goes to the panel, the rest to the list;
    // only the list side gives width up.
    const int panelGain = dx > 0 ? dx / 3 : 0;
    const int listGain = dx - panelGain;
    // Extra height goes to both lists; height lost comes off the file list
    // and, beside it, off the banner above the panel's rows.

    JvCoolBar->setGeometry(at.coolBar.adjusted(0, 0, dx, 0));
    JvToolBar->setGeometry(at.toolBar.adjusted(0, 0, dx, 0));
    FileListView->setGeometry(at.list.adjusted(0, 0, listGain, dy));
    FileListView->setColumnWidth(ColumnFile, qMax(at.fileColumn + listGain, 120));
    JvGroupBox->setGeometry(at.outputBox.translated(0, dy).adjusted(0, 0, listGain, 0));
    JvEditDir->setGeometry(at.dirEdit.adjusted(0, 0, listGain, 0));
    JvBtnSltDir->setGeometry(at.chooseButton.translated(listGain, 0));
    JvBtnOpenDir->setGeometry(at.openButton.translated(listGain, 0));
    JvPageControl->setGeometry(at.pages.translated(0, dy).adjusted(0, 0, listGain, 0));
    JvEditCmdMsg->setGeometry(at.status.translated(0, dy).adjusted(0, 0, dx, 0));

    const QRect banner = at.banner.translated(listGain, 0).adjusted(0, 0, panelGain, qMin(dy, 0));
    if (banner.size() != Image1->size() || Image1->pixmap().isNull())
        Image1->setPixmap(banner.height() > 0 ? TImageList::render(QStringLiteral(":/images/banner.svg"), banner.size())
                                              : QPixmap());
    Image1->setGeometry(banner);
    Image1->setVisible(banner.height() > 0);
    MsgListView->setGeometry(at.panel.translated(listGain, qMin(dy, 0)).adjusted(0, 0, panelGain, qMax(dy, 0)));
    MsgListView->setColumnWidth(1, MsgListView->width() - 2 * MsgListView->frameWidth() - at.captionColumn);
}

QSize TFFmpegFrm::smallestSize() const
{
    const Layout &at = m_layout;
    // Height: the file list keeps its header and four rows; the banner may go.
    const int rowHeight = QFontMetrics(FileListView->font()).height() + 6;
    const int listNeeds = FileListView->header()->sizeHint().height() + 4 * rowHeight + 2 * FileListView->frameWidth();
    const int heightToGive = qMax(0, qMin(at.banner.height(), at.list.height() - listNeeds));

    // Width: the tool bar keeps its buttons, the pages their selectors, the
    // list's first column and the output field room for a name.
    int pagesNeed = 0;
    for (QWidget *page : {TabSheet1, TabSheet2, TabSheet3}) {
        for (const QWidget *control : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            pagesNeed = qMax(pagesNeed, control->geometry().right() + 1);
    }
    const int pageWidth = at.pages.width() - 2 * JvPageControl->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int widthToGive = qMax(0, std::min({at.toolBar.width() - JvToolBar->sizeHint().width(), pageWidth - pagesNeed - 6,
                                          at.fileColumn - 150, at.dirEdit.width() - 150}));
    return DefaultSize - QSize(widthToGive, heightToGive);
}

void TFFmpegFrm::restoreSize(QSize kept)
{
    QSize wanted = kept.isValid() ? kept.expandedTo(minimumSize()) : DefaultSize;
    const QScreen *shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!shownOn) {
        resize(wanted);
        return;
    }
    // Never larger than the screen's free area, title bar and frame included.
    const QRect area = shownOn->availableGeometry();
    const QSize frame = frameGeometry().size() - geometry().size();
    // Before the first show the frame is not known yet: a title bar is assumed.
    const QSize decoration = frame.width() <= 0 && frame.height() <= 0
                                 ? QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight))
                                 : frame;
    wanted = wanted.boundedTo(area.size() - decoration);
    resize(wanted.expandedTo(minimumSize()));
    QRect placed(QPoint(), size() + decoration);
    placed.moveCenter(area.center());
    move(qMax(area.left(), placed.left()), qMax(area.top(), placed.top()));
}

void TFFmpegFrm::showReadOnly()
{
    // Read-only fields look like the window around them, not like fields to type in.
    for (QLineEdit *field : {JvEditDir, JvEditCmdMsg}) {
        QPalette palette = field->palette();
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Window));
        field->setPalette(palette);
    }
}

void TFFmpegFrm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls(event->size());
}

void TFFmpegFrm::keyPressEvent(QKeyEvent *event)
{
    // Esc reaches the window when no control takes it and no intake runs.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && StopConvBtn->isEnabled()) {
        StopConvBtn->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFFmpegFrm::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The fields follow a new palette (a switch to a dark theme).
    if (event->type() == QEvent::PaletteChange && m_laidOut)
        showReadOnly();
}

void TFFmpegFrm::FormClose()
{
    runOperation(*this, &TFFmpegFunc::StopOnClose);
}

void TFFmpegFrm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Only the first show loads the settings; restoring from the tray does not.
    if (!std::exchange(m_shown, true))
        FormShow();
}

void TFFmpegFrm::closeEvent(QCloseEvent *event)
{
    // In two steps when an encoder runs: it is asked to quit and the window
    // hides; the program ends once the encoder has finished its file, or
    // after CloseWaitMs. Nothing waits here, so events go on meanwhile.
    if (!m_closing) {
        m_closing = true;
        JvTimer->setEnabled(false);
        if (m_shown)
            TFFmpegFunc(*this).KeepWindowSize();
        FormClose();
        if (m_batch->runningEncoders() > 0) {
            hide();
            connect(m_batch, &BatchRun::encodersEnded, this, &TFFmpegFrm::finishClosing);
            QTimer::singleShot(CloseWaitMs, this, &TFFmpegFrm::finishClosing);
            event->ignore();
            return;
        }
    }
    event->accept();
    m_closed = true;
    // Closing the main window ends the program, also when it is hidden in the tray.
    if (FFmpegFrm == this)
        QCoreApplication::quit();
}

void TFFmpegFrm::finishClosing()
{
    if (m_closed)
        return;
    disconnect(m_batch, &BatchRun::encodersEnded, this, &TFFmpegFrm::finishClosing);
    close();
}
