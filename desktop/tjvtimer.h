#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

class QSocketNotifier;
class WakeSignal;

// A timer whose ticks are counted by a worker thread of its own: the worker
// hands each tick to the GUI thread (waking it through an eventfd; the tick
// itself is shared under a lock) and waits until it has run, then sleeps
// Interval milliseconds in 10 ms steps. The first tick comes as soon as the
// GUI thread is idle after enabling. Disabling from outside a tick stops and
// joins the worker (which never blocks on the GUI thread while told to stop);
// disabling from inside a tick only pauses it. Use on the GUI thread only.
class TJvTimer : public QObject {
    Q_OBJECT
public:
    explicit TJvTimer(QObject *parent = nullptr);
    ~TJvTimer() override;

    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    int Interval = 1000;
    std::function<void(TJvTimer *Sender)> OnTimer;

    // Whether a worker thread exists, and how many have been started so far.
    bool hasWorker() const { return m_worker != nullptr; }
    int workersStarted() const { return m_workersStarted; }

private:
    struct Shared;
    class Worker;

    void runTick();
    void stopWorker();

    bool m_enabled = false;
    bool m_inTick = false;
    int m_workersStarted = 0;
    std::shared_ptr<WakeSignal> m_wake;
    QSocketNotifier *m_notifier;
    std::unique_ptr<Worker> m_worker;
};
