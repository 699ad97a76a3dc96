// The console process runner with real child processes: our helper program
// (childhelper.cpp), /bin/sh and cat.

#include "process/childstart.h"
#include "process/commandline.h"
#include "process/eoserror.h"
#include "process/tjvcreateprocess.h"
#include "tests/procinfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>

#include <signal.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace {

// How a child takes the SIGTERM that follows its parent's end.
enum ChildKind { Healthy, Stuck, Working };

constexpr int Timeout = 20000; // generous: the sanitizer builds run this too

QByteArray helperCommand(const QList<QByteArray> &commands)
{
    return joinCommandLine(QList<QByteArray>{HALVORA_CHILDHELPER} + commands);
}

QSet<QString> openDescriptors()
{
    QSet<QString> fds;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System);
    for (const QString &entry : entries)
        fds.insert(entry + QLatin1String(" -> ") + QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + entry));
    return fds;
}

using ProcInfo::childrenOf;
using ProcInfo::hasEnded;
using ProcInfo::parentOf;

// "Z" for a zombie, an empty string when the process is gone.
QByteArray processState(qint64 pid)
{
    return ProcInfo::stat(pid).value_or(ProcInfo::Stat()).state;
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A runner set up as Halvora's windows set theirs up, recording its events.
struct Recorder {
    std::unique_ptr<TJvCreateProcess> runner = std::make_unique<TJvCreateProcess>();
    QByteArrayList log;   // "R <S> new|same" and "T <code>", in order
    QByteArrayList lines; // what a consumer keeping a list of lines holds
    QList<std::uint32_t> exitCodes;
    QList<int> endSignals; // TerminationSignal at each end
    std::function<void(const QByteArray &S)> onRead;
    std::function<void()> onTerminate;

    Recorder()
    {
        runner->StartupInfo.DefaultSize = false;
        runner->StartupInfo.ShowWindow = TJvCPSShowWindow::swHide;
        runner->StartupInfo.DefaultWindowState = false;
        runner->ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData) | unsigned(TJvConsoleOption::coRedirect);
        runner->OnRead = [this](TJvCreateProcess *sender, const QByteArray &S, bool startsOnNewLine) {
            QCOMPARE(sender, runner.get());
            log << "R " + S + (startsOnNewLine ? " new" : " same");
            if (startsOnNewLine || lines.isEmpty())
                lines << S;
            else
                lines.last() = S;
            if (onRead)
                onRead(S);
        };
        runner->OnTerminate = [this](TJvCreateProcess *sender, std::uint32_t exitCode) {
            QCOMPARE(sender, runner.get());
            log << "T " + QByteArray::number(exitCode);
            exitCodes << exitCode;
            endSignals << sender->TerminationSignal();
            if (onTerminate)
                onTerminate();
        };
    }

    void run(const QByteArray &commandLine)
    {
        runner->CommandLine = commandLine;
        runner->Run();
    }

    bool waitForTerminates(int count)
    {
        return QTest::qWaitFor([&] { return exitCodes.size() >= count; }, Timeout);
    }

    // The first line reporting a value "<key>:<value>".
    QByteArray value(const QByteArray &key) const
    {
        for (const QByteArray &line : lines) {
            if (line.startsWith(key + ':'))
                return line.mid(key.size() + 1);
        }
        return {};
    }
};

} // namespace

class ProcessRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void silentChildGivesOnlyTerminate();
    void allOutputArrivesBeforeTerminate();
    void outputClosedEarlyEndsWithTheChild();
    void lastLineAtTheEnd_data();
    void lastLineAtTheEnd();
    void exitCode_data();
    void exitCode();
    void blockedHandlerDropsOutputButRunEnds();
    void writeQueuesExactBytes();
    void runWhileWatchingFailsAndChildRunsOn();
    void runFromTerminateStartsNextChild();
    void restartBeforeEndIsCountedGivesNoStaleTerminate();
    void cannotStart_data();
    void cannotStart();
    void grandchildHoldingOutputDelaysTerminate();
    void stopLeavesChildRunning_data();
    void stopLeavesChildRunning();
    void inputQueuedBeforeDestructionReachesChild();
    void oddPathAndArgumentsReachChildWhole();
    void noDescriptorLeakNoZombie();
    void handlerErrorsGoToDisplayAndRunEnds();
    void childOutlivesItsStartingThreadButNotThisProcess();
    void childEndsWhenItsParentIsKilled_data();
    void childEndsWhenItsParentIsKilled();
    void signalToTheChildReachesTheProgram_data();
    void signalToTheChildReachesTheProgram();
    void waitUntilEndedReturnsAfterTheEndOrTheLimit();

private:
    QTemporaryDir m_dir;
};

void ProcessRunnerTest::silentChildGivesOnlyTerminate()
{
    Recorder r;
    r.run(helperCommand({}));
    QVERIFY(r.waitForTerminates(1));
    QTest::qWait(100);
    QCOMPARE(r.log, QByteArrayList{"T 0"});
}

void ProcessRunnerTest::allOutputArrivesBeforeTerminate()
{
    // Standard output and standard error share the pipe; the output ends
    // without a line feed, so its last line is reported once more.
    Recorder r;
    r.run(helperCommand({"lines", "5000", "err", "tail"}));
    QVERIFY(r.waitForTerminates(1));
    QByteArrayList expected;
    for (int k = 1; k <= 5000; ++k)
        expected << QByteArray("line ") + QByteArray::number(k).rightJustified(6, '0');
    expected << "tail";
    QCOMPARE(r.lines, expected);
    QCOMPARE(r.log.mid(r.log.size() - 2), (QByteArrayList{"R tail same", "T 0"}));
}

void ProcessRunnerTest::outputClosedEarlyEndsWithTheChild()
{
    // The child closes its output and runs on: the output's end is handed
    // over first, and the run ends only when the child does.
    Recorder r;
    r.run(joinCommandLine({"/bin/sh", "-c", "printf 'a\\nb'; exec >&- 2>&-; sleep 1; exit 4"}));
    QTRY_COMPARE_WITH_TIMEOUT(r.lines, (QByteArrayList{"a", "b"}), Timeout);
    QTest::qWait(100);
    // The unfinished last line comes once more at the output's end.
    QTRY_COMPARE_WITH_TIMEOUT(r.log, (QByteArrayList{"R a new", "R b new", "R b same"}), Timeout);
    QVERIFY(r.runner->isWatching());
    QVERIFY(r.exitCodes.isEmpty());
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.lines, (QByteArrayList{"a", "b"}));
    QCOMPARE(r.log.last(), QByteArray("T 4"));
    QCOMPARE(r.exitCodes.size(), 1);
}

void ProcessRunnerTest::lastLineAtTheEnd_data()
{
    // What the handler does when the unfinished last line is reported once
    // more, which happens while the output's end is handed over.
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArrayList>("log");
    QTest::addColumn<QStringList>("shown");
    const QByteArrayList lines{"R first new", "R  new", "R tail same", "R tail same"};
    QTest::newRow("nothing") << QString() << lines + QByteArrayList{"T 0"} << QStringList();
    QTest::newRow("throws") << QStringLiteral("throw") << lines + QByteArrayList{"T 0"}
                            << QStringList{"read handler failed"};
    QTest::newRow("stops watching") << QStringLiteral("stop") << lines << QStringList();
    QTest::newRow("destroys the runner") << QStringLiteral("destroy") << lines << QStringList();
}

