#include "tjvreadthread.h"

#include "eoserror.h"
#include "wakesignal.h"
#include "workerthread.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

std::shared_ptr<TJvReadThread> TJvReadThread::start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake)
{
    const int flags = ::fcntl(readEnd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(readEnd.get(), F_SETFL, flags | O_NONBLOCK) < 0)
        throw EOSError(errno);
    std::shared_ptr<TJvReadThread> thread(new TJvReadThread(std::move(readEnd), std::move(wake)));
    startWorkerThread([thread] { thread->run(); });
    return thread;
}

TJvReadThread::TJvReadThread(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake)
    : m_readEnd(std::move(readEnd)),
      m_readFd(m_readEnd.get()),
      m_buffer(new char[InitialCapacity]),
      m_wake(std::move(wake))
{
}

TJvReadThread::~TJvReadThread() = default;

// Runs on the reading thread. The read end is non-blocking: reads happen
// under the lock (so stop() can close the descriptor at any moment), and the
// waiting happens in poll() outside it, woken by data or by the stop event.
void TJvReadThread::run()
{
    char block[BlockSize];
    for (;;) {
        ssize_t count;
        int error;
        {
            std::lock_guard lock(m_lock);
            if (m_stopRequested.load())
                return;
            count = retryOnEintr([&] { return ::read(m_readFd, block, sizeof block); });
            error = errno;
            if (count > 0) {
                append(block, count);
                m_wake->notify();
                continue;
            }
        }
        if (count < 0 && error == EAGAIN) {
            waitReadable();
            continue;
        }
        // End of file: every write end is closed. Any other failure ends
        // the output the same way rather than spinning on it.
        break;
    }

    std::unique_lock lock(m_lock);
    if (m_detached)
        return;
    m_endStepRequested = true;
    m_wake->notify();
    m_released.wait(lock, [this] { return m_endStepDone || m_detached; });
}

void TJvReadThread::waitReadable()
{
    pollfd fds[2] = {{m_readFd, POLLIN, 0}, {m_stop.fd(), POLLIN, 0}};
    (void)retryOnEintr([&] { return ::poll(fds, 2, -1); });
}

// Under the lock, on the reading thread.
void TJvReadThread::append(const char *bytes, qsizetype count)
{
    if (m_capacity < m_count + count) {
        if (m_capacity <= MaximumCapacity / 2) {
            const qsizetype capacity = m_capacity * 2;
            std::unique_ptr<char[]> buffer(new char[size_t(capacity)]);
            std::memcpy(buffer.get(), m_buffer.get() + m_start, size_t(m_count));
            m_buffer = std::move(buffer);
            m_capacity = capacity;
            m_start = 0;
        } else {
            m_count = 0;
            m_start = 0;
        }
    }
    if (m_start + m_count + count > m_capacity) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_start, size_t(m_count));
        m_start = 0;
    }
    std::memcpy(m_buffer.get() + m_start + m_count, bytes, size_t(count));
    m_count += count;
}

qsizetype TJvReadThread::take(char *piece)
{
    std::lock_guard lock(m_lock);
    const qsizetype count = std::min(BlockSize, m_count);
    std::memcpy(piece, m_buffer.get() + m_start, size_t(count));
    m_count -= count;
    m_start = m_count ? m_start + count : 0;
    return count;
}

bool TJvReadThread::hasBytes() const
{
    std::lock_guard lock(m_lock);
    return m_count > 0;
}

bool TJvReadThread::takeEndStepRequest()
{
    std::lock_guard lock(m_lock);
    if (!m_endStepRequested || m_endStepTaken || m_detached)
        return false;
    m_endStepTaken = true;
    return true;
}

void TJvReadThread::closeUnderLock()
{
    m_readEnd.reset();
    m_stop.close();
}

void TJvReadThread::endStepDone()
{
    std::lock_guard lock(m_lock);
    closeUnderLock();
    m_endStepDone = true;
    m_released.notify_all();
}

void TJvReadThread::stop()
{
    std::lock_guard lock(m_lock);
    m_detached = true;
    m_stopRequested.store(true);
    // Wake a thread waiting in poll() before its descriptor goes.
    m_stop.set();
    m_readEnd.reset();
    m_released.notify_all();
}
