// The main window's structure where a mistake is likely, and its wiring.

#include "widgets/errordisplay.h"
#include "settings/selectors.h"
#include "testsupport.h"
#include "mainwindow/tffmpegfrm.h"
#include "widgets/tjvcombobox.h"
#include "process/tjvcreateprocess.h"
#include "desktop/tjvtrayicon.h"
#include "settings/tsqldatmod.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void windowIsFixedSizeWithTitle();
    void toolBarHoldsButtonsInOrder();
    void fileListHasItsColumns();
    void selectorsCarryTagsOnTheirPages_data();
    void selectorsCarryTagsOnTheirPages();
    void startStateOfHiddenAndOptionalControls();
    void openDialogAddsOneVideoFile();
    void trayMenuAndIcon();
    void quitButtonAndMenuCloseTheWindow_data();
    void quitButtonAndMenuCloseTheWindow();
    void httpButtonOpensHomePage();
    void everyEventIsWired();
    void runnerHandlerErrorReachesErrorBox();

private:
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    QStringList m_boxes;
};

void MainWindowTest::initTestCase()
{
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
    ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        m_boxes << text;
    });
}

void MainWindowTest::init()
{
    m_boxes.clear();
    m_window = std::make_unique<TFFmpegFrm>();
    QCOMPARE(FFmpegFrm, m_window.get());
}

void MainWindowTest::cleanup()
{
    m_window.reset();
    QVERIFY(!FFmpegFrm);
    QCOMPARE(m_boxes, QStringList());
}

void MainWindowTest::cleanupTestCase()
{
    ErrorDisplay::setBoxFunction({});
    m_settings.reset();
}

void MainWindowTest::windowIsFixedSizeWithTitle()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Halvora"));
    QCOMPARE(m_window->size(), QSize(852, 525));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(!(m_window->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(m_window->JvEditCmdMsg->geometry(), QRect(0, 504, 852, 21));
}

void MainWindowTest::toolBarHoldsButtonsInOrder()
{
    struct Expected {
        const char *name;
        const char *caption;
        int image;
        const char *tip;
    };
    const Expected expected[] = {
        {"AddFileBtn", "Add", Picture::Add, "Add video file"},
        {"DelFileBtn", "Delete", Picture::Delete, "Delete video file"},
        {"ClearFileBtn", "Clear", Picture::Clear, "Clear all video files"},
        {"ToolButton4", nullptr, -1, nullptr},
        {"ConvFileBtn", "Convert", Picture::Convert, "Convert video files"},
        {"StopConvBtn", "Stop", Picture::Stop, "Stop video file conversion"},
        {"ToolButton3", nullptr, -1, nullptr},
        {"PlayBtn", "Play", Picture::Play, "Play video file"},
        {"ToolButton6", nullptr, -1, nullptr},
        {"HttpBtn", "Http", Picture::Homepage, "Software homepage"},
        {"ToolButton7", nullptr, -1, nullptr},
        {"QuitBtn", "Quit", Picture::Quit, "Quit"},
    };
    const QList<QAction *> actions = m_window->JvToolBar->actions();
    QCOMPARE(actions.size(), qsizetype(std::size(expected)));
    // What the user sees: each button whole, inside the tool bar, left of the next.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    int previousRight = -1;
    for (int i = 0; i < actions.size(); ++i) {
        QWidget *shown = m_window->JvToolBar->widgetForAction(actions[i]);
        QVERIFY(shown && shown->isVisible());
        QVERIFY2(m_window->JvToolBar->rect().contains(shown->geometry()), expected[i].name);
        QVERIFY2(shown->geometry().left() > previousRight, expected[i].name);
        previousRight = shown->geometry().right();
    }
    for (int i = 0; i < actions.size(); ++i) {
        const Expected &e = expected[i];
        if (!e.caption) {
            QVERIFY(actions[i]->isSeparator());
            QCOMPARE(actions[i]->objectName(), QLatin1String(e.name));
            continue;
        }
        auto *button = qobject_cast<QToolButton *>(m_window->JvToolBar->widgetForAction(actions[i]));
        QVERIFY(button);
        QCOMPARE(button->objectName(), QLatin1String(e.name));
        QCOMPARE(button->text(), QLatin1String(e.caption));
        QCOMPARE(button->toolTip(), QLatin1String(e.tip));
        QCOMPARE(button->icon().cacheKey(), m_window->ImageList.icon(e.image).cacheKey());
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    }
}

void MainWindowTest::fileListHasItsColumns()
{
    // What the user sees: the captions in order, each shown whole in its
    // column, and all columns side by side within the list, so no horizontal
    // scroll bar appears.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTreeWidget *list = m_window->FileListView;
    QHeaderView *header = list->header();
    const QStringList captions{"Video Files", "File Types", "File Size", "Playing Time", "Percent"};
    QCOMPARE(list->columnCount(), captions.size());
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int total = 0;
    for (int c = 0; c < captions.size(); ++c) {
        QCOMPARE(list->headerItem()->text(c), captions[c]);
        QVERIFY(!header->isSectionHidden(c));
        const int needed = header->fontMetrics().horizontalAdvance(captions[c]) + margins;
        QVERIFY2(header->sectionSize(c) >= needed,
                 qPrintable(QStringLiteral("\"%1\" needs %2 pixels, its column has %3")
                                .arg(captions[c]).arg(needed).arg(header->sectionSize(c))));
        total += header->sectionSize(c);
    }
    QVERIFY2(total <= list->viewport()->width(),
             qPrintable(QStringLiteral("columns %1 wide in a list %2 wide").arg(total).arg(list->viewport()->width())));
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(m_window->MsgListView->columnCount(), 2);
    QVERIFY(m_window->MsgListView->isHeaderHidden());
}

void MainWindowTest::selectorsCarryTagsOnTheirPages_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("label");
    for (const Selectors::Selector &row : Selectors::All) {
        QTest::newRow(row.controlName) << row.controlName << row.tag
                                       << (row.page == Selectors::Page::Video ? 0 : 1) << row.caption;
    }
}

