#include "process/tjvreadthread.h"

#include "process/wakesignal.h"
#include "process/workerthread.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

std::shared_ptr<TJvReadThread> TJvReadThread::start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake)
{
    setNonBlocking(readEnd.get());
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

// Runs on the reading thread, which owns the read end until it ends (or its
// end step closes it). The read end is non-blocking: the thread reads
// without the lock and waits in poll() for data or the stop event, so the
// GUI thread never waits for a read, only for a copy into or out of the
// shared buffer. The GUI thread is woken when the buffer stops being empty:
// it takes pieces until it is empty again, so later bytes need no wake.
void TJvReadThread::run()
{
    char block[BlockSize];
    while (!m_stopRequested.load()) {
        const ssize_t count = retryOnEintr([&] { return ::read(m_readFd, block, sizeof block); });
        if (count > 0) {
            std::unique_lock lock(m_lock);
            if (!append(lock, block, count))
                break;
            // Just these bytes in the buffer: it was empty when they came
            // (perhaps only after waiting for room), so no wake is pending.
            if (m_count == count)
                m_wake->notify();
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            waitReadable();
            continue;
        }
        // End of file: every write end is closed. Any other failure ends
        // the output the same way rather than spinning on it.
        std::unique_lock lock(m_lock);
        if (m_endStep.request(lock, *m_wake))
            return; // the end step closed the read end
        break;
    }
    // Stopped: the child's later writes fail with a broken pipe.
    std::lock_guard lock(m_lock);
    m_readEnd.reset();
}

void TJvReadThread::waitReadable()
{
    pollfd fds[2] = {{m_readFd, POLLIN, 0}, {m_stop.fd(), POLLIN, 0}};
    (void)retryOnEintr([&] { return ::poll(fds, 2, -1); });
}

// Under the lock, on the reading thread; the lock is let go while waiting
// for room. False when the thread was told to stop meanwhile.
bool TJvReadThread::append(std::unique_lock<std::mutex> &lock, const char *bytes, qsizetype count)
{
    if (m_stopRequested.load())
        return false;
    if (m_capacity < m_count + count && m_capacity <= MaximumCapacity / 2) {
        const qsizetype capacity = m_capacity * 2;
        std::unique_ptr<char[]> buffer(new char[size_t(capacity)]);
        std::memcpy(buffer.get(), m_buffer.get() + m_start, size_t(m_count));
        m_buffer = std::move(buffer);
        m_capacity = capacity;
        m_start = 0;
    }
    if (m_capacity < m_count + count) {
        m_wake->notify();
        m_waitingForRoom = true;
        const bool room = m_roomMade.wait_for(lock, std::chrono::milliseconds(DropAfterMs), [&] {
            return m_capacity >= m_count + count || m_stopRequested.load();
        });
        m_waitingForRoom = false;
        if (m_stopRequested.load())
            return false;
        if (!room) {
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
    return true;
}

qsizetype TJvReadThread::take(char *piece)
{
    std::lock_guard lock(m_lock);
    const qsizetype count = std::min(BlockSize, m_count);
    std::memcpy(piece, m_buffer.get() + m_start, size_t(count));
    m_count -= count;
    m_start = m_count ? m_start + count : 0;
    if (count > 0 && m_waitingForRoom)
        m_roomMade.notify_one();
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
    return m_endStep.take();
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
    m_endStep.done();
}

void TJvReadThread::stop()
{
    std::lock_guard lock(m_lock);
    m_endStep.detach();
    m_stopRequested.store(true);
    // Wake a thread waiting in poll() before its descriptor goes.
    m_stop.set();
    m_roomMade.notify_all();
}
