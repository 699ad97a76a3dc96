#include "desktop/tjvtimer.h"

#include "process/wakesignal.h"
#include "widgets/errordisplay.h"

#include <QSocketNotifier>

#include <chrono>
#include <condition_variable>
#include <mutex>

// State shared by the GUI thread and one worker. The worker hands a tick
// over by raising `pending`, wakes the GUI thread, and waits until that thread
// has run it (or cancelled it) and lowered `pending`.
struct TJvTimer::Shared {
    std::mutex lock;
    std::condition_variable handedBack;
    bool stop = false;
    bool paused = false;
    bool enabled = false;
    bool restartWait = false;
    int interval = 1000;
    bool pending = false;
};

class TJvTimer::Worker {
public:
    Worker(std::shared_ptr<Shared> shared, std::shared_ptr<WakeSignal> wake)
        : m_shared(std::move(shared)), m_wake(std::move(wake)), m_thread([this] { run(); })
    {
    }

    ~Worker()
    {
        {
            std::lock_guard guard(m_shared->lock);
            m_shared->stop = true;
            m_shared->pending = false; // a tick already handed over is cancelled
        }
        m_shared->handedBack.notify_all();
        m_thread.join();
    }

    const std::shared_ptr<Shared> &shared() const { return m_shared; }

private:
    void run()
    {
        using namespace std::chrono_literals;
        std::unique_lock guard(m_shared->lock);
        while (!m_shared->stop) {
            if (m_shared->paused) {
                guard.unlock();
                std::this_thread::sleep_for(10ms);
                guard.lock();
                continue;
            }
            if (m_shared->enabled) {
                m_shared->pending = true;
                // Only a wake crosses to the GUI thread; what the tick is
                // about stays here, under the lock.
                m_wake->notify();
                m_shared->handedBack.wait(guard, [this] { return !m_shared->pending || m_shared->stop; });
            }
            m_shared->restartWait = false;
            for (int elapsed = 0; !m_shared->stop && elapsed < m_shared->interval; elapsed += 10) {
                if (std::exchange(m_shared->restartWait, false))
                    elapsed = 0;
                guard.unlock();
                std::this_thread::sleep_for(10ms);
                guard.lock();
            }
        }
    }

    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<WakeSignal> m_wake;
    std::thread m_thread;
};

TJvTimer::TJvTimer(QObject *parent)
    : QObject(parent), m_wake(std::make_shared<WakeSignal>()),
      m_notifier(new QSocketNotifier(m_wake->fd(), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { runTick(); });
}

TJvTimer::~TJvTimer()
{
    m_enabled = false;
    stopWorker();
    delete m_notifier; // before the eventfd it watches closes
}

void TJvTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled) {
        if (!OnTimer || Interval <= 0)
            return;
        if (!m_worker) {
            auto shared = std::make_shared<Shared>();
            shared->interval = Interval;
            shared->enabled = true;
            m_worker = std::make_unique<Worker>(std::move(shared), m_wake);
            ++m_workersStarted;
            return;
        }
        // A worker paused from inside a tick goes on with the new settings.
        Shared &shared = *m_worker->shared();
        std::lock_guard guard(shared.lock);
        shared.interval = Interval;
        shared.restartWait = true;
        shared.enabled = true;
        shared.paused = false;
    } else if (m_inTick) {
        // Inside a tick the worker waits for this very call: pause it only.
        Shared &shared = *m_worker->shared();
        std::lock_guard guard(shared.lock);
        shared.enabled = false;
        shared.paused = true;
    } else {
        stopWorker();
    }
}

void TJvTimer::stopWorker()
{
    // The worker never waits on the GUI thread once told to stop, so joining is safe.
    m_worker.reset();
}

void TJvTimer::runTick()
{
    m_wake->acknowledge();
    if (!m_worker)
        return; // a tick of a worker stopped since: nothing to do
    const std::shared_ptr<Shared> shared = m_worker->shared();
    {
        std::lock_guard guard(shared->lock);
        if (!shared->pending)
            return;
    }
    if (m_enabled && OnTimer) {
        m_inTick = true;
        ErrorDisplay::runHandler([this] { OnTimer(this); });
        m_inTick = false;
    }
    std::lock_guard guard(shared->lock);
    shared->pending = false;
    shared->handedBack.notify_all();
}
