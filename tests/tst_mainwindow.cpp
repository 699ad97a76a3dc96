// The main window's structure where a mistake is likely, and its wiring.

#include "desktop/tjvtrayicon.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "process/tjvcreateprocess.h"
#include "settings/selectors.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"
#include "widgets/tjvcombobox.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QHelpEvent>
#include <QScopeGuard>
#include <QToolTip>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QSignalSpy>
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

    void windowResizesAndKeepsItsSize();
    void toolBarHoldsButtonsInOrder();
    void shortcutsPressTheirButtons_data();
    void shortcutsPressTheirButtons();
    void fileListHasItsColumns();
    void selectorsCarryTagsOnTheirPages_data();
    void selectorsCarryTagsOnTheirPages();
    void startStateOfHiddenAndOptionalControls();
    void openDialogAddsOneVideoFile();
    void openDialogAddsSeveralAndOpensWhereItLastAdded();
    void selectionDrivesPanelAndDelete();
    void tabGoesFromTopLeftToBottomRight();
    void refusedSleepLockIsSaidOnce();
    void cutNameShowsWholeWhenPointedAt();
    void trayMenuAndIcon();
    void quitButtonAndMenuCloseTheWindow_data();
    void quitButtonAndMenuCloseTheWindow();
    void httpButtonOpensHomePage();
    void everyEventIsWired();
    void runnerHandlerErrorReachesErrorBox();

private:
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
    QTemporaryDir m_busDir;
    TestSupport::PrivateSystemBus m_bus;
};

void MainWindowTest::initTestCase()
{
    // The sleep lock is asked of a private bus without logind, never of the
    // machine's; no notification leaves the test.
    QVERIFY(m_busDir.isValid());
    QVERIFY(m_bus.start(m_busDir.path()));
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
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

void MainWindowTest::windowResizesAndKeepsItsSize()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Halvora"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->size(), QSize(852, 525));
    QCOMPARE(ui().JvEditCmdMsg->geometry(), QRect(0, 504, 852, 21));
    QVERIFY(m_window->windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(m_window->maximumWidth() > 852 && m_window->maximumHeight() > 525);

    // The next start opens at the size the window had when it closed.
    m_window->resize(1000, 640);
    m_window->close();
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(m_window->size(), QSize(1000, 640));
    QCOMPARE(ui().JvEditCmdMsg->geometry(), QRect(0, 619, 1000, 21));

    // A kept size the screen cannot hold gives way to the screen.
    m_window->resize(5000, 4000);
    m_window->close();
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(m_window->screen()->availableGeometry().contains(m_window->frameGeometry()));
    m_window->resize(852, 525);
    m_window->close();
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
        {"AddFileBtn", "Add", Picture::Add, "Add video file (Ctrl+O)"},
        {"DelFileBtn", "Delete", Picture::Delete, "Delete video file (Del)"},
        {"ClearFileBtn", "Clear", Picture::Clear, "Clear all video files (Ctrl+Shift+Del)"},
        {"ToolButton4", nullptr, -1, nullptr},
        {"ConvFileBtn", "Convert", Picture::Convert, "Convert video files (Ctrl+Return)"},
        {"StopConvBtn", "Stop", Picture::Stop, "Stop video file conversion (Esc)"},
        {"ToolButton3", nullptr, -1, nullptr},
        {"PlayBtn", "Play", Picture::Play, "Play video file (Ctrl+P or Space)"},
        {"ToolButton6", nullptr, -1, nullptr},
        {"HttpBtn", "Http", Picture::Homepage, "Software homepage"},
        {"ToolButton7", nullptr, -1, nullptr},
        {"QuitBtn", "Quit", Picture::Quit, "Quit"},
    };
    const QList<QAction *> actions = ui().JvToolBar->actions();
    QCOMPARE(actions.size(), qsizetype(std::size(expected)));
    // What the user sees: each button whole, inside the tool bar, left of the next.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    int previousRight = -1;
    for (int i = 0; i < actions.size(); ++i) {
        QWidget *shown = ui().JvToolBar->widgetForAction(actions[i]);
        QVERIFY(shown && shown->isVisible());
        QVERIFY2(ui().JvToolBar->rect().contains(shown->geometry()), expected[i].name);
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
        auto *button = qobject_cast<QToolButton *>(ui().JvToolBar->widgetForAction(actions[i]));
        QVERIFY(button);
        QCOMPARE(button->objectName(), QLatin1String(e.name));
        QCOMPARE(button->text(), QLatin1String(e.caption));
        QCOMPARE(button->toolTip(), QLatin1String(e.tip));
        QCOMPARE(button->icon().cacheKey(), m_window->imageList().icon(e.image).cacheKey());
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    }
}

