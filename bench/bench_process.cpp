// Child-process plumbing figures, printed in one run:
//  1. the line assembler's throughput on encoder-like progress output, beside
//     a plain memcpy of the same bytes in the same 1 KiB pieces;
//  2. the runner's end-to-end time for a child writing 200 MB, as a ratio to
//     dd bs=1024 reading the same child's output through a pipe; bytes
//     delivered against bytes written; the GUI thread's CPU time per MB; the
//     longest time the GUI thread was kept from its event loop;
//  3. the same child while the GUI thread is busy elsewhere now and then:
//     how much output the shared buffer drops, and when;
//  4. what starting a child costs, through the guard (bin/halvora-guard) and
//     without it (the guard moved aside for the time);
//  5. the time from a parent's SIGKILL to the end of its child, for a child
//     that ends on SIGTERM and one that ignores it, with and without the guard.
//
// Usage: bench_process [MB]   (default 200). The program starts itself with
// --emit BYTES as the child, and with --parent/--child for figure 5.

#include "process/childstart.h"
#include "process/commandline.h"
#include "process/lineassembler.h"
#include "process/tjvcreateprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int LineLength = 100; // bytes per output line, line feed included

// Writes `bytes` of numbered, line-feed-ended progress lines in 64 KiB writes.
int emitLines(long long bytes)
{
    static const char text[] = "frame=0000000000 fps= 25 q=28.0 size=   12345kB time=00:01:02.03 "
                               "bitrate= 813.2kbits/s speed=1.01x";
    char line[LineLength];
    std::memset(line, ' ', sizeof line);
    std::memcpy(line, text, sizeof text - 1);
    line[LineLength - 1] = '\n';
    std::vector<char> block;
    block.reserve(65536 + LineLength);
    for (long long frame = 1; frame * LineLength <= bytes; ++frame) {
        long long n = frame;
        for (int digit = 15; digit >= 6; --digit, n /= 10)
            line[digit] = char('0' + n % 10);
        block.insert(block.end(), line, line + LineLength);
        if (block.size() >= 65536 || (frame + 1) * LineLength > bytes) {
            for (size_t done = 0; done < block.size();) {
                const ssize_t written = ::write(1, block.data() + done, block.size() - done);
                if (written <= 0)
                    return 1;
                done += size_t(written);
            }
            block.clear();
        }
    }
    return 0;
}

double threadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Encoder progress as it comes: one line rewritten in place, each version
// ending with a carriage return, a line feed now and then.
QByteArray encoderOutput(qsizetype size)
{
    QByteArray output;
    output.reserve(size + 256);
    for (int frame = 1; output.size() < size; ++frame) {
        char line[160];
        const int length = std::snprintf(line, sizeof line,
                                         "frame=%5d fps= 25 q=28.0 size=%8dkB time=00:%02d:%02d.%02d "
                                         "bitrate= 813.2kbits/s speed=1.01x    %s",
                                         frame, frame * 3, frame / 1500 % 60, frame / 25 % 60, frame % 25 * 4,
                                         frame % 500 == 0 ? "\n" : "\r");
        output.append(line, length);
    }
    output.truncate(size);
    return output;
}

void benchAssembler()
{
    const qsizetype size = 64 << 20;
    const QByteArray output = encoderOutput(size);
    std::vector<double> assemblerRates, memcpyRates;
    for (int round = 0; round < 5; ++round) {
        LineAssembler assembler;
        qsizetype reported = 0;
        const LineAssembler::Report report = [&reported](const QByteArray &line, bool) {
            reported += line.size();
            return true;
        };
        QElapsedTimer timer;
        timer.start();
        for (qsizetype at = 0; at < size; at += 1024)
            assembler.assemble(output.constData() + at, std::min<qsizetype>(1024, size - at), report);
        assemblerRates.push_back(double(size) / 1e6 / (double(timer.nsecsElapsed()) / 1e9));

        char piece[1024];
        unsigned sum = 0;
        timer.start();
        for (qsizetype at = 0; at < size; at += 1024) {
            std::memcpy(piece, output.constData() + at, size_t(std::min<qsizetype>(1024, size - at)));
            sum += static_cast<unsigned char>(piece[at % 1024]);
            asm volatile("" : : "r"(piece) : "memory");
        }
        memcpyRates.push_back(double(size) / 1e6 / (double(timer.nsecsElapsed()) / 1e9));
        if (reported == 0 || sum == 1)
            std::printf("(unused)\n");
    }
    std::printf("Line assembler on encoder progress output (64 MB in 1 KiB pieces, median of 5):\n");
    std::printf("  assembler %8.0f MB/s    memcpy %8.0f MB/s    (%.1fx memcpy's time)\n", median(assemblerRates),
                median(memcpyRates), median(memcpyRates) / median(assemblerRates));
}

