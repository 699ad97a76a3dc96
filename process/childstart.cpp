#include "process/childstart.h"

#include "process/eoserror.h"

#include <QtGlobal>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ChildStart {
namespace {

// Everything the child needs, made ready before the process is split: after
// that the child only makes async-signal-safe calls.
struct Request {
    std::vector<QByteArray> candidates; // full paths to try, in order
    std::vector<char *> candidatePaths; // the same, as execve takes them
    std::vector<char *> argv;
    QByteArray guard;                 // the guard's path; empty to run the program directly
    std::vector<QByteArray> guardNumbers; // this process's id and the number of candidates
    std::vector<char *> guardArgv;    // see childguard.h
    int guardDeathSignal = 0;
    int streams[3] = {-1, -1, -1};
    int result = 0; // pid, or -errno
};

// Retries a call interrupted by a signal (no C library state involved).
template <typename Call>
auto retry(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

// Closes every descriptor above 2 except `keep`.
void closeAbove2Except(int keep, int limit)
{
    if ((keep == 3 || ::syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u) == 0)
        && ::syscall(SYS_close_range, unsigned(keep + 1), ~0u, 0u) == 0)
        return;
    for (int fd = 3; fd < limit; ++fd) {
        if (fd != keep)
            ::close(fd);
    }
}

// Tells the parent why the child could not run the program, and ends it.
[[noreturn]] void failChild(int errorFd, int error)
{
    retry([&] { return ::write(errorFd, &error, sizeof error); });
    ::_exit(127);
}

// Puts the error pipe where the guard reports on, open across exec.
bool handToGuard(int errorFd)
{
    if (errorFd == ChildGuard::ReportFd)
        return ::fcntl(errorFd, F_SETFD, 0) == 0;
    return retry([&] { return ::dup2(errorFd, ChildGuard::ReportFd); }) == ChildGuard::ReportFd;
}

// Undoes handToGuard: the program must not get the pipe.
void takeBackFromGuard(int errorFd)
{
    if (errorFd == ChildGuard::ReportFd)
        ::fcntl(errorFd, F_SETFD, FD_CLOEXEC);
    else
        ::close(ChildGuard::ReportFd);
}

// Runs in the child, which shares this process's memory until it runs the
// guard or the program, or ends: no allocation, no lock, no C++ beyond plain
// reads. The error pipe closes on exec: the parent reads nothing when the
// program runs. The guard gets it open and closes it once its program runs,
// or reports the program's failed start on it.
[[noreturn]] void childBody(const Request &request, pid_t parent, int fdLimit, int errorFd)
{
    // Signals caught here must not run their handlers in the child; ignored
    // ones (SIGPIPE above all) are back at their defaults for the program.
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal == SIGKILL || signal == SIGSTOP)
            continue;
        struct sigaction current;
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_DFL) {
            struct sigaction defaults;
            std::memset(&defaults, 0, sizeof defaults);
            defaults.sa_handler = SIG_DFL;
            ::sigaction(signal, &defaults, nullptr);
        }
    }
    // Ends the child when this process ends, whatever the way; a parent that
    // ended before the call would leave the child with another parent.
    const bool guarded = !request.guardArgv.empty();
    if (::prctl(PR_SET_PDEATHSIG, guarded ? request.guardDeathSignal : DeathSignal) != 0 || ::getppid() != parent)
        failChild(errorFd, ESRCH);
    for (int stream = 0; stream < 3; ++stream) {
        const int fd = request.streams[stream];
        if (fd >= 0 && retry([&] { return ::dup2(fd, stream); }) < 0)
            failChild(errorFd, errno);
    }
    closeAbove2Except(errorFd, fdLimit);
    // The guard starts with every signal blocked, as this thread has them,
    // and takes them as they come; the program starts with none blocked.
    if (guarded && handToGuard(errorFd)) {
        ::execve(request.guard.constData(), request.guardArgv.data(), environ);
        // The guard cannot run: the program runs without it.
        takeBackFromGuard(errorFd);
    }
    if (guarded && (::prctl(PR_SET_PDEATHSIG, DeathSignal) != 0 || ::getppid() != parent))
        failChild(errorFd, ESRCH);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    failChild(errorFd, ChildGuard::execFirst(request.candidatePaths.data(), long(request.candidatePaths.size()),
                                             request.argv.data()));
}

// The thread every child starts from. It blocks every signal, so none of
// this process's handlers can run in a child before it runs its program.
class Starter {
public:
    static Starter &instance()
    {
        // Deliberately never destroyed: the thread lives as long as the process.
        static Starter *starter = new Starter;
        return *starter;
    }

