#include "process/tjvcreateprocess.h"

#include "process/childstart.h"
#include "process/commandline.h"
#include "process/eoserror.h"
#include "process/handlererror.h"
#include "process/tjvconsolethread.h"
#include "process/tjvreader.h"
#include "process/uniquefd.h"
#include "process/wakesignal.h"
#include "process/workerthread.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace {

// At most this many pieces (128 KiB, the largest shared buffer) are
// assembled per wake; the rest waits for the next turn of the event loop.
constexpr int MaxPiecesPerWake = 128;

struct Pipe {
    UniqueFd readEnd;
    UniqueFd writeEnd;
};

// Keeps a descriptor clear of 0, 1 and 2, so that placing the child's ends
// on its standard streams can never overwrite another of them.
UniqueFd aboveStandardStreams(UniqueFd fd)
{
    if (fd.get() > 2)
        return fd;
    UniqueFd moved(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
    if (!moved.isOpen())
        throw EOSError(errno);
    return moved;
}

// Both ends close on exec: the child gets only the ends placed on its
// standard streams, and no other child ever holds the runner's ends.
Pipe makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw EOSError(errno);
    Pipe pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
    pipe.readEnd = aboveStandardStreams(std::move(pipe.readEnd));
    pipe.writeEnd = aboveStandardStreams(std::move(pipe.writeEnd));
    return pipe;
}

// A write to a pipe nobody reads must fail with EPIPE instead of ending this
// process. Children get the default disposition back (see ChildStart).
void ignoreSigpipe()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            ::sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

UniqueFd openPidFd(pid_t pid)
{
    // Without pidfd_open (old kernels, strict sandboxes) the wait thread
    // falls back to checking on the child.
    return UniqueFd(int(::syscall(SYS_pidfd_open, pid, 0)));
}

// A child nobody watches is still reaped when it ends.
void reapInBackground(pid_t pid)
{
    startWorkerThread([pid] {
        int status;
        (void)retryOnEintr([&] { return ::waitpid(pid, &status, 0); });
    });
}

} // namespace

TJvCreateProcess::TJvCreateProcess(QObject *parent) : QObject(parent), m_reader(std::make_unique<TJvReader>(static_cast<TJvReader::Owner &>(*this))) {}

TJvCreateProcess::~TJvCreateProcess()
{
    StopWatching();
    // The notifier goes before the descriptor it watches.
    delete m_notifier;
}

void TJvCreateProcess::Run()
{
    if (m_state == State::Watching && m_countdown > 0)
        throw EJvProcessError("Cannot perform this operation when process is running");
    m_state = State::Idle;
    m_countdown = 0;
    m_exitCode = 0;
    m_endSignal = 0;

    const QList<QByteArray> arguments = splitCommandLine(CommandLine);
    if (!(ConsoleOptions & unsigned(TJvConsoleOption::coRedirect))) {
        const int inherit[3] = {-1, -1, -1};
        reapInBackground(ChildStart::start(arguments, inherit));
        return;
    }
    runRedirected(arguments);
}

void TJvCreateProcess::runRedirected(const QList<QByteArray> &arguments)
{
    ensureNotifier();
    ignoreSigpipe();
    Pipe output = makePipe();
    Pipe input = makePipe();
    const int streams[3] = {input.readEnd.get(), output.writeEnd.get(), output.writeEnd.get()};
    const pid_t pid = ChildStart::start(arguments, streams);
    // The child holds its own copies now; without closing ours the reader
    // would never see the end of the output.
    input.readEnd.reset();
    output.writeEnd.reset();

    ++m_run;
    m_state = State::Watching;
    m_countdown = 2;
    try {
        m_waitThread = TJvConsoleThread::start(pid, openPidFd(pid), std::move(input.writeEnd), m_wake);
        m_reader->start(std::move(output.readEnd), m_wake);
    } catch (...) {
        if (!m_waitThread)
            reapInBackground(pid);
        StopWatching();
        throw;
    }
}

void TJvCreateProcess::ensureNotifier()
{
    if (m_notifier)
        return;
    m_wake = std::make_shared<WakeSignal>();
    m_notifier = new QSocketNotifier(m_wake->fd(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { wakeUp(); });
}

bool TJvCreateProcess::Write(const QByteArray &S)
{
    if (!m_waitThread)
        return false;
    if (S.isEmpty())
        return true;
    return m_waitThread->write(S);
}

QByteArray TJvCreateProcess::LineSinceReturn() const
{
    return m_reader->assembler().sinceReturn();
}

bool TJvCreateProcess::Signal(int number)
{
    return m_waitThread && m_waitThread->signal(number);
}

void TJvCreateProcess::StopWatching()
{
    if (m_state != State::Watching)
        return;
    if (const auto thread = std::exchange(m_waitThread, nullptr))
        thread->stop();
    m_reader->stop();
    m_countdown = 0;
    m_state = State::Idle;
}

// A worker has something for the GUI thread: output, or an end step.
void TJvCreateProcess::wakeUp()
{
    m_wake->acknowledge();
    const QPointer<TJvCreateProcess> self(this);
    bool more = false;
    try {
        more = m_reader->deliverPieces(MaxPiecesPerWake);
    } catch (...) {
        // The waiting bytes and any end step are taken up at the next wake.
        if (self)
            m_wake->notify();
        HandlerError::show(std::current_exception());
        return;
    }
    if (!self)
        return;
    if (more)
        m_wake->notify();
    m_reader->runEndStepIfRequested();
    if (self)
        runWaitEndStepIfRequested();
}

void TJvCreateProcess::runWaitEndStepIfRequested()
{
    const std::shared_ptr<TJvConsoleThread> thread = m_waitThread;
    if (!thread || !thread->takeEndStepRequest())
        return;
    m_exitCode = thread->endStepDone();
    m_endSignal = thread->endSignal();
    m_waitThread.reset();
    postWorkerFinished();
}

void TJvCreateProcess::postWorkerFinished()
{
    QMetaObject::invokeMethod(this, [this, run = m_run] { workerFinished(run); }, Qt::QueuedConnection);
}

void TJvCreateProcess::workerFinished(quint64 run)
{
    if (m_state != State::Watching || run != m_run)
        return;
    if (--m_countdown > 0)
        return;
    m_state = State::Idle;
    m_countdown = 0;
    if (OnTerminate) {
        const TerminateEvent handler = OnTerminate;
        try {
            handler(this, m_exitCode);
        } catch (...) {
            HandlerError::show(std::current_exception());
        }
    }
    emit ended();
}

bool TJvCreateProcess::waitUntilEnded(int timeoutMs, QEventLoop::ProcessEventsFlags flags)
{
    if (!isWatching())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &TJvCreateProcess::ended, &loop, &QEventLoop::quit);
    limit.start(timeoutMs);
    loop.exec(flags);
    return !isWatching();
}

void TJvCreateProcess::outputEnded()
{
    postWorkerFinished();
}

void TJvCreateProcess::lineRead(const QByteArray &line, bool startsOnNewLine)
{
    if (!OnRead)
        return;
    const ReadEvent handler = OnRead;
    // S is the handler's own: it stays as reported whatever the runner does next.
    const QByteArray S = line;
    handler(this, S, startsOnNewLine);
}

TJvCreateProcess::HandlerErrorDisplay TJvCreateProcess::setHandlerErrorDisplay(HandlerErrorDisplay display)
{
    return HandlerError::setDisplay(std::move(display));
}