void MainWindowTest::selectorsCarryTagsOnTheirPages()
{
    QFETCH(QString, name);
    QFETCH(int, tag);
    QFETCH(int, page);
    QFETCH(QString, label);
    auto *selector = m_window->findChild<TJvComboBox *>(name);
    QVERIFY(selector);
    QCOMPARE(selector->Tag, tag);
    QVERIFY(selector->isEditable());
    QCOMPARE(selector->width(), 115);
    QWidget *sheet = m_window->JvPageControl->widget(page);
    QCOMPARE(selector->parentWidget(), sheet);
    // Its label stands on the same page, to its left, on the same line.
    bool found = false;
    for (const QLabel *l : sheet->findChildren<QLabel *>()) {
        if (l->text() == label) {
            found = true;
            QVERIFY(l->geometry().right() < selector->x());
            QVERIFY2(l->fontMetrics().horizontalAdvance(label) <= l->width() + 2, qPrintable(QString("%1 > %2").arg(l->fontMetrics().horizontalAdvance(label)).arg(l->width())));
            QVERIFY(qAbs(l->y() - selector->y()) <= 4);
        }
    }
    QVERIFY2(found, qPrintable(label));
}

void MainWindowTest::startStateOfHiddenAndOptionalControls()
{
    QCOMPARE(m_window->JvEditNumb->text(), QStringLiteral("-1"));
    QVERIFY(m_window->JvEditNumb->isHidden());
    QVERIFY(m_window->JvEditDir->isReadOnly());
    QVERIFY(!m_window->JvCheckBox->isChecked());
    QCOMPARE(m_window->JvCheckBox->text(),
             QStringLiteral("Shut down the computer after the conversion is completed"));
    QCOMPARE(m_window->JvPageControl->currentIndex(), 0);
    const QStringList tabs{"Video Output Parameters", "Audio Output Parameters", "Other Settings"};
    const int images[] = {Picture::VideoHeading, Picture::AudioHeading, Picture::OtherSettings};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(m_window->JvPageControl->tabText(i), tabs[i]);
        QCOMPARE(m_window->JvPageControl->tabIcon(i).cacheKey(), m_window->ImageList.icon(images[i]).cacheKey());
    }
    QCOMPARE(m_window->FileListView->topLevelItemCount(), 0);
    QCOMPARE(m_window->JvEditCmdMsg->text(), QString());
}