struct RunFigures {
    double seconds = 0;
    long long bytesDelivered = 0;
    long long linesDelivered = 0;
    long long gaps = 0;                 // places where lines went missing
    std::vector<double> gapTimes;       // seconds into the run
    double guiCpuSeconds = 0;
    double longestGuiStallMs = 0;
};

// Runs the emitting child through the runner and counts what arrives. The
// handler optionally keeps the GUI thread busy for busyMs every busyEveryMB.
RunFigures runThroughRunner(const QByteArray &self, long long bytes, int busyMs = 0, int busyEveryMB = 0)
{
    RunFigures figures;
    TJvCreateProcess runner;
    runner.ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData) | unsigned(TJvConsoleOption::coRedirect);
    runner.CommandLine = joinCommandLine({self, "--emit", QByteArray::number(bytes)});

    std::string pending; // the line being reported; complete once a new line starts
    long long expectedFrame = 1;
    long long nextBusyAt = busyEveryMB ? (long long)busyEveryMB << 20 : -1;
    QElapsedTimer clock;
    auto complete = [&](const std::string &line) {
        figures.bytesDelivered += (long long)line.size() + 1;
        ++figures.linesDelivered;
        const long long frame = line.size() > 16 ? std::atoll(line.c_str() + 6) : -1;
        if (frame != expectedFrame) {
            ++figures.gaps;
            figures.gapTimes.push_back(double(clock.nsecsElapsed()) / 1e9);
        }
        expectedFrame = frame + 1;
        if (nextBusyAt >= 0 && figures.bytesDelivered >= nextBusyAt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(busyMs));
            nextBusyAt += (long long)busyEveryMB << 20;
        }
    };
    runner.OnRead = [&](TJvCreateProcess *, const QByteArray &S, bool startsOnNewLine) {
        if (startsOnNewLine && !pending.empty())
            complete(pending);
        pending.assign(S.constData(), size_t(S.size()));
    };
    bool ended = false;
    runner.OnTerminate = [&](TJvCreateProcess *, std::uint32_t) {
        if (!pending.empty())
            complete(pending);
        ended = true;
        QCoreApplication::exit(0);
    };

    // A 1 ms timer on the GUI thread: the longest gap between its ticks is
    // the longest time the thread was kept from its event loop.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QElapsedTimer sinceTick;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        figures.longestGuiStallMs = std::max(figures.longestGuiStallMs, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.start();
    });

    const double cpuBefore = threadCpuSeconds();
    clock.start();
    sinceTick.start();
    ticker.start();
    runner.Run();
    if (!ended)
        QCoreApplication::exec();
    figures.seconds = double(clock.nsecsElapsed()) / 1e9;
    figures.guiCpuSeconds = threadCpuSeconds() - cpuBefore;
    return figures;
}

double runThroughDd(const QByteArray &self, long long bytes)
{
    const QString script = QStringLiteral("\"$0\" --emit %1 | dd bs=1024 of=/dev/null status=none").arg(bytes);
    QElapsedTimer clock;
    clock.start();
    if (QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QFile::decodeName(self)}) != 0)
        std::printf("  (dd pipeline failed)\n");
    return double(clock.nsecsElapsed()) / 1e9;
}