void MainWindowTest::shortcutsPressTheirButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QKeyCombination>("key");
    QTest::newRow("Add") << "AddFileBtn" << QKeyCombination(Qt::ControlModifier, Qt::Key_O);
    QTest::newRow("Delete") << "DelFileBtn" << QKeyCombination(Qt::NoModifier, Qt::Key_Delete);
    QTest::newRow("Clear") << "ClearFileBtn" << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Delete);
    QTest::newRow("Convert") << "ConvFileBtn" << QKeyCombination(Qt::ControlModifier, Qt::Key_Return);
    QTest::newRow("Play") << "PlayBtn" << QKeyCombination(Qt::ControlModifier, Qt::Key_P);
    QTest::newRow("Play (Space)") << "PlayBtn" << QKeyCombination(Qt::NoModifier, Qt::Key_Space);
    QTest::newRow("Stop") << "StopConvBtn" << QKeyCombination(Qt::NoModifier, Qt::Key_Escape);
}

void MainWindowTest::shortcutsPressTheirButtons()
{
    QFETCH(QString, button);
    QFETCH(QKeyCombination, key);
    auto *pressed = m_window->findChild<QToolButton *>(button);
    QVERIFY(pressed);
    // Only the press is watched: what the button does is tested elsewhere.
    QVERIFY(QObject::disconnect(pressed, &QToolButton::clicked, m_window.get(), nullptr));
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    // As while a batch runs, for Stop.
    pressed->setEnabled(true);
    QSignalSpy clicked(pressed, &QToolButton::clicked);
    // From the list, where the focus usually is.
    ui().FileListView->setFocus();
    QTest::keyClick(ui().FileListView, key.key(), key.keyboardModifiers());
    QVERIFY(clicked.count() == 1 || clicked.wait(1000));
    // A disabled button's shortcut does nothing.
    pressed->setEnabled(false);
    QTest::keyClick(ui().FileListView, key.key(), key.keyboardModifiers());
    QTest::qWait(300);
    QCOMPARE(clicked.count(), 1);
}

void MainWindowTest::fileListHasItsColumns()
{
    // What the user sees: the captions in order, each shown whole in its
    // column, and all columns side by side within the list, so no horizontal
    // scroll bar appears.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTreeWidget *list = ui().FileListView;
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
    QCOMPARE(ui().MsgListView->columnCount(), 2);
    QVERIFY(ui().MsgListView->isHeaderHidden());
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
    QWidget *sheet = ui().JvPageControl->widget(page);
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
    QCOMPARE(ui().JvEditNumb->text(), QStringLiteral("-1"));
    QVERIFY(ui().JvEditNumb->isHidden());
    QVERIFY(ui().JvEditDir->isReadOnly());
    QVERIFY(!ui().JvCheckBox->isChecked());
    QCOMPARE(ui().JvCheckBox->text(),
             QStringLiteral("Shut down the computer after the conversion is completed"));
    QCOMPARE(ui().JvPageControl->currentIndex(), 0);
    const QStringList tabs{"Video Output Parameters", "Audio Output Parameters", "Other Settings"};
    const int images[] = {Picture::VideoHeading, Picture::AudioHeading, Picture::OtherSettings};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(ui().JvPageControl->tabText(i), tabs[i]);
        QCOMPARE(ui().JvPageControl->tabIcon(i).cacheKey(), m_window->imageList().icon(images[i]).cacheKey());
    }
    QCOMPARE(ui().FileListView->topLevelItemCount(), 0);
    QCOMPARE(ui().JvEditCmdMsg->text(), QString());
    // Nothing runs yet: nothing to stop.
    QVERIFY(!ui().StopConvBtn->isEnabled());
    QCOMPARE(ui().JvBtnSltDir->toolTip(), QStringLiteral("Choose the output folder…"));
    QCOMPARE(ui().JvBtnOpenDir->toolTip(), QStringLiteral("Open the output folder"));
}

void MainWindowTest::openDialogAddsOneVideoFile()
{
    QFileDialog *dialog = m_window->OpenDialog1();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Add video files"));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    const QStringList filters = dialog->nameFilters();
    // All video files, then each kind the intake takes on its own row.
    QCOMPARE(filters.size(), 23);
    QCOMPARE(filters.first(), QStringLiteral("all video files (*.mp4 *.asf *.avi *.qt *.vob *.mov *.flv *.mpg *.mpeg *.mpq "
                                             "*.wmv *.3gp *.3g2 *.rm *.rmvb *.mkv *.webm *.m4v *.ts *.mts *.m2ts *.ogv)"));
    QCOMPARE(filters.at(1), QStringLiteral("mp4 video file (*.mp4)"));
    QCOMPARE(filters.last(), QStringLiteral("ogv video file (*.ogv)"));
}

