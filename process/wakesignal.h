#pragma once

#include "process/uniquefd.h"

#include <atomic>

// How the worker threads of a runner wake its GUI thread: an eventfd that a
// socket notifier on the GUI thread watches. Wakes coalesce: a notify() while
// a wake is pending adds nothing, so a worker pays for one write per wake,
// not per read. The GUI thread acknowledges a wake before it looks at what
// the workers left for it, so nothing notified after that is missed.
class WakeSignal {
public:
    WakeSignal() = default; // throws EOSError when no eventfd can be made

    int fd() const noexcept { return m_event.fd(); }
    // Any thread.
    void notify() noexcept
    {
        if (!m_pending.exchange(true))
            m_event.set();
    }
    // GUI thread, first thing on each wake.
    void acknowledge() noexcept
    {
        m_event.reset();
        m_pending.store(false);
    }

private:
    EventFd m_event;
    std::atomic<bool> m_pending{false};
};
