#include "process/tjvconsolethread.h"

#include "process/wakesignal.h"
#include "process/workerthread.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

std::shared_ptr<TJvConsoleThread> TJvConsoleThread::start(int pid, UniqueFd pidFd, UniqueFd writeEnd,
                                                          std::shared_ptr<WakeSignal> wake)
{
    setNonBlocking(writeEnd.get());
    std::shared_ptr<TJvConsoleThread> thread(
        new TJvConsoleThread(pid, std::move(pidFd), std::move(writeEnd), std::move(wake)));
    startWorkerThread([thread] { thread->run(); });
    return thread;
}

TJvConsoleThread::TJvConsoleThread(int pid, UniqueFd pidFd, UniqueFd writeEnd, std::shared_ptr<WakeSignal> wake)
    : m_pid(pid), m_pidFd(std::move(pidFd)), m_writeEnd(std::move(writeEnd)), m_wake(std::move(wake))
{
}

TJvConsoleThread::~TJvConsoleThread() = default;

// Runs on the wait thread. Only this thread and the end step (while this
// thread waits for it) close the write end, so reading its number without
// the lock is safe here.
void TJvConsoleThread::run()
{
    const bool hasPidFd = m_pidFd.isOpen();
    bool writeOpen = true;
    bool waitingForRoom = false;
    for (;;) {
        const int inputFd = !writeOpen ? -1 : waitingForRoom ? m_writeEnd.get() : m_inputPending.fd();
        pollfd fds[3] = {
            {m_stop.fd(), POLLIN, 0},
            {m_pidFd.get(), POLLIN, 0},
            {inputFd, short(waitingForRoom ? POLLOUT : POLLIN), 0},
        };
        const int ready = retryOnEintr([&] { return ::poll(fds, 3, hasPidFd ? -1 : 20); });
        if (ready < 0)
            break; // the wait itself failed: no exit code
        if (m_stopRequested.load() || fds[0].revents)
            break;
        if (hasPidFd ? fds[1].revents != 0 : reapIfEnded()) {
            reap();
            break;
        }
        if (fds[2].revents) {
            const WriteState state = writeStep();
            writeOpen = state != WriteState::Closed;
            waitingForRoom = state == WriteState::Full;
        }
    }

    {
        std::unique_lock lock(m_lock);
        (void)m_endStep.request(lock, *m_wake);
        // The child (or whoever inherited its input) sees the end of its input.
        closeUnderLock();
    }
    reap();
}

TJvConsoleThread::WriteState TJvConsoleThread::writeStep()
{
    std::lock_guard lock(m_lock);
    if (!m_writeEnd.isOpen())
        return WriteState::Closed;
    bool full = false;
    if (m_queued > 0) {
        const ssize_t written = retryOnEintr([&] { return ::write(m_writeEnd.get(), m_queue, size_t(m_queued)); });
        if (written > 0) {
            m_queued -= written;
            std::memmove(m_queue, m_queue + written, size_t(m_queued));
        } else if (written < 0 && errno == EAGAIN) {
            full = true;
        } else if (written < 0) {
            // EPIPE: nobody reads the child's input any more. Other failures
            // would only repeat; the queued bytes are never sent.
            m_writeEnd.reset();
        }
    }
    if (m_queued == 0)
        m_inputPending.reset();
    if (!m_writeEnd.isOpen())
        return WriteState::Closed;
    return full ? WriteState::Full : WriteState::Open;
}

bool TJvConsoleThread::reapIfEnded()
{
    siginfo_t info{};
    if (retryOnEintr([&] { return ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOHANG | WNOWAIT); }) != 0
        || info.si_pid == 0)
        return false;
    reap();
    return true;
}

// Waits for this child only (never for any child), so no other child is
// reaped. The child is seen to end before it is reaped: from then on no
// signal goes to its pid, which another process may get once it is reaped.
void TJvConsoleThread::reap()
{
    if (m_reaped)
        return;
    siginfo_t info{};
    (void)retryOnEintr([&] { return ::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOWAIT); });
    {
        std::lock_guard lock(m_lock);
        m_ended = true;
    }
    int status = 0;
    if (retryOnEintr([&] { return ::waitpid(m_pid, &status, 0); }) == m_pid)
        recordStatus(status);
    m_reaped = true;
}

void TJvConsoleThread::recordStatus(int status)
{
    std::uint32_t code = 0;
    if (WIFEXITED(status))
        code = std::uint32_t(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        code = 128 + std::uint32_t(WTERMSIG(status));
    std::lock_guard lock(m_lock);
    m_exitCode = code;
    m_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

int TJvConsoleThread::endSignal() const
{
    std::lock_guard lock(m_lock);
    return m_signal;
}

bool TJvConsoleThread::signal(int number)
{
    std::lock_guard lock(m_lock);
    if (m_ended)
        return false;
    // The pidfd names this child even once its pid is free again; without
    // one, the child is not yet reaped while m_ended is false, so its pid is
    // still its own.
    if (m_pidFd.isOpen())
        return ::syscall(SYS_pidfd_send_signal, m_pidFd.get(), number, nullptr, 0u) == 0;
    return ::kill(m_pid, number) == 0;
}

bool TJvConsoleThread::write(const QByteArray &bytes)
{
    std::lock_guard lock(m_lock);
    if (!m_writeEnd.isOpen() || m_endStep.detached() || m_queued + bytes.size() > QueueSize)
        return false;
    std::memcpy(m_queue + m_queued, bytes.constData(), size_t(bytes.size()));
    m_queued += bytes.size();
    m_inputPending.set();
    return true;
}

bool TJvConsoleThread::takeEndStepRequest()
{
    std::lock_guard lock(m_lock);
    return m_endStep.take();
}

void TJvConsoleThread::closeUnderLock()
{
    m_writeEnd.reset();
    m_inputPending.close();
    m_stop.close();
    m_pidFd.reset();
}

std::uint32_t TJvConsoleThread::endStepDone()
{
    std::lock_guard lock(m_lock);
    closeUnderLock();
    m_endStep.done();
    return m_exitCode;
}

void TJvConsoleThread::stop()
{
    std::lock_guard lock(m_lock);
    m_endStep.detach();
    m_stopRequested.store(true);
    // Input queued before the stop goes into the pipe now, as far as it takes
    // it without waiting: a quit key written just before its window closes
    // still reaches the child. The rest is dropped.
    if (m_queued > 0 && m_writeEnd.isOpen())
        (void)retryOnEintr([&] { return ::write(m_writeEnd.get(), m_queue, size_t(m_queued)); });
    m_queued = 0;
    m_stop.set();
}