void MainWindowTest::openDialogAddsSeveralAndOpensWhereItLastAdded()
{
    // Nothing added yet: the dialog opens in the user's videos folder (or home).
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString first = m_window->OpenDialog1()->directory().absolutePath();
    QVERIFY2(first == QDir(videos).absolutePath() || first == QDir::homePath(), qPrintable(first));

    const QString folder = m_settings->path(QStringLiteral("picked 'clips' $HOME"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList picked{folder + QStringLiteral("/b.mkv"), folder + QStringLiteral("/a.mp4")};
    for (const QString &clip : picked)
        QVERIFY(TestSupport::makeH264Clip(clip, 1));
    const auto previous = TFFmpegFunc::setOpenDialogFunction([&picked](QFileDialog *) { return picked; });
    const auto restore = qScopeGuard([&previous] { TFFmpegFunc::setOpenDialogFunction(previous); });
    ui().AddFileBtn->click();
    // Every picked file, in the order picked.
    QTRY_COMPARE(ui().FileListView->topLevelItemCount(), 2);
    QCOMPARE(ui().FileListView->topLevelItem(0)->text(0), picked[0]);
    QCOMPARE(ui().FileListView->topLevelItem(1)->text(0), picked[1]);

    // The next start opens the dialog in that folder.
    m_window = std::make_unique<TFFmpegFrm>();
    QCOMPARE(m_window->OpenDialog1()->directory().absolutePath(), folder);
}

void MainWindowTest::selectionDrivesPanelAndDelete()
{
    QList<QByteArray> clips;
    for (const char *name : {"one.mp4", "two.mkv", "three.avi", "four.mov"}) {
        QVERIFY(TestSupport::makeH264Clip(m_settings->path(QLatin1String(name)), 1));
        clips << QFile::encodeName(m_settings->path(QLatin1String(name)));
    }
    m_window->intake().enqueue(clips);
    QTreeWidget *list = ui().FileListView;
    QTRY_COMPARE(list->topLevelItemCount(), 4);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTreeWidgetItem *fileName = ui().MsgListView->topLevelItem(1);

    // The panel follows the selection, also when the keyboard moves it.
    list->setFocus();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(0)).center());
    QCOMPARE(fileName->text(1), QStringLiteral("one.mp4"));
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(fileName->text(1), QStringLiteral("two.mkv"));
    // An entry that starts converting leaves the selected one in the panel.
    emit m_window->batch().entryStarted(2);
    QTest::qWait(100);
    QCOMPARE(fileName->text(1), QStringLiteral("two.mkv"));

    // Delete removes every selected row, and only those.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->topLevelItem(3)).center());
    QCOMPARE(list->selectedItems().size(), 2);
    QTest::keyClick(list, Qt::Key_Delete);
    QTRY_COMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(m_window->batch().count(), 2);
    QCOMPARE(list->topLevelItem(0)->text(0), QFile::decodeName(clips[0]));
    QCOMPARE(list->topLevelItem(1)->text(0), QFile::decodeName(clips[2]));
}

void MainWindowTest::tabGoesFromTopLeftToBottomRight()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // The controls Tab stops at, in the window's focus chain.
    QList<QWidget *> stops;
    for (QWidget *w = m_window->nextInFocusChain(); w != m_window.get(); w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled())
            stops << w;
    }
    const WindowControls c = ui();
    const QList<QWidget *> expected{c.FileListView, c.JvEditDir, c.JvBtnSltDir, c.JvBtnOpenDir, c.JvPageControl->tabBar(),
                                    c.JvCmbVdo1, c.MsgListView};
    qsizetype previous = -1;
    for (QWidget *control : expected) {
        const qsizetype at = stops.indexOf(control);
        QVERIFY2(at > previous, qPrintable(control->objectName()));
        previous = at;
    }
    QVERIFY(!stops.contains(c.JvEditCmdMsg));
    // The tool bar's buttons come first, left to right.
    if (stops.contains(c.AddFileBtn)) {
        QVERIFY(stops.indexOf(c.AddFileBtn) < stops.indexOf(c.QuitBtn));
        QVERIFY(stops.indexOf(c.QuitBtn) < stops.indexOf(c.FileListView));
    }
}

void MainWindowTest::refusedSleepLockIsSaidOnce()
{
    BatchRun &batch = m_window->batch();
    QLineEdit *status = ui().JvEditCmdMsg;
    emit batch.runningChanged(true);
    QTRY_VERIFY(status->text().startsWith(QStringLiteral("The computer may sleep during the conversion")));
    const QString note = status->text();
    // Progress lines cover it; the batch's end says it again.
    status->setText(QStringLiteral("frame=   25 fps=0.0"));
    emit batch.runningChanged(false);
    emit batch.finished(1, 0);
    QCOMPARE(status->text(), note);

    // The next batch, refused alike, leaves the status line alone.
    status->setText(QStringLiteral("frame=   50 fps=0.0"));
    emit batch.runningChanged(true);
    QTest::qWait(1000);
    emit batch.runningChanged(false);
    emit batch.finished(1, 0);
    QCOMPARE(status->text(), QStringLiteral("frame=   50 fps=0.0"));
}

