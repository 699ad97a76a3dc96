// The real executable on a real X server (Xvfb): the last-resort error path
// and a normal start from the program folder.

#include "testsupport.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTest>


class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void failingSettingsStoreShowsApplicationErrorAndExitsWithOne();
    void startsFromProgramFolderWithMainWindow();
};

void StartupTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X server (the test command starts Xvfb)");
}

void StartupTest::failingSettingsStoreShowsApplicationErrorAndExitsWithOne()
{
    QProcess halvora;
    // Nobody can create a file in /proc, so opening the settings file fails.
    halvora.setWorkingDirectory(QStringLiteral("/proc"));
    halvora.start(TestSupport::programDir() + "halvora", {});
    QVERIFY(halvora.waitForStarted());
    const auto stop = qScopeGuard([&halvora] { halvora.kill(); halvora.waitForFinished(); });
    const QByteArray box = TestSupport::waitForWindow(halvora.processId(), QStringLiteral("Application Error"));
    QVERIFY2(!box.isEmpty(), "no Application Error box appeared");
    QCOMPARE(halvora.state(), QProcess::Running);
    // No window manager runs here: focus the box directly and press its default button.
    QCOMPARE(TestSupport::runProgram("xdotool", {"windowfocus", "--sync", box}), 0);
    QCOMPARE(TestSupport::runProgram("xdotool", {"key", "Return"}), 0);
    QVERIFY(halvora.waitForFinished(10000));
    QCOMPARE(halvora.exitStatus(), QProcess::NormalExit);
    QCOMPARE(halvora.exitCode(), 1);
}

void StartupTest::startsFromProgramFolderWithMainWindow()
{
    QProcess halvora;
    halvora.setWorkingDirectory(TestSupport::programDir());
    halvora.start(TestSupport::programDir() + "halvora", {});
    QVERIFY(halvora.waitForStarted());
    const auto stop = qScopeGuard([&halvora] { halvora.kill(); halvora.waitForFinished(); });
    const QByteArray window = TestSupport::waitForWindow(halvora.processId(), QStringLiteral("Halvora"));
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    QByteArray geometry;
    QCOMPARE(TestSupport::runProgram("xdotool", {"getwindowgeometry", window}, QString(), &geometry), 0);
    QVERIFY2(geometry.contains("852x525"), geometry.constData());
    // A dialog's title is the one it was given, with nothing appended.
    QCOMPARE(TestSupport::runProgram("xdotool", {"windowfocus", "--sync", window}), 0);
    int x = 0, y = 0;
    QByteArray shell;
    QCOMPARE(TestSupport::runProgram("xdotool", {"getwindowgeometry", "--shell", window}, QString(), &shell), 0);
    for (const QByteArray &line : shell.split('\n')) {
        if (line.startsWith("X="))
            x = line.mid(2).toInt();
        if (line.startsWith("Y="))
            y = line.mid(2).toInt();
    }
    // The Add button is the first on the tool bar.
    QCOMPARE(TestSupport::runProgram("xdotool", {"mousemove", "--sync", QString::number(x + 30),
                                                 QString::number(y + 20), "click", "1"}),
             0);
    QVERIFY(!TestSupport::waitForWindow(halvora.processId(), QStringLiteral("Add video files")).isEmpty());
    halvora.terminate();
    QVERIFY(halvora.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