void ProcessRunnerTest::lastLineAtTheEnd()
{
    // The first report keeps the GUI thread busy until the child has ended
    // and its output is closed, so both ends wait to be handed over at once:
    // every line still comes before the end, whatever the last report does.
    QFETCH(QString, action);
    QFETCH(QByteArrayList, log);
    QFETCH(QStringList, shown);
    QStringList errors;
    const auto previous = TJvCreateProcess::setHandlerErrorDisplay(
        [&errors](const std::exception &error) { errors << QString::fromLocal8Bit(error.what()); });
    Recorder r;
    int tails = 0;
    r.onRead = [&](const QByteArray &S) {
        if (S == "first")
            QThread::msleep(300);
        if (S != "tail" || ++tails < 2)
            return;
        if (action == QLatin1String("throw"))
            throw std::runtime_error("read handler failed");
        if (action == QLatin1String("stop"))
            r.runner->StopWatching();
        if (action == QLatin1String("destroy"))
            r.runner.reset();
    };
    r.run(helperCommand({"out", "first\\n", "sleep", "50", "out", "tail"}));
    if (log.endsWith("T 0"))
        QVERIFY(r.waitForTerminates(1));
    else
        QTRY_COMPARE_WITH_TIMEOUT(tails, 2, Timeout);
    QTest::qWait(200); // nothing more follows
    QCOMPARE(r.log, log);
    QCOMPARE(errors, shown);
    if (r.runner)
        QVERIFY(!r.runner->isWatching());
    TJvCreateProcess::setHandlerErrorDisplay(previous);
}

void ProcessRunnerTest::exitCode_data()
{
    QTest::addColumn<QList<QByteArray>>("commands");
    QTest::addColumn<std::uint32_t>("code");
    QTest::addColumn<int>("signal");
    QTest::newRow("0") << QList<QByteArray>{"exit", "0"} << 0u << 0;
    QTest::newRow("3") << QList<QByteArray>{"exit", "3"} << 3u << 0;
    QTest::newRow("-1 is 255") << QList<QByteArray>{"exit", "-1"} << 255u << 0;
    QTest::newRow("137 is no signal") << QList<QByteArray>{"exit", "137"} << 137u << 0;
    QTest::newRow("killed by SIGKILL") << QList<QByteArray>{"signal", "9"} << 137u << 9;
    QTest::newRow("killed by SIGTERM") << QList<QByteArray>{"signal", "15"} << 143u << 15;
    QTest::newRow("killed by SIGABRT") << QList<QByteArray>{"signal", "6"} << 134u << 6;
}

void ProcessRunnerTest::exitCode()
{
    QFETCH(QList<QByteArray>, commands);
    QFETCH(std::uint32_t, code);
    QFETCH(int, signal);
    Recorder r;
    r.run(helperCommand(commands));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.exitCodes, QList<std::uint32_t>{code});
    QCOMPARE(r.endSignals, QList<int>{signal});
}

void ProcessRunnerTest::childOutlivesItsStartingThreadButNotThisProcess()
{
    const QString readyFile = qEnvironmentVariable("HALVORA_READY_FILE");
    if (!readyFile.isEmpty()) {
        // The child program: a runner started from a thread that has ended
        // meanwhile still holds its child; this process is then killed.
        std::unique_ptr<Recorder> r;
        std::thread([&] {
            r = std::make_unique<Recorder>();
            r->runner->ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData);
            r->run(helperCommand({"hang"}));
        }).join();
        QTest::qWait(300);
        QFile file(readyFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("started");
        file.close();
        QTest::qWait(60000);
        return;
    }
    const QString ready = m_dir.filePath(QStringLiteral("ready"));
    // This program again, in the child role, started by a runner (QProcess
    // does not run under ThreadSanitizer).
    qputenv("HALVORA_READY_FILE", QFile::encodeName(ready));
    Recorder child;
    child.run(joinCommandLine({QFile::encodeName(QCoreApplication::applicationFilePath()),
                               QTest::currentTestFunction()}));
    qunsetenv("HALVORA_READY_FILE");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready), Timeout);
    // Each program runs under its guard, the child the runner holds.
    const auto programUnder = [](qint64 guard) {
        const QList<qint64> programs = childrenOf(guard);
        return programs.size() == 1 ? programs.first() : qint64(0);
    };
    const QList<qint64> guards = childrenOf(QCoreApplication::applicationPid());
    QCOMPARE(guards.size(), 1);
    const qint64 program = programUnder(guards.first());
    QVERIFY(program > 0);
    const qint64 helper = programUnder(programUnder(program));
    QVERIFY(helper > 0);
    QVERIFY2(!hasEnded(helper), processState(helper).constData());

    QCOMPARE(::kill(pid_t(program), SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(helper), 2000);
    QVERIFY(child.waitForTerminates(1));
    QCOMPARE(child.endSignals, QList<int>{SIGKILL});
}