void MainWindowTest::cutNameShowsWholeWhenPointedAt()
{
    const QString longName = m_settings->path(QStringLiteral("Interview with the grandparents about the farm, "
                                                             "the war years and the move to the city.mkv"));
    QVERIFY(TestSupport::makeH264Clip(longName, 1));
    m_window->intake().enqueue({QFile::encodeName(longName)});
    QTreeWidget *list = ui().FileListView;
    QTRY_COMPARE(list->topLevelItemCount(), 1);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const auto pointAt = [list](int column) {
        const QRect cell = list->visualRect(list->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(list->viewport(), &help);
    };
    pointAt(ColumnFile);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), longName);
    // A text that fits keeps the cell's own tooltip (none here).
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    pointAt(ColumnType);
    QTest::qWait(200);
    QVERIFY(!QToolTip::isVisible());
}

void MainWindowTest::trayMenuAndIcon()
{
    const QList<QAction *> items = ui().JvPopupMenu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("Open Halvora"));
    QCOMPARE(items[0]->icon().cacheKey(), m_window->imageList().icon(Picture::OpenWindow).cacheKey());
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("Quit"));
    QCOMPARE(items[2]->icon().cacheKey(), m_window->imageList().icon(Picture::Quit).cacheKey());
    QVERIFY(ui().JvTrayIcon->Active());
    QCOMPARE(ui().JvTrayIcon->IconIndex(), Picture::Waiting);
    QCOMPARE(ui().JvTrayIcon->Hint, QStringLiteral("Halvora"));
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
        ui().Quit1->trigger();
    else
        QTest::mouseClick(ui().QuitBtn, Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
}

void MainWindowTest::httpButtonOpensHomePage()
{
    TestSupport::UrlSink sink(QStringLiteral("https"));
    QTest::mouseClick(ui().HttpBtn, Qt::LeftButton);
    QCOMPARE(sink.urls, (QList<QUrl>{QUrl(QString::fromLatin1(TFFmpegFrm::HomePage))}));
}

void MainWindowTest::everyEventIsWired()
{
    // Every control that raises an event of its own is connected to a handler
    // of the window (disconnecting reports whether a connection existed).
    TFFmpegFrm *w = m_window.get();
    const WindowControls ui(w);
    const QList<QToolButton *> buttons{ui.AddFileBtn,  ui.DelFileBtn, ui.ClearFileBtn, ui.ConvFileBtn,
                                       ui.StopConvBtn, ui.PlayBtn,    ui.HttpBtn,      ui.QuitBtn,
                                       ui.JvBtnSltDir, ui.JvBtnOpenDir};
    for (QToolButton *button : buttons)
        QVERIFY2(QObject::disconnect(button, &QToolButton::clicked, w, nullptr), qPrintable(button->objectName()));
    const QList<TJvComboBox *> selectors = w->findChildren<TJvComboBox *>();
    QCOMPARE(selectors.size(), 9);
    for (TJvComboBox *selector : selectors) {
        QVERIFY(QObject::disconnect(selector, &QComboBox::activated, w, nullptr));
        QVERIFY(QObject::disconnect(selector->lineEdit(), &QLineEdit::textEdited, w, nullptr));
    }
    // The hidden batch cursor only shows the batch's current entry: its text starts nothing.
    QVERIFY(!QObject::disconnect(ui.JvEditNumb, &QLineEdit::textChanged, w, nullptr));
    QVERIFY(QObject::disconnect(ui.FileListView, &QTreeWidget::itemSelectionChanged, w, nullptr));
    QVERIFY(QObject::disconnect(ui.OpenHalvora1, &QAction::triggered, w, nullptr));
    QVERIFY(QObject::disconnect(ui.Quit1, &QAction::triggered, w, nullptr));
}

void MainWindowTest::runnerHandlerErrorReachesErrorBox()
{
    // The window sends the errors of every runner's handlers to its error box.
    TJvCreateProcess runner;
    runner.ConsoleOptions = unsigned(TJvConsoleOption::coRedirect);
    runner.OnTerminate = [](TJvCreateProcess *, std::uint32_t) { throw std::runtime_error("terminate failed"); };
    runner.CommandLine = "/bin/true";
    runner.Run();
    QTRY_COMPARE(m_boxes, QStringList{"terminate failed."});
    m_boxes.clear();
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
