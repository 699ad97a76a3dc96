// The tray icon on a real X server (Xvfb) with a real tray host (trayer),
// clicked with real pointer events (xdotool).

#include "desktop/tjvtrayicon.h"
#include "mainwindow/tffmpegfrm.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/timagelist.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTest>

class TrayIconTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void iconShowsWithTipAndRestoresOnLeftClick();
    void rightClickOpensMenuWithoutRestoring();
    void menuItemsRestoreAndQuit();
    void iconComesBackWhenTrayHostRestarts();
    void withoutTrayHostMinimisedWindowStaysReachable();
    void restoreShowsWindowTheWindowSystemHidUnreported();
    void iconGoesUpForShownAndHiddenWindows();

private:
    bool startTrayHost();
    void stopTrayHost();
    // Where the tray host shows the icon, once it has docked it.
    QRect iconGeometry();
    void click(const QRect &on, int button);

    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    QProcess m_trayer;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
};

void TrayIconTest::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (the test command starts Xvfb)");
    QVERIFY2(!QSystemTrayIcon::isSystemTrayAvailable(), "another tray host runs on this display");
    // The window's first show loads the settings from the current directory.
    m_settings = std::make_unique<TestSupport::ShippedSettings>();
    QVERIFY(m_settings->ok());
}

void TrayIconTest::cleanupTestCase()
{
    m_settings.reset();
}

bool TrayIconTest::startTrayHost()
{
    // The host ends with this test, even when the test crashes.
    m_trayer.start(QStringLiteral("setpriv"), {"--pdeathsig", "TERM", "--", "trayer", "--edge", "top", "--align",
                                               "right", "--widthtype", "request", "--height", "24", "--SetDockType",
                                               "false"});
    if (!m_trayer.waitForStarted())
        return false;
    QElapsedTimer clock;
    clock.start();
    while (!QSystemTrayIcon::isSystemTrayAvailable() && clock.elapsed() < 10000)
        QTest::qWait(50);
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIconTest::stopTrayHost()
{
    if (m_trayer.state() != QProcess::NotRunning) {
        m_trayer.terminate();
        if (!m_trayer.waitForFinished(5000)) {
            m_trayer.kill();
            m_trayer.waitForFinished();
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(!QSystemTrayIcon::isSystemTrayAvailable(), 5000);
}

void TrayIconTest::init()
{
    QVERIFY(startTrayHost());
    m_window = std::make_unique<TFFmpegFrm>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TrayIconTest::cleanup()
{
    m_window.reset();
    stopTrayHost();
}

QRect TrayIconTest::iconGeometry()
{
    // The host docks the icon at the right end of its panel along the top
    // edge; wait until the icon sits there and has stopped moving.
    QRect geometry;
    int steady = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000 && steady < 6) {
        // The icon goes up just after the window's first drawing.
        const QSystemTrayIcon *tray = ui().JvTrayIcon->platformIcon();
        const QRect now = tray ? tray->geometry() : QRect();
        const bool docked = now.width() > 1 && now.top() >= 0 && now.bottom() < 30;
        steady = docked && now == geometry ? steady + 1 : 0;
        geometry = now;
        QTest::qWait(50);
    }
    return steady >= 6 ? geometry : QRect();
}

void TrayIconTest::click(const QRect &on, int button)
{
    const QPoint centre = on.center();
    QCOMPARE(TestSupport::runProgram("xdotool", {"mousemove", "--sync", QString::number(centre.x()),
                                                 QString::number(centre.y()), "click", QString::number(button)}),
             0);
}

void TrayIconTest::iconShowsWithTipAndRestoresOnLeftClick()
{
    const QRect icon = iconGeometry();
    QVERIFY2(icon.isValid(), "the tray host did not dock the icon");
    QCOMPARE(ui().JvTrayIcon->platformIcon()->toolTip(), QStringLiteral("Halvora"));

    m_window->showMinimized();
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(!(ui().JvTrayIcon->Visibility & tvVisibleTaskBar));

    click(icon, 1);
    QTRY_VERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());
    QVERIFY(ui().JvTrayIcon->Visibility & tvVisibleTaskBar);
}

void TrayIconTest::rightClickOpensMenuWithoutRestoring()
{
    const QRect icon = iconGeometry();
    QVERIFY(icon.isValid());
    m_window->showMinimized();
    QTRY_VERIFY(!m_window->isVisible());

    click(icon, 3);
    QTRY_COMPARE(QApplication::activePopupWidget(), ui().JvPopupMenu);
    const QList<QAction *> items = ui().JvPopupMenu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("Open Halvora"));
    QVERIFY(!items[0]->icon().isNull());
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2]->text(), QStringLiteral("Quit"));
    QVERIFY(!items[2]->icon().isNull());
    QVERIFY(!m_window->isVisible());

    ui().JvPopupMenu->close();
    QTest::qWait(200);
    QVERIFY(!m_window->isVisible());
}