void ProcessRunnerTest::childEndsWhenItsParentIsKilled_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("healthy child ends on SIGTERM") << int(Healthy);
    QTest::newRow("child stuck on SIGTERM is killed after the grace") << int(Stuck);
    QTest::newRow("child still working after SIGTERM may finish") << int(Working);
}

void ProcessRunnerTest::childEndsWhenItsParentIsKilled()
{
    // A parent that started a child is killed; its child's program gets
    // SIGTERM. One that carries on after it (blocked opening a FIFO nobody
    // writes to, as an encoder on a stalled network share) is killed
    // once it has used no processor time for OrphanGraceMs; one that works on
    // may finish.
    QFETCH(int, kind);
    const bool stuck = kind == Stuck;
    const QString parentFolder = qEnvironmentVariable("HALVORA_PARENT_ROLE");
    if (!parentFolder.isEmpty()) {
        // The parent: starts the child, tells its own process id, waits to be killed.
        const QDir folder(parentFolder);
        Recorder r;
        r.runner->ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData);
        QList<QByteArray> commands{"trap", QFile::encodeName(folder.filePath("signals")), kind == Healthy ? "die" : "stay",
                                   "pidfile", QFile::encodeName(folder.filePath("pid"))};
        if (kind == Stuck)
            commands << "openfifo" << QFile::encodeName(folder.filePath("fifo"));
        else if (kind == Working)
            commands << "spin" << QByteArray::number(ChildGuard::OrphanGraceMs + 8000) << "pidfile"
                     << QFile::encodeName(folder.filePath("finished"));
        else
            commands << "hang";
        r.run(helperCommand(commands));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.filePath("pid")), Timeout);
        QFile ready(folder.filePath("ready"));
        QVERIFY(ready.open(QIODevice::WriteOnly));
        ready.write(QByteArray::number(QCoreApplication::applicationPid()));
        ready.close();
        QTest::qWait(60000);
        return;
    }
    const QDir folder(m_dir.filePath(QStringLiteral("parent %1").arg(kind)));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    qputenv("HALVORA_PARENT_ROLE", QFile::encodeName(folder.path()));
    Recorder parent;
    parent.run(joinCommandLine({QFile::encodeName(QCoreApplication::applicationFilePath()),
                                QByteArray(QTest::currentTestFunction()) + ':' + QTest::currentDataTag()}));
    qunsetenv("HALVORA_PARENT_ROLE");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.filePath("ready")), Timeout);
    const qint64 parentPid = fileContents(folder.filePath("ready")).toLongLong();
    const qint64 program = fileContents(folder.filePath("pid")).toLongLong();
    QVERIFY(parentPid > 0 && program > 0);
    QVERIFY(!hasEnded(program));
    const qint64 guard = parentOf(program);
    QVERIFY(guard > 0 && guard != parentPid);

    QElapsedTimer sinceKill;
    sinceKill.start();
    QCOMPARE(::kill(pid_t(parentPid), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(fileContents(folder.filePath("signals")), QByteArray("15\n"), Timeout);
    if (kind == Working) {
        // Busy past the grace, and not cut short: it ends by itself.
        QTest::qWait(ChildGuard::OrphanGraceMs + 500);
        QVERIFY2(!hasEnded(program), "a working child was killed");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.filePath("finished")), Timeout);
    } else if (stuck) {
        QVERIFY2(!hasEnded(program), "killed before the grace was over");
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(program), ChildGuard::OrphanGraceMs + Timeout);
        // The grace starts only once the parent has ended.
        QVERIFY2(sinceKill.elapsed() >= ChildGuard::OrphanGraceMs, qPrintable(QString::number(sinceKill.elapsed())));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(hasEnded(program), Timeout);
    }
    // Nothing the parent started is left.
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(guard), Timeout);
    QVERIFY(parent.waitForTerminates(1));
    QCOMPARE(parent.endSignals, QList<int>{SIGKILL});
}