void benchRunner(const QByteArray &self, long long megabytes)
{
    const long long bytes = megabytes * 1000000 / LineLength * LineLength;
    const double mb = double(bytes) / 1e6;
    std::vector<double> runnerSeconds, ddSeconds, cpuPerMb, stalls;
    RunFigures last;
    long long worstDelivered = bytes;
    for (int round = 0; round < 3; ++round) {
        ddSeconds.push_back(runThroughDd(self, bytes));
        last = runThroughRunner(self, bytes);
        runnerSeconds.push_back(last.seconds);
        cpuPerMb.push_back(last.guiCpuSeconds * 1000 / mb);
        stalls.push_back(last.longestGuiStallMs);
        worstDelivered = std::min(worstDelivered, last.bytesDelivered);
    }
    std::printf("\nRunner end to end, a child writing %.0f MB of 100-byte lines (median of 3):\n", mb);
    std::printf("  runner %6.2f s (%4.0f MB/s)    dd bs=1024 %6.2f s (%4.0f MB/s)    ratio %.2f\n",
                median(runnerSeconds), mb / median(runnerSeconds), median(ddSeconds), mb / median(ddSeconds),
                median(runnerSeconds) / median(ddSeconds));
    std::printf("  delivered %lld of %lld bytes in the worst run (%lld dropped)\n", worstDelivered, bytes,
                bytes - worstDelivered);
    std::printf("  GUI thread CPU %.2f ms per MB    longest GUI stall %.2f ms (worst %.2f ms)\n", median(cpuPerMb),
                median(stalls), *std::max_element(stalls.begin(), stalls.end()));

    for (const int busyMs : {20, 100}) {
        const RunFigures busy = runThroughRunner(self, bytes, busyMs, 20);
        std::printf("\nSame child, the GUI thread busy for %d ms after every 20 MB delivered:\n", busyMs);
        std::printf("  delivered %lld of %lld bytes, %lld dropped, in %lld places", busy.bytesDelivered, bytes,
                    bytes - busy.bytesDelivered, busy.gaps);
        if (!busy.gapTimes.empty()) {
            std::printf(" (at");
            for (size_t i = 0; i < busy.gapTimes.size() && i < 6; ++i)
                std::printf(" %.2f s", busy.gapTimes[i]);
            std::printf("%s)", busy.gapTimes.size() > 6 ? " ..." : "");
        }
        std::printf("\n");
    }
}

// Moves bin/halvora-guard beside this program aside while it lives: children
// then start as without the guard.
class GuardAside {
public:
    explicit GuardAside(const QString &folder)
        : m_path(folder + QStringLiteral("/bin/") + QLatin1String(ChildGuard::FileName)),
          m_moved(QFile::rename(m_path, m_path + QStringLiteral(".aside")))
    {
    }
    ~GuardAside()
    {
        if (m_moved)
            QFile::rename(m_path + QStringLiteral(".aside"), m_path);
    }
    bool moved() const { return m_moved; }

private:
    QString m_path;
    bool m_moved;
};

double nowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct StartFigures {
    double startMs = 0; // until start() returns: the program runs
    double roundMs = 0; // until a program that ends at once is reaped
};

StartFigures childStarts(int rounds)
{
    const QList<QByteArray> program{"/bin/true"};
    const int inherit[3] = {-1, -1, -1};
    std::vector<double> starts, totals;
    for (int round = 0; round < rounds; ++round) {
        const double begin = nowMs();
        const int pid = ChildStart::start(program, inherit);
        const double started = nowMs();
        int status;
        ::waitpid(pid, &status, 0);
        starts.push_back(started - begin);
        totals.push_back(nowMs() - begin);
    }
    return {median(starts), median(totals)};
}

void benchChildStart(const QString &folder)
{
    constexpr int Rounds = 300;
    childStarts(20); // the starting thread and the page cache warm up
    const StartFigures guarded = childStarts(Rounds);
    StartFigures direct;
    {
        const GuardAside aside(folder);
        if (!aside.moved()) {
            std::printf("\n(bin/halvora-guard not found beside this program: no child start figures)\n");
            return;
        }
        childStarts(20);
        direct = childStarts(Rounds);
    }
    std::printf("\nStarting /bin/true through ChildStart (median of %d):\n", Rounds);
    std::printf("  through the guard  start %6.3f ms    start to reaped %6.3f ms\n", guarded.startMs,
                guarded.roundMs);
    std::printf("  directly           start %6.3f ms    start to reaped %6.3f ms\n", direct.startMs, direct.roundMs);
    std::printf("  the guard adds     %6.3f ms to start() (its thread waits until the program runs), %.3f ms "
                "from start to reaped\n",
                guarded.startMs - direct.startMs, guarded.roundMs - direct.roundMs);
}

