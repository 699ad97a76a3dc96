// The real executable on a real X server (Xvfb): the last-resort error path,
// a normal start from the program folder, and the list taken up after a kill.

#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>


class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void failingSettingsStoreShowsApplicationErrorAndExitsWithOne();
    void startsFromProgramFolderWithMainWindow();
    void interruptedListIsTakenUpOnTheNextStart();
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

void StartupTest::interruptedListIsTakenUpOnTheNextStart()
{
    QTemporaryDir data;
    const QString settings = data.filePath(QStringLiteral("LibFFmpeg.Dat"));
    QVERIFY(QFile::copy(TestSupport::programDir() + "LibFFmpeg.Dat", settings));
    QVERIFY(QFile::setPermissions(settings, QFile::ReadOwner | QFile::WriteOwner));
    const QString clip = data.filePath(QStringLiteral("clip one.mkv"));
    QVERIFY(TestSupport::makeH264Clip(clip, 1));
    const QString queue = settings + QStringLiteral(".queue");
    const QString message = QStringLiteral("The last run was interrupted: 1 of 1 files are still to convert. "
                                           "Press Convert to go on.");
    const auto start = [&](const QStringList &arguments) {
        auto *halvora = new QProcess(this);
        halvora->setWorkingDirectory(data.path());
        halvora->start(TestSupport::programDir() + "halvora", arguments);
        return halvora;
    };

    // A file added and waiting, and then the program is killed.
    QProcess *first = start({clip});
    QVERIFY(first->waitForStarted());
    QVERIFY(!TestSupport::waitForWindow(first->processId(), QStringLiteral("Halvora")).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(QFile::exists(queue) ? TestSupport::sqlValue(queue, "select count(*) from queue_entry")
                                                   : QString(),
                              QStringLiteral("1"), 20000);
    first->kill();
    QVERIFY(first->waitForFinished());

    // Taken up, and kept again when that start is ended as a logout ends it.
    for (int round = 0; round < 2; ++round) {
        QProcess *next = start({});
        QVERIFY(next->waitForStarted());
        QVERIFY(!TestSupport::waitForWindow(next->processId(), QStringLiteral("Halvora")).isEmpty());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += next->readAllStandardError()).contains(message.toUtf8()), 10000);
        next->terminate();
        QVERIFY(next->waitForFinished(20000));
        QCOMPARE(TestSupport::sqlValue(queue, "select count(*) from queue_entry"), QStringLiteral("1"));
    }
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