void MainWindowTest::openDialogAddsOneVideoFile()
{
    QFileDialog *dialog = m_window->OpenDialog1();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Add video files"));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    const QStringList filters = dialog->nameFilters();
    QCOMPARE(filters.size(), 14);
    QCOMPARE(filters.first(), QStringLiteral("all video files (*.mp4 *.asf *.avi *.qt *.vob *.mov *.flv *.mpq "
                                             "*.wmv *.3gp *.3g2 *.rm *.rmvb *.mkv *.webm *.m4v *.ts *.mts *.m2ts *.ogv)"));
    QCOMPARE(filters.last(), QStringLiteral("3g2 video file (*.3g2)"));
}

void MainWindowTest::trayMenuAndIcon()
{
    const QList<QAction *> items = m_window->JvPopupMenu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("Open Halvora"));
    QCOMPARE(items[0]->icon().cacheKey(), m_window->ImageList.icon(Picture::OpenWindow).cacheKey());
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("Quit"));
    QCOMPARE(items[2]->icon().cacheKey(), m_window->ImageList.icon(Picture::Quit).cacheKey());
    QVERIFY(m_window->JvTrayIcon->Active());
    QCOMPARE(m_window->JvTrayIcon->IconIndex(), Picture::Waiting);
    QCOMPARE(m_window->JvTrayIcon->Hint, QStringLiteral("Halvora"));
}

void MainWindowTest::quitButtonAndMenuCloseTheWindow_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::newRow("tool bar") << false;
    QTest::newRow("tray menu") << true;
}

void MainWindowTest::quitButtonAndMenuCloseTheWindow()
{
    QFETCH(bool, fromMenu);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    if (fromMenu)
        m_window->Quit1->trigger();
    else
        QTest::mouseClick(m_window->QuitBtn, Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
}

void MainWindowTest::httpButtonOpensHomePage()
{
    TestSupport::UrlSink sink(QStringLiteral("https"));
    QTest::mouseClick(m_window->HttpBtn, Qt::LeftButton);
    QCOMPARE(sink.urls, (QList<QUrl>{QUrl(QString::fromLatin1(TFFmpegFrm::HomePage))}));
}

void MainWindowTest::everyEventIsWired()
{
    // Every control that raises an event of its own is connected to a handler
    // of the window (disconnecting reports whether a connection existed).
    TFFmpegFrm *w = m_window.get();
    const QList<QToolButton *> buttons{w->AddFileBtn,  w->DelFileBtn, w->ClearFileBtn, w->ConvFileBtn,
                                       w->StopConvBtn, w->PlayBtn,    w->HttpBtn,      w->QuitBtn,
                                       w->JvBtnSltDir, w->JvBtnOpenDir};
    for (QToolButton *button : buttons)
        QVERIFY2(QObject::disconnect(button, &QToolButton::clicked, w, nullptr), qPrintable(button->objectName()));
    const QList<TJvComboBox *> selectors = w->findChildren<TJvComboBox *>();
    QCOMPARE(selectors.size(), 9);
    for (TJvComboBox *selector : selectors) {
        QVERIFY(QObject::disconnect(selector, &QComboBox::activated, w, nullptr));
        QVERIFY(QObject::disconnect(selector->lineEdit(), &QLineEdit::textEdited, w, nullptr));
    }
    QVERIFY(QObject::disconnect(w->JvEditNumb, &QLineEdit::textChanged, w, nullptr));
    QVERIFY(QObject::disconnect(w->FileListView, &QTreeWidget::itemClicked, w, nullptr));
    QVERIFY(QObject::disconnect(w->OpenHalvora1, &QAction::triggered, w, nullptr));
    QVERIFY(QObject::disconnect(w->Quit1, &QAction::triggered, w, nullptr));
}

void MainWindowTest::runnerHandlerErrorReachesErrorBox()
{
    TJvCreateProcess *runner = m_window->JvCreateProcess;
    runner->OnTerminate = [](TJvCreateProcess *, std::uint32_t) { throw std::runtime_error("terminate failed"); };
    runner->CommandLine = "/bin/true";
    runner->Run();
    QTRY_COMPARE(m_boxes, QStringList{"terminate failed."});
    m_boxes.clear();
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
