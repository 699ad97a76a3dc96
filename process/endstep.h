#pragma once

#include "process/wakesignal.h"

#include <condition_variable>
#include <mutex>

// The hand-over at the end of a worker thread's part of a run. The worker,
// done with its pipe or its child, asks for its end step and waits; the GUI
// thread takes the request once, runs the step and says it is done. Instead
// the GUI thread may detach the worker at any time (the run is no longer
// watched): a waiting worker then goes on, and a later request returns at
// once. Every call is made under the owner's lock, the one passed to
// request(), which also guards what the end step touches.
class EndStep {
public:
    // Worker thread: asks for the end step, wakes the GUI thread and waits,
    // letting go of `lock` meanwhile, until the step is done or the worker
    // detached. True when the GUI thread ran the step.
    bool request(std::unique_lock<std::mutex> &lock, WakeSignal &wake)
    {
        if (m_detached)
            return false;
        m_requested = true;
        wake.notify();
        m_released.wait(lock, [this] { return m_done || m_detached; });
        return m_done;
    }

    // GUI thread: true once, when the worker waits for its step and is not detached.
    bool take()
    {
        if (!m_requested || m_taken || m_detached)
            return false;
        m_taken = true;
        return true;
    }

    // GUI thread: the step has run; the worker goes on.
    void done()
    {
        m_done = true;
        m_released.notify_all();
    }

    // GUI thread: no step will run; the worker goes on without one.
    void detach()
    {
        m_detached = true;
        m_released.notify_all();
    }

    bool detached() const { return m_detached; }

private:
    std::condition_variable m_released;
    bool m_requested = false;
    bool m_taken = false;
    bool m_done = false;
    bool m_detached = false;
};