void ProcessRunnerTest::signalToTheChildReachesTheProgram_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QByteArray>("trapped");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray("15\n");
    QTest::newRow("SIGINT") << int(SIGINT) << QByteArray("2\n");
    QTest::newRow("SIGHUP") << int(SIGHUP) << QByteArray("1\n");
    QTest::newRow("SIGKILL ends the program at once") << int(SIGKILL) << QByteArray();
}

void ProcessRunnerTest::signalToTheChildReachesTheProgram()
{
    // The program sees the signal sent to the child the runner holds, and
    // the run reports the program's death by it.
    QFETCH(int, signal);
    QFETCH(QByteArray, trapped);
    const QString trapFile = m_dir.filePath(QStringLiteral("signals %1").arg(signal));
    Recorder r;
    r.run(helperCommand({"trap", QFile::encodeName(trapFile), "die", "pid", "hang"}));
    QTRY_VERIFY_WITH_TIMEOUT(!r.value("pid").isEmpty(), Timeout);
    const qint64 program = r.value("pid").toLongLong();
    QVERIFY(r.runner->Signal(signal));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.endSignals, QList<int>{signal});
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(program), Timeout);
    QCOMPARE(fileContents(trapFile), trapped);
}

void ProcessRunnerTest::blockedHandlerDropsOutputButRunEnds()
{
    // The GUI thread is kept from taking output for longer than the shared
    // buffer waits for it: output is dropped, the child is not held up for
    // good, and what comes after the drop arrives whole.
    Recorder r;
    bool blocked = false;
    r.onRead = [&blocked](const QByteArray &) {
        if (!std::exchange(blocked, true))
            QThread::msleep(400);
    };
    r.run(helperCommand({"lines", "100000"}));
    QVERIFY(r.waitForTerminates(1));
    QVERIFY(r.lines.size() < 100000);
    QCOMPARE(r.lines.mid(r.lines.size() - 3), (QByteArrayList{"line 099999", "line 100000", ""}));
}

void ProcessRunnerTest::writeQueuesExactBytes()
{
    Recorder r;
    QVERIFY(!r.runner->Write("q"));
    QVERIFY(!r.runner->Write(""));
    r.run(helperCommand({"readin"}));
    QVERIFY(!r.runner->Write(QByteArray(1025, 'x')));
    QVERIFY(r.runner->Write(""));
    QVERIFY(r.runner->Write("q"));
    QVERIFY(r.waitForTerminates(1));
    // One read of the child's input found the single byte q: nothing of the
    // refused 1025 bytes and no line end.
    QCOMPARE(r.value("in"), QByteArray("71"));
    QVERIFY(!r.runner->Write("q"));

    // More than a full pipe: while the child does not read, the pipe fills
    // and Write refuses what does not fit into the queue, without waiting;
    // every byte still reaches the child, in order.
    r.lines.clear();
    r.run(joinCommandLine({"/bin/sh", "-c", "sleep 0.3; head -c 102400 | md5sum"}));
    QByteArray sent;
    for (int block = 0; block < 100; ++block) {
        const QByteArray bytes = QByteArray::number(block).repeated(1024).left(1024);
        QVERIFY(QTest::qWaitFor([&] { return r.runner->Write(bytes); }, Timeout));
        sent += bytes;
    }
    QVERIFY(r.waitForTerminates(2));
    QCOMPARE(r.lines.first().left(32), QCryptographicHash::hash(sent, QCryptographicHash::Md5).toHex());
}

