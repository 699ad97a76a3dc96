// halvora-guard: runs one program for Halvora and makes sure it does not
// outlive Halvora, even when it is stuck (an encoder blocked opening a source
// that never answers catches SIGTERM and lives on).
//
// Started by ChildStart (see process/childguard.h for the arguments) with
// every signal blocked; the guard keeps them blocked and takes them with
// sigwaitinfo, so it has no handlers and the program gets every signal at
// its default disposition. The guard's pid is the one Halvora holds:
//  - SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1 and SIGUSR2 are passed on to
//    the program, unless the terminal sent them: the program, in the same
//    process group, has its own copy then.
//  - SIGKILL ends the guard, and the program with it (its parent-death
//    signal is SIGKILL).
//  - When Halvora ends, however it ends, its parent-death signal wakes the
//    guard; once the guard finds another parent, the program gets SIGTERM,
//    and SIGKILL once it has used no processor time for OrphanGraceMs (or
//    OrphanLimitMs after SIGTERM at the latest). That signal
//    also comes when one of Halvora's threads ends, so only a new parent
//    counts; it is one the guard never passes on.
// The guard ends as the program ended: with its exit code, or by its signal.
//
// Single-threaded; no allocation. Between vfork and exec the program's side
// makes only async-signal-safe calls.

#include "process/childguard.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Set by the program's side between vfork and a failed exec; the guard shares
// its memory until then.
volatile int g_startError = 0;

bool parseNumber(const char *text, long &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value > 0;
}

// Tells the starter why the program could not run.
void report(int error)
{
    while (::write(ChildGuard::ReportFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
}

[[noreturn]] void runProgram(char *const *candidates, long count, char *const *argv, pid_t guard)
{
    // Dies with the guard; a guard gone before the call would leave the
    // program with another parent.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != guard) {
        g_startError = ESRCH;
        ::_exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    g_startError = ChildGuard::execFirst(candidates, count, argv);
    ::_exit(127);
}

// Ends the guard the way the program ended.
[[noreturn]] void endLike(int status)
{
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        // The program's death is not the guard's crash: no core for the guard.
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        ::prctl(PR_SET_DUMPABLE, 0);
        struct sigaction defaults;
        std::memset(&defaults, 0, sizeof defaults);
        defaults.sa_handler = SIG_DFL;
        ::sigaction(signal, &defaults, nullptr);
        ::kill(::getpid(), signal);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
        ::_exit(128 + signal); // not reached for a signal that ends a process
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 127);
}

bool passedOn(int signal)
{
    switch (signal) {
    case SIGHUP:
    case SIGINT:
    case SIGQUIT:
    case SIGTERM:
    case SIGUSR1:
    case SIGUSR2:
        return true;
    default:
        return false;
    }
}

long long nowMs()
{
    timespec time;
    ::clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec * 1000LL + time.tv_nsec / 1000000;
}

// The processor time the program has used so far, in clock ticks; -1 when
// it cannot be read.
long long processorTicks(pid_t program)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(program));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[1024];
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0)
        return -1;
    text[size] = '\0';
    // "pid (name) state ppid ... utime stime ...": utime is the 14th field,
    // the 12th after the name, which may hold blanks and parentheses.
    const char *field = std::strrchr(text, ')');
    for (int skip = 0; field && skip < 12; ++skip)
        field = std::strchr(field + 1, ' ');
    if (!field)
        return -1;
    char *end = nullptr;
    const long long user = std::strtoll(field + 1, &end, 10);
    const long long system = std::strtoll(end, nullptr, 10);
    return user + system;
}

// Waits for signals until the program has ended, then ends like it.
//
// Once Halvora has ended the program gets SIGTERM; it is killed when it has
// used no processor time for OrphanGraceMs (stuck: blocked on a source that
// never answers), or OrphanLimitMs after SIGTERM at the latest. A healthy
// encoder finishing its file keeps working meanwhile, and is not cut short.
[[noreturn]] void watch(pid_t program, pid_t parent)
{
    sigset_t all;
    sigfillset(&all);
    bool orphaned = false;
    bool killed = false;
    long long orphanedAt = 0;
    long long activeAt = 0;
    long long ticks = -1;
    for (;;) {
        siginfo_t info;
        int signal;
        if (orphaned && !killed) {
            const timespec period{0, long(ChildGuard::OrphanCheckMs) * 1000000L};
            signal = ::sigtimedwait(&all, &info, &period);
            if (signal < 0 && errno == EAGAIN) {
                const long long used = processorTicks(program);
                const long long now = nowMs();
                if (used != ticks) {
                    ticks = used;
                    activeAt = now;
                }
                if (now - activeAt >= ChildGuard::OrphanGraceMs || now - orphanedAt >= ChildGuard::OrphanLimitMs) {
                    ::kill(program, SIGKILL);
                    killed = true;
                }
                continue;
            }
        } else {
            signal = ::sigwaitinfo(&all, &info);
        }
        if (signal < 0)
            continue; // EINTR
        if (signal == SIGCHLD) {
            int status;
            if (::waitpid(program, &status, WNOHANG) == program)
                endLike(status);
            continue; // stopped or continued
        }
        // The parent-death signal comes after the guard got its new parent;
        // whatever woke the guard, a new parent means Halvora has ended.
        if (!orphaned && ::getppid() != parent) {
            orphaned = true;
            ::kill(program, SIGTERM);
            orphanedAt = activeAt = nowMs();
            ticks = processorTicks(program);
            continue;
        }
        if (passedOn(signal) && info.si_code != SI_KERNEL)
            ::kill(program, signal);
    }
}

} // namespace

int main(int argc, char **argv)
{
    long parent = 0;
    long count = 0;
    if (argc < 4 || !parseNumber(argv[1], parent) || !parseNumber(argv[2], count) || count >= argc - 3) {
        static const char usage[] = "usage: halvora-guard PARENT-PID COUNT CANDIDATE... ARGV0 [ARG...]\n";
        (void)!::write(2, usage, sizeof usage - 1);
        return 127;
    }
    char *const *candidates = argv + 3;
    char *const *programArgv = argv + 3 + count;
    // ChildStart starts the guard so; whoever else does, the guard's signals
    // are taken by sigwaitinfo only (a signal ignored by default and not
    // blocked, SIGCHLD above all, would be dropped), and the program starts
    // with every signal at its default disposition.
    sigset_t all;
    sigfillset(&all);
    ::sigprocmask(SIG_BLOCK, &all, nullptr);
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction current;
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            current.sa_handler = SIG_DFL;
            ::sigaction(signal, &current, nullptr);
        }
    }
    // The report descriptor must not reach the program.
    ::fcntl(ChildGuard::ReportFd, F_SETFD, FD_CLOEXEC);

    if (::getppid() != pid_t(parent)) {
        report(ESRCH);
        return 127;
    }
    const pid_t self = ::getpid();
    const pid_t program = ::vfork();
    if (program == 0)
        runProgram(candidates, count, programArgv, self);
    if (program < 0 || g_startError != 0) {
        const int error = program < 0 ? errno : g_startError;
        if (program > 0) {
            int status;
            while (::waitpid(program, &status, 0) < 0 && errno == EINTR) {
            }
        }
        report(error);
        return 127;
    }
    // The program runs: the starter's read ends here. The guard keeps none of
    // the program's streams, so their readers and writers see the program's
    // end, not the guard's.
    ::close(ChildGuard::ReportFd);
    ::close(0);
    ::close(1);
    ::close(2);
    watch(program, pid_t(parent));
}
