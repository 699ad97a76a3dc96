// Halvora in a Wayland session, under a headless weston with XWayland: with
// both displays it runs on X11 and the preview draws into its panel; with no
// X11 display the window still runs and Play says why it cannot preview.
// Weston gives X clients no input: the program is driven from code.

#include "app/ffmpegexec.h"
#include "mainwindow/tffmpegfrm.h"
#include "player/tmplayerfrm.h"
#include "process/tjvcreateprocess.h"
#include "tests/windowcontrols.h"
#include "testsupport.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <sys/stat.h>

namespace {

const QColor ClipColour(0x20, 0x60, 0xe0);

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) < 48 && qAbs(a.green() - b.green()) < 48 && qAbs(a.blue() - b.blue()) < 48;
}

} // namespace

class WaylandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void bothDisplaysRunOnX11AndPreview();
    void waylandOnlyPlaySaysWhyAndStartsNoPlayer();

private:
    // Runs `function` in a child of this program inside the weston session.
    void runInSession(const QString &function, bool withX11);
    TFFmpegFrm *openWindowWithClip();

    QTemporaryDir m_dir;
    QProcess m_weston;
    QString m_socket;
    QString m_x11Display;
    QString m_clip;
    std::unique_ptr<TestSupport::ShippedSettings> m_settings;
    std::unique_ptr<TFFmpegFrm> m_window;
    WindowControls ui() const { return WindowControls(m_window.get()); }
    QStringList m_boxes;
};

void WaylandTest::initTestCase()
{
    if (TestSupport::isTestChild()) {
        m_settings = std::make_unique<TestSupport::ShippedSettings>();
        QVERIFY(m_settings->ok());
        ErrorDisplay::setBoxFunction([this](ErrorDisplay::BoxKind, const QString &caption, const QString &text) {
            m_boxes << caption + QLatin1Char('|') + text;
        });
        return;
    }
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty(), "weston is not installed");
    QVERIFY(m_dir.isValid());
    // The compositor's socket lives in a private runtime folder.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // XWayland listens where every X server does; the folder may not exist yet.
    QDir().mkpath(QStringLiteral("/tmp/.X11-unix"));
    ::chmod("/tmp/.X11-unix", 01777);

    // mplayer keeps its settings below HOME.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("home")));
    m_clip = m_dir.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(TestSupport::makeClip(m_clip, {"-f", "lavfi", "-i", "color=c=0x2060e0:size=640x360:rate=25:duration=10",
                                           "-c:v", "libx264", "-pix_fmt", "yuv420p"}));

    m_socket = QStringLiteral("halvora-test-%1").arg(QCoreApplication::applicationPid());
    const QString log = m_dir.filePath(QStringLiteral("weston.log"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_weston.setProcessEnvironment(env);
    m_weston.start(QStringLiteral("weston"), {"--backend=headless-backend.so", "--xwayland", "--idle-time=0",
                                              "--socket=" + m_socket, "--log=" + log});
    QVERIFY(m_weston.waitForStarted());
    // Weston names the display it gave XWayland in its log.
    const QRegularExpression listening(QStringLiteral("xserver listening on display (:\\d+)"));
    QDeadlineTimer deadline(20000);
    while (m_x11Display.isEmpty() && !deadline.hasExpired() && m_weston.state() == QProcess::Running) {
        const QRegularExpressionMatch match = listening.match(QString::fromLocal8Bit(TestSupport::readAll(log)));
        if (match.hasMatch())
            m_x11Display = match.captured(1);
        else
            QTest::qWait(100);
    }
    QVERIFY2(!m_x11Display.isEmpty(), TestSupport::readAll(log).constData());
}

void WaylandTest::cleanupTestCase()
{
    m_window.reset();
    m_settings.reset();
    ErrorDisplay::setBoxFunction({});
    if (m_weston.state() != QProcess::NotRunning) {
        m_weston.terminate();
        if (!m_weston.waitForFinished(10000)) {
            m_weston.kill();
            m_weston.waitForFinished();
        }
    }
}

void WaylandTest::runInSession(const QString &function, bool withX11)
{
    // QT_QPA_PLATFORM empty: the platform is the program's own choice.
    QByteArray output;
    const int code = TestSupport::runTestFunctionInChild(
        function,
        {"QT_QPA_PLATFORM=", "XDG_RUNTIME_DIR=" + m_dir.path(), "WAYLAND_DISPLAY=" + m_socket,
         "DISPLAY=" + (withX11 ? m_x11Display : QString()), "HALVORA_TEST_CLIP=" + m_clip,
         "HOME=" + m_dir.filePath(QStringLiteral("home"))},
        &output);
    QVERIFY2(code == 0, output.constData());
}

TFFmpegFrm *WaylandTest::openWindowWithClip()
{
    m_window = std::make_unique<TFFmpegFrm>();
    auto *item = new QTreeWidgetItem(ui().FileListView, {qEnvironmentVariable("HALVORA_TEST_CLIP")});
    item->setSelected(true);
    m_window->show();
    return QTest::qWaitForWindowExposed(m_window.get()) ? m_window.get() : nullptr;
}

void WaylandTest::bothDisplaysRunOnX11AndPreview()
{
    if (!TestSupport::isTestChild())
        return runInSession(QTest::currentTestFunction(), true);
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    TFFmpegFrm *window = openWindowWithClip();
    QVERIFY(window);

    // While the player plays: its picture at the panel's centre, then close.
    QColor centre;
    bool child = false;
    QDeadlineTimer deadline(30000);
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (!MplayerFrm || !MplayerFrm->isVisible())
            return;
        child = MplayerFrm->parentWidget() == window;
        if (MplayerFrm->JvLabBgTime->text() >= QStringLiteral("00:00:02") || deadline.hasExpired()) {
            QWidget *panel = MplayerFrm->JvMplayer;
            // What the X server holds for the panel's own window (Qt's grab
            // reads the root window, which XWayland leaves empty).
            QByteArray png;
            TestSupport::runProgram(QStringLiteral("import"),
                                    {"-window", QString::number(panel->winId()), "png:-"}, QString(), &png);
            centre = QImage::fromData(png).pixelColor(panel->rect().center());
            MplayerFrm->close();
        }
    });
    poll.start(20);
    WindowControls(window).PlayBtn->click();
    poll.stop();

    QVERIFY2(!deadline.hasExpired(), "the player did not play");
    QVERIFY(child);
    QVERIFY2(near(centre, ClipColour), qPrintable(centre.name()));
    QCOMPARE(m_boxes, QStringList());
}

void WaylandTest::waylandOnlyPlaySaysWhyAndStartsNoPlayer()
{
    if (!TestSupport::isTestChild())
        return runInSession(QTest::currentTestFunction(), false);
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    TFFmpegFrm *window = openWindowWithClip();
    QVERIFY(window);
    bool windowOpened = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] { windowOpened |= MplayerFrm != nullptr; });
    poll.start(5);
    WindowControls(window).PlayBtn->click();
    QTest::qWait(200);
    QVERIFY(!windowOpened);
    QCOMPARE(m_boxes, QStringList{"message|The preview needs an X11 display (XWayland). Start Halvora in a "
                                  "session that provides one to play video files."});
    QVERIFY(window->isVisible());
}

int main(int argc, char **argv)
{
    // As the program does before its application object exists.
    choosePlatform();
    QApplication application(argc, argv);
    WaylandTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