void TrayIconTest::menuItemsRestoreAndQuit()
{
    m_window->showMinimized();
    QTRY_VERIFY(!m_window->isVisible());
    ui().OpenHalvora1->trigger();
    QTRY_VERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());

    m_window->showMinimized();
    QTRY_VERIFY(!m_window->isVisible());
    ui().Quit1->trigger();
    QVERIFY(!m_window->isVisible());
}

void TrayIconTest::iconComesBackWhenTrayHostRestarts()
{
    QVERIFY(iconGeometry().isValid());
    ui().JvTrayIcon->setIconIndex(Picture::TrayBlink);
    stopTrayHost();
    QVERIFY(startTrayHost());
    const QRect icon = iconGeometry();
    QVERIFY2(icon.isValid(), "the icon did not come back");
    QCOMPARE(ui().JvTrayIcon->IconIndex(), Picture::TrayBlink);
    QCOMPARE(ui().JvTrayIcon->platformIcon()->icon().cacheKey(), m_window->imageList().icon(Picture::TrayBlink).cacheKey());

    // And it still works: a click restores the minimised window.
    m_window->showMinimized();
    QTRY_VERIFY(!m_window->isVisible());
    click(icon, 1);
    QTRY_VERIFY(m_window->isVisible());
}

void TrayIconTest::withoutTrayHostMinimisedWindowStaysReachable()
{
    stopTrayHost();
    m_window->showMinimized();
    QTRY_VERIFY(m_window->isMinimized());
    QTest::qWait(300);
    QVERIFY(m_window->isVisible());
    QVERIFY(ui().JvTrayIcon->Visibility & tvVisibleTaskBar);
}

void TrayIconTest::restoreShowsWindowTheWindowSystemHidUnreported()
{
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QString id = QString::number(m_window->winId());
    auto viewable = [&id] {
        QByteArray info;
        TestSupport::runProgram(QStringLiteral("xwininfo"), {"-id", id}, QString(), &info);
        return info.contains("Map State: IsViewable");
    };
    QVERIFY(viewable());
    // Taken off the screen behind the program's back, as a compositor that
    // never reports a minimise does: to Qt the window is still shown.
    QCOMPARE(TestSupport::runProgram(QStringLiteral("xdotool"), {"windowunmap", "--sync", id}), 0);
    QTRY_VERIFY(!viewable());
    QVERIFY(m_window->isVisible());

    ui().OpenHalvora1->trigger();
    QTRY_VERIFY(viewable());
    QVERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());
}


void TrayIconTest::iconGoesUpForShownAndHiddenWindows()
{
    const TImageList images;
    // A window that is shown gets its icon once it has been drawn.
    QWidget shown;
    auto *shownIcon = new TJvTrayIcon(&shown, images);
    shownIcon->setActive(true);
    shown.show();
    QTRY_VERIFY(shownIcon->platformIcon() && shownIcon->platformIcon()->isVisible());
    shownIcon->setActive(false);
    QVERIFY(!shownIcon->platformIcon()->isVisible());

    // One that stays hidden gets it all the same.
    QWidget hidden;
    auto *hiddenIcon = new TJvTrayIcon(&hidden, images);
    hiddenIcon->setActive(true);
    QTRY_VERIFY(hiddenIcon->platformIcon() && hiddenIcon->platformIcon()->isVisible());

    // Taken down before it went up: it never shows.
    QWidget brief;
    auto *briefIcon = new TJvTrayIcon(&brief, images);
    briefIcon->setActive(true);
    brief.show();
    briefIcon->setActive(false);
    QVERIFY(QTest::qWaitForWindowExposed(&brief));
    QTest::qWait(100);
    QVERIFY(!briefIcon->platformIcon() || !briefIcon->platformIcon()->isVisible());
}

QTEST_MAIN(TrayIconTest)
#include "tst_trayicon.moc"