void ProcessRunnerTest::runWhileWatchingFailsAndChildRunsOn()
{
    Recorder r;
    r.run(helperCommand({"readin"}));
    try {
        r.runner->Run();
        QFAIL("Run while watching did not fail");
    } catch (const EJvProcessError &error) {
        QCOMPARE(QByteArray(error.what()), QByteArray("Cannot perform this operation when process is running"));
    }
    QVERIFY(r.runner->Write("z"));
    QVERIFY(r.waitForTerminates(1));
    QTest::qWait(100);
    QCOMPARE(r.value("in"), QByteArray("7a"));
    QCOMPARE(r.exitCodes, QList<std::uint32_t>{0});
}

void ProcessRunnerTest::runFromTerminateStartsNextChild()
{
    Recorder r;
    r.onTerminate = [&r] {
        if (r.exitCodes.size() == 1)
            r.run(helperCommand({"out", "second\\n", "exit", "4"}));
    };
    r.run(helperCommand({"out", "first\\n"}));
    QVERIFY(r.waitForTerminates(2));
    QCOMPARE(r.exitCodes, (QList<std::uint32_t>{0, 4}));
    // The second run's first line starts a new line again.
    QCOMPARE(r.lines, (QByteArrayList{"first", "", "second", ""}));
}

void ProcessRunnerTest::restartBeforeEndIsCountedGivesNoStaleTerminate()
{
    // The last report of a run queues a restart that runs before the run's
    // own end is counted: the old run's notifications must not end the new one.
    Recorder r;
    r.onRead = [&r](const QByteArray &S) {
        if (S == "tail" && r.log.last().endsWith("same"))
            QMetaObject::invokeMethod(
                r.runner.get(),
                [&r] {
                    r.runner->StopWatching();
                    r.run(helperCommand({"readin"}));
                },
                Qt::QueuedConnection);
    };
    r.run(helperCommand({"out", "tail"}));
    QTRY_COMPARE_WITH_TIMEOUT(r.log.size(), 2, Timeout);
    QTest::qWait(300);
    QCOMPARE(r.log, (QByteArrayList{"R tail new", "R tail same"}));
    QVERIFY(r.runner->Write("q"));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.log.last(), QByteArray("T 0"));
}

void ProcessRunnerTest::cannotStart_data()
{
    QTest::addColumn<QByteArray>("commandLine");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    const QByteArray noFile("System Error.  Code: 2.\r\nNo such file or directory");
    const QByteArray denied("System Error.  Code: 13.\r\nPermission denied");
    QFile plain(m_dir.filePath(QStringLiteral("not executable")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("#!/bin/sh\necho hi\n");
    plain.close();

    QTest::newRow("missing path") << QByteArray("/nonexistent/halvora-child -x") << 2 << noFile;
    QTest::newRow("missing in PATH") << QByteArray("halvora-no-such-program -x") << 2 << noFile;
    QTest::newRow("empty command line") << QByteArray("  ") << 2 << noFile;
    QTest::newRow("not executable") << quoteArgument(QFile::encodeName(plain.fileName())) << 13 << denied;
    QTest::newRow("directory") << QByteArray("/tmp") << 13 << denied;
}

void ProcessRunnerTest::cannotStart()
{
    QFETCH(QByteArray, commandLine);
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    Recorder r;
    const QSet<QString> fdsBefore = openDescriptors();
    const QList<qint64> childrenBefore = childrenOf(QCoreApplication::applicationPid());
    try {
        r.run(commandLine);
        QFAIL("Run did not fail");
    } catch (const EOSError &error) {
        QCOMPARE(error.errorCode(), code);
        QCOMPARE(QByteArray(error.what()), message);
    }
    QCOMPARE(childrenOf(QCoreApplication::applicationPid()), childrenBefore);
    QTest::qWait(100);
    QVERIFY(r.log.isEmpty());
    // Only the runner's own wake descriptor is left; the runner is idle.
    QCOMPARE(openDescriptors().size(), fdsBefore.size() + 1);
    r.run(helperCommand({}));
    QVERIFY(r.waitForTerminates(1));
}

void ProcessRunnerTest::grandchildHoldingOutputDelaysTerminate()
{
    Recorder r;
    r.run(helperCommand({"grandchild", "400", "late\\n", "out", "early\\n", "exit", "6"}));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.lines, (QByteArrayList{"early", "late", ""}));
    QCOMPARE(r.log.last(), QByteArray("T 6"));
}

void ProcessRunnerTest::stopLeavesChildRunning_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("StopWatching") << QStringLiteral("stop");
    QTest::newRow("StopWatching from OnRead") << QStringLiteral("stop in handler");
    QTest::newRow("runner destroyed") << QStringLiteral("destroy");
    QTest::newRow("runner destroyed from OnRead") << QStringLiteral("destroy in handler");
}