// How long the child of a killed parent took to end; -1 when it was still
// there after limitMs (it is killed then), -2 when it could not be measured.
double childEndAfterParentKilled(const QByteArray &self, const char *mode, int limitMs)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    char *const arguments[] = {const_cast<char *>(self.constData()), const_cast<char *>("--parent"),
                               const_cast<char *>(mode), nullptr};
    pid_t parent = 0;
    const int spawned = posix_spawn(&parent, self.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return -2;
    }
    // The child writes its process id once it is ready.
    char line[32] = {};
    ssize_t got = 0;
    pollfd ready{pipeFds[0], POLLIN, 0};
    while (got < ssize_t(sizeof line - 1) && !std::memchr(line, '\n', size_t(got)) && ::poll(&ready, 1, 10000) == 1) {
        const ssize_t n = ::read(pipeFds[0], line + got, sizeof line - 1 - size_t(got));
        if (n <= 0)
            break;
        got += n;
    }
    ::close(pipeFds[0]);
    const int child = std::atoi(line);
    const int pidFd = child > 0 ? int(::syscall(SYS_pidfd_open, child, 0)) : -1;
    const double begin = nowMs();
    ::kill(parent, SIGKILL);
    int status;
    ::waitpid(parent, &status, 0);
    if (pidFd < 0)
        return -2;
    pollfd end{pidFd, POLLIN, 0};
    const bool ended = ::poll(&end, 1, limitMs) == 1;
    const double took = nowMs() - begin;
    if (!ended) {
        ::syscall(SYS_pidfd_send_signal, pidFd, SIGKILL, nullptr, 0u);
        ::poll(&end, 1, 5000);
    }
    ::close(pidFd);
    return ended ? took : -1;
}

void printEnds(const char *what, const std::vector<double> &ms, int limitMs)
{
    std::vector<double> ended;
    const auto running = std::count(ms.begin(), ms.end(), -1.0);
    const auto failed = std::count(ms.begin(), ms.end(), -2.0);
    for (const double value : ms) {
        if (value >= 0)
            ended.push_back(value);
    }
    std::printf("  %-38s", what);
    const char *separator = "";
    if (!ended.empty()) {
        std::printf("median %9.2f ms  max %9.2f ms", median(ended), *std::max_element(ended.begin(), ended.end()));
        separator = "  ";
    }
    if (running > 0) {
        std::printf("%s%td of %zu still running %d ms after", separator, running, ms.size(), limitMs);
        separator = "  ";
    }
    if (failed > 0)
        std::printf("%s%td of %zu not measured", separator, failed, ms.size());
    std::printf("\n");
}

void benchParentKilled(const QByteArray &self, const QString &folder)
{
    constexpr int HealthyRounds = 20;
    constexpr int StubbornRounds = 3;
    const int guardedLimit = ChildGuard::OrphanGraceMs + 3000;
    const int directLimit = 2000;
    auto rounds = [&](const char *mode, int count, int limitMs) {
        std::vector<double> ms;
        for (int round = 0; round < count; ++round)
            ms.push_back(childEndAfterParentKilled(self, mode, limitMs));
        return ms;
    };
    const std::vector<double> healthy = rounds("healthy", HealthyRounds, guardedLimit);
    const std::vector<double> stubborn = rounds("stubborn", StubbornRounds, guardedLimit);
    std::vector<double> healthyDirect, stubbornDirect;
    {
        const GuardAside aside(folder);
        if (aside.moved()) {
            healthyDirect = rounds("healthy", HealthyRounds, directLimit);
            stubbornDirect = rounds("stubborn", 1, directLimit);
        }
    }
    std::printf("\nFrom the parent's SIGKILL to the end of its child (grace %d ms):\n", ChildGuard::OrphanGraceMs);
    printEnds("through the guard, ends on SIGTERM", healthy, guardedLimit);
    printEnds("through the guard, ignores SIGTERM", stubborn, guardedLimit);
    if (!healthyDirect.empty()) {
        printEnds("directly, ends on SIGTERM", healthyDirect, directLimit);
        printEnds("directly, ignores SIGTERM", stubbornDirect, directLimit);
    }
}

// The parent of figure 5: starts the child as Halvora does, then waits to be killed.
int parentRole(const char *self, const char *mode)
{
    // Without the guard each parent would warn about it once more.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const int inherit[3] = {-1, -1, -1};
    ChildStart::start({self, "--child", mode}, inherit);
    for (;;)
        ::pause();
}

// The child of figure 5: tells its process id, then waits for a signal.
int childRole(const char *mode)
{
    if (std::strcmp(mode, "stubborn") == 0)
        ::signal(SIGTERM, SIG_IGN);
    const std::string line = std::to_string(::getpid()) + "\n";
    if (::write(1, line.data(), line.size()) != ssize_t(line.size()))
        return 1;
    for (;;)
        ::pause();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--emit") == 0)
        return emitLines(std::atoll(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--parent") == 0)
        return parentRole(argv[0], argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return childRole(argv[2]);
    QCoreApplication application(argc, argv);
    const long long megabytes = argc > 1 ? std::atoll(argv[1]) : 200;
    benchAssembler();
    const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
    benchRunner(self, megabytes);
    benchChildStart(QCoreApplication::applicationDirPath());
    benchParentKilled(self, QCoreApplication::applicationDirPath());
    return 0;
}