    void run(Request &request)
    {
        std::unique_lock lock(m_lock);
        m_idle.wait(lock, [this] { return m_request == nullptr; });
        m_request = &request;
        m_done = false;
        m_pending.notify_all();
        m_finished.wait(lock, [this] { return m_done; });
        m_request = nullptr;
        m_idle.notify_all();
    }

private:
    Starter()
    {
        sigset_t all, previous;
        sigfillset(&all);
        // The thread inherits the full mask; this thread gets its own back.
        ::pthread_sigmask(SIG_SETMASK, &all, &previous);
        std::thread([this] { loop(); }).detach();
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void loop()
    {
        const pid_t self = ::getpid();
        for (;;) {
            std::unique_lock lock(m_lock);
            m_pending.wait(lock, [this] { return m_request != nullptr && !m_done; });
            Request &request = *m_request;
            const int fdLimit = int(::sysconf(_SC_OPEN_MAX) > 0 ? ::sysconf(_SC_OPEN_MAX) : 1024);
            request.result = startOne(request, self, fdLimit);
            m_done = true;
            m_finished.notify_all();
        }
    }

    static int startOne(const Request &request, pid_t self, int fdLimit)
    {
        int errorPipe[2];
        if (::pipe2(errorPipe, O_CLOEXEC) != 0)
            return -errno;
        // Clear of the standard streams, which the child overwrites.
        if (errorPipe[1] <= 2) {
            const int moved = ::fcntl(errorPipe[1], F_DUPFD_CLOEXEC, 3);
            const int error = errno;
            ::close(errorPipe[1]);
            if (moved < 0) {
                ::close(errorPipe[0]);
                return -error;
            }
            errorPipe[1] = moved;
        }
        // The child borrows this thread's memory and stack until it runs the
        // program or ends: the parent resumes only then.
        const pid_t pid = ::vfork();
        if (pid == 0)
            childBody(request, self, fdLimit, errorPipe[1]);
        const int startError = pid < 0 ? errno : 0;
        ::close(errorPipe[1]);
        if (pid < 0) {
            ::close(errorPipe[0]);
            return -startError;
        }
        int error = 0;
        const ssize_t got = retry([&] { return ::read(errorPipe[0], &error, sizeof error); });
        ::close(errorPipe[0]);
        if (got == ssize_t(sizeof error)) {
            int status;
            retry([&] { return ::waitpid(pid, &status, 0); });
            return -error;
        }
        return pid;
    }

    std::mutex m_lock;
    std::condition_variable m_pending;
    std::condition_variable m_finished;
    std::condition_variable m_idle;
    Request *m_request = nullptr;
    bool m_done = false;
};

// bin/halvora-guard beside the running executable; empty when that cannot be
// told.
QByteArray guardPath()
{
    static const QByteArray path = [] {
        char executable[PATH_MAX];
        const ssize_t length = ::readlink("/proc/self/exe", executable, sizeof executable);
        if (length <= 0 || length == ssize_t(sizeof executable))
            return QByteArray();
        const QByteArray self(executable, length);
        return self.left(self.lastIndexOf('/') + 1) + "bin/" + ChildGuard::FileName;
    }();
    return path;
}

// Sets the request up to run the program under the guard, when the guard
// is there.
void addGuard(Request &request)
{
    const QByteArray path = guardPath();
    if (path.isEmpty() || ::access(path.constData(), X_OK) != 0) {
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true))
            qWarning("%s cannot run: children are started without it, and one that does not end on SIGTERM "
                     "outlives this process",
                     path.isEmpty() ? ChildGuard::FileName : path.constData());
        return;
    }
    request.guard = path;
    // The guard's parent-death signal comes whenever the thread that is its
    // parent ends, so once for each thread while this process ends; the
    // guard acts once it finds another parent. It is one the guard never
    // passes on to the program.
    request.guardDeathSignal = SIGRTMAX;
    request.guardNumbers = {QByteArray::number(qint64(::getpid())),
                            QByteArray::number(qsizetype(request.candidates.size()))};
    request.guardArgv.reserve(3 + request.candidates.size() + request.argv.size());
    request.guardArgv.push_back(request.guard.data());
    for (QByteArray &number : request.guardNumbers)
        request.guardArgv.push_back(number.data());
    request.guardArgv.insert(request.guardArgv.end(), request.candidatePaths.begin(), request.candidatePaths.end());
    request.guardArgv.insert(request.guardArgv.end(), request.argv.begin(), request.argv.end());
}

std::vector<QByteArray> candidatePaths(const QByteArray &program)
{
    if (program.contains('/'))
        return {program};
    const char *path = std::getenv("PATH");
    const QByteArray search = path ? QByteArray(path) : QByteArray("/bin:/usr/bin");
    std::vector<QByteArray> candidates;
    for (const QByteArray &folder : search.split(':'))
        candidates.push_back((folder.isEmpty() ? QByteArray(".") : folder) + '/' + program);
    return candidates;
}

} // namespace

int start(const QList<QByteArray> &arguments, const int (&streams)[3])
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        throw EOSError(ENOENT);
    Request request;
    request.candidates = candidatePaths(arguments.first());
    for (QByteArray &candidate : request.candidates)
        request.candidatePaths.push_back(candidate.data());
    request.argv.reserve(size_t(arguments.size()) + 1);
    for (const QByteArray &argument : arguments)
        request.argv.push_back(const_cast<char *>(argument.constData()));
    request.argv.push_back(nullptr);
    addGuard(request);
    std::copy(std::begin(streams), std::end(streams), request.streams);
    Starter::instance().run(request);
    if (request.result < 0)
        throw EOSError(-request.result);
    return request.result;
}

} // namespace ChildStart