void ProcessRunnerTest::stopLeavesChildRunning()
{
    QFETCH(QString, how);
    Recorder r;
    const bool inHandler = how.endsWith(QLatin1String("in handler"));
    const bool destroy = how.startsWith(QLatin1String("destroy"));
    bool stopped = false;
    auto stop = [&] {
        stopped = true;
        if (destroy)
            r.runner.reset();
        else
            r.runner->StopWatching();
    };
    if (inHandler)
        r.onRead = [&](const QByteArray &S) {
            if (S == "stop")
                stop();
        };
    // Nothing after the stop is reported, not even the rest of its piece.
    r.run(helperCommand({"pid", "sleep", "100", "out", "stop\\nmore\\nand more\\n", "hang"}));
    // The child writes nothing after the stop (a write then would end it by
    // SIGPIPE, the default it starts with).
    if (inHandler) {
        QTRY_VERIFY_WITH_TIMEOUT(stopped, Timeout);
        QCOMPARE(r.lines.last(), QByteArray("stop"));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(r.lines.contains("and more"), Timeout);
        stop();
    }
    const qint64 pid = r.value("pid").toLongLong();
    const QByteArrayList logAtStop = r.log;
    QTest::qWait(200);
    QCOMPARE(r.log, logAtStop);
    QCOMPARE(processState(pid), QByteArray("S"));

    ::kill(pid, SIGKILL);
    // Still reaped once it ends: no zombie is left behind.
    QTRY_COMPARE_WITH_TIMEOUT(processState(pid), QByteArray(), Timeout);
    QCOMPARE(r.log, logAtStop);

    if (!destroy) {
        r.run(helperCommand({"exit", "1"}));
        QVERIFY(r.waitForTerminates(1));
    }
}

void ProcessRunnerTest::inputQueuedBeforeDestructionReachesChild()
{
    // As when the main window closes during a conversion: "q", then the
    // runner goes at once. The child gets the q, then the end of its input.
    const QString file = m_dir.filePath(QStringLiteral("input seen"));
    Recorder r;
    r.run(joinCommandLine({"/bin/sh", "-c", "cat > \"$0\"", QFile::encodeName(file)}));
    QVERIFY(r.runner->Write("q"));
    r.runner.reset();
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 0, Timeout);
    QFile seen(file);
    QVERIFY(seen.open(QIODevice::ReadOnly));
    QCOMPARE(seen.readAll(), QByteArray("q"));
}

void ProcessRunnerTest::oddPathAndArgumentsReachChildWhole()
{
    const QString dir = m_dir.filePath(QString::fromUtf8("dir with blanks 'q' \"dq\" $HOME \\x \u00fc"));
    QVERIFY(QDir().mkpath(dir));
    const QString program = dir + QString::fromUtf8("/child helper \u20ac");
    QVERIFY(QFile::copy(QStringLiteral(HALVORA_CHILDHELPER), program));
    const QList<QByteArray> arguments{QFile::encodeName(program), "argv", "arg with blanks", "",
                                      "back\\slash\\", "semi;colon|pipe&", "$x \"q\" 'a'", "\xc3\xa9\\\""};
    Recorder r;
    r.run(joinCommandLine(arguments));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(r.lines, arguments + QByteArrayList{""});

    // A bare name is looked up in PATH.
    Recorder sh;
    sh.run("sh -c \"echo $0 \\\"a b\\\"\" x");
    QVERIFY(sh.waitForTerminates(1));
    QCOMPARE(sh.lines, (QByteArrayList{"x a b", ""}));
}

