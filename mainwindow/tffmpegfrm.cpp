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
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QTreeWidget>

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

QTreeWidget *reportList(QWidget *parent, const char *name, QRect geometry)
{
    auto *list = new QTreeWidget(parent);
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
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(852, 525);
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

    JvEditCmdMsg = edit(this, "JvEditCmdMsg", QRect(0, height() - 21, width(), 21), true);
    // A line to read, not a stop on the way through the window with Tab.
    JvEditCmdMsg->setFocusPolicy(Qt::NoFocus);
    // Last, so that it watches every control for dropped files.
    Intake = new IntakeQueue(
        this, JvEditCmdMsg, [this](const QByteArray &file) { TFFmpegFunc(*this).AddRow(file); },
        [this](const QByteArray &file) { TFFmpegFunc(*this).ShowAddedFile(file); });
    followBatch();
    fitText();

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

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
    Notifier = new BatchNotifier(this);
    Notifier->setObjectName(QStringLiteral("Notifier"));
    Notifier->OnActivate = [this] { OpenHalvora1Click(); };
}

QFileDialog *TFFmpegFrm::OpenDialog1()
{
    // Made on first use: building the dialog lists a folder, loads file icons
    // and the MIME database, which would only slow the window's first show.
    if (m_openDialog)
        return m_openDialog;
    m_openDialog = new QFileDialog(this, QStringLiteral("Add video files"));
    m_openDialog->setObjectName(QStringLiteral("OpenDialog1"));
    m_openDialog->setFileMode(QFileDialog::ExistingFile);
    m_openDialog->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialog->setNameFilters(FileIntake::dialogFilters());
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
    StopConvBtn = addToolButton("StopConvBtn", QStringLiteral("Stop"), Picture::Stop, QStringLiteral("Stop video file conversion"));
    ToolButton3 = addSeparator("ToolButton3");
    PlayBtn = addToolButton("PlayBtn", QStringLiteral("Play"), Picture::Play, QStringLiteral("Play video file"),
                           QKeySequence(Qt::CTRL | Qt::Key_P));
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
    FileListView = reportList(this, "FileListView", QRect(5, 45, 593, 294));
    FileListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    FileListView->setSelectionMode(QAbstractItemView::SingleSelection);
    QStringList captions;
    for (const FileColumnInfo &column : FileColumns)
        captions << QLatin1String(column.caption);
    FileListView->setHeaderLabels(captions);
    for (int column = 0; column < FileColumnCount; ++column)
        FileListView->setColumnWidth(column, FileColumns[column].width);
    connect(FileListView, &QTreeWidget::itemClicked, this, &TFFmpegFrm::FileListViewClick);
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
    JvCheckBox = new QCheckBox(QStringLiteral("Shut down the computer after the conversion is completed"), TabSheet3);
    JvCheckBox->setObjectName(QStringLiteral("JvCheckBox"));
    JvCheckBox->setGeometry(5, 22, 302, 17);

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
    connect(m_batch, &BatchRun::entryRemoved, this, [this](int index) { delete FileListView->topLevelItem(index); });
    connect(m_batch, &BatchRun::entriesCleared, FileListView, &QTreeWidget::clear);
    connect(m_batch, &BatchRun::currentChanged, this, [this](int index) { JvEditNumb->setText(QString::number(index)); });
    connect(m_batch, &BatchRun::statusChanged, JvEditCmdMsg, &QLineEdit::setText);
    connect(m_batch, &BatchRun::entryStarted, this, [this](int index) {
        // The panel shows the entry being converted once its encoder runs.
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
        item->setText(ColumnTime, QString::fromLocal8Bit(entry.time));
    }
    item->setText(ColumnPercent, QString::number(entry.percent) + QLatin1Char('%'));
    if (itemImage(item) != entryPicture(entry))
        setItemImage(item, entryPicture(entry));
    // The outcome, and below it the streams left out.
    const QString tip = entry.reason.isEmpty() || entry.streamNote.isEmpty()
                            ? entry.reason + entry.streamNote
                            : entry.reason + QLatin1Char('\n') + entry.streamNote;
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
    });
    // The selectors' entries are known now.
    fitText();
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
    JvCheckBox->resize(qMax(JvCheckBox->width(), JvCheckBox->sizeHint().width()), JvCheckBox->height());

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