void ProcessRunnerTest::noDescriptorLeakNoZombie()
{
    {
        // Any descriptor Qt opens lazily on a first run is opened here.
        Recorder warmUp;
        warmUp.run(helperCommand({}));
        QVERIFY(warmUp.waitForTerminates(1));
    }
    const QSet<QString> before = openDescriptors();
    Recorder r;
    QSet<QString> afterFirst;
    for (int run = 1; run <= 2; ++run) {
        r.run(helperCommand({"fds", "pid", "readin"}));
        QVERIFY(r.runner->Write("x"));
        QVERIFY(r.waitForTerminates(run));
        // The child holds its standard streams and nothing else of ours.
        QCOMPARE(r.value("fds"), QByteArray("0,1,2"));
        QCOMPARE(processState(r.value("pid").toLongLong()), QByteArray());
        const QSet<QString> after = openDescriptors();
        if (run == 1) {
            QCOMPARE(after.size(), before.size() + 1); // the runner's wake descriptor
            afterFirst = after;
        } else {
            QCOMPARE(after, afterFirst);
        }
        r.lines.clear();
    }
    r.runner.reset();
    QCOMPARE(openDescriptors(), before);
}

void ProcessRunnerTest::handlerErrorsGoToDisplayAndRunEnds()
{
    QStringList shown;
    const auto previous = TJvCreateProcess::setHandlerErrorDisplay(
        [&shown](const std::exception &error) { shown << QString::fromLocal8Bit(error.what()); });
    Recorder r;
    r.onRead = [](const QByteArray &S) {
        if (S == "bad")
            throw std::runtime_error("read handler failed");
    };
    r.onTerminate = [] { throw std::runtime_error("terminate handler failed"); };
    // "bad" comes in a piece of its own: the lines after it still arrive.
    r.run(helperCommand({"out", "bad\\n", "sleep", "300", "out", "good\\n"}));
    QVERIFY(r.waitForTerminates(1));
    QCOMPARE(shown, (QStringList{"read handler failed", "terminate handler failed"}));
    // The line stays as it was at the failed report, so "good" is written
    // after "bad".
    QVERIFY(r.log.contains("R badgood new"));

    // The runner is idle after the failed OnTerminate and runs the next child.
    r.onTerminate = nullptr;
    r.run(helperCommand({"exit", "2"}));
    QVERIFY(r.waitForTerminates(2));
    QCOMPARE(r.exitCodes.last(), 2u);
    TJvCreateProcess::setHandlerErrorDisplay(previous);
}

void ProcessRunnerTest::waitUntilEndedReturnsAfterTheEndOrTheLimit()
{
    Recorder r;
    QVERIFY(r.runner->waitUntilEnded(10)); // nothing watched

    // The end is reported, handler included, before the wait returns.
    r.run(helperCommand({"sleep", "200"}));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(r.runner->waitUntilEnded(Timeout));
    QCOMPARE(r.log, QByteArrayList{"T 0"});
    QVERIFY(clock.elapsed() < Timeout);

    // A child that runs on past the limit: the wait ends, the child is still watched.
    r.run(helperCommand({"sleep", "1000"}));
    QVERIFY(!r.runner->waitUntilEnded(100));
    QVERIFY(r.runner->isWatching());
    QVERIFY(r.runner->waitUntilEnded(Timeout));
    QCOMPARE(r.log, (QByteArrayList{"T 0", "T 0"}));
}

QTEST_GUILESS_MAIN(ProcessRunnerTest)
#include "tst_processrunner.moc"

