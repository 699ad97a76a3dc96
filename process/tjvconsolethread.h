#pragma once

#include "process/endstep.h"
#include "process/uniquefd.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class WakeSignal;

// The wait thread of one watched child and the state it shares with the GUI
// thread: the child, the write end of its input pipe, an input queue of 1024
// bytes, the stop and input-pending events, and the lock guarding queue and
// write end. The thread waits for the first of: a stop request, the child's
// end, pending input (stop wins over the child's end, the end over input).
// Pending input is written without blocking; when the pipe is full the
// thread waits for room, so a Write on the GUI thread never waits for the
// child. When the child has ended the thread asks for its end step and waits
// until the GUI thread has run it or detached it.
//
// The thread always reaps its child: a child that is no longer watched is
// reaped when it ends, so it never lingers as a zombie.
//
// Every member function is for the GUI thread; none blocks for long.
class TJvConsoleThread {
public:
    static constexpr qsizetype QueueSize = 1024;

    // Starts the wait thread for the child pid; pidFd may be empty (the
    // thread then checks on the child every 20 ms). The write end is made
    // non-blocking here. Throws EOSError.
    static std::shared_ptr<TJvConsoleThread> start(int pid, UniqueFd pidFd, UniqueFd writeEnd,
                                                   std::shared_ptr<WakeSignal> wake);

    TJvConsoleThread(const TJvConsoleThread &) = delete;
    TJvConsoleThread &operator=(const TJvConsoleThread &) = delete;
    ~TJvConsoleThread();

    // Queues the bytes for the child's input; false when the write end is
    // closed or they do not fit into the queue (then nothing is queued).
    bool write(const QByteArray &bytes);
    // True once, when the child has ended and the thread waits for its end step.
    bool takeEndStepRequest();
    // The end step has run: closes the write end and the events, lets the
    // thread end, and returns the child's exit code (0 to 255, or 128 + N
    // after death by signal N).
    std::uint32_t endStepDone();
    // The signal that ended the child, 0 when it exited; valid after endStepDone.
    int endSignal() const;
    // Sends the signal to the child; false when it has ended (or could not
    // be sent). Never reaches another process that got the child's pid.
    bool signal(int number);
    // Detaches the end step and tells the thread to stop. What is queued is
    // written as far as the pipe takes it without waiting, the rest dropped.
    // The thread closes the write end when it ends.
    void stop();

private:
    enum class WriteState { Open, Full, Closed };

    TJvConsoleThread(int pid, UniqueFd pidFd, UniqueFd writeEnd, std::shared_ptr<WakeSignal> wake);
    void run();
    WriteState writeStep();
    bool reapIfEnded();
    void reap();
    void recordStatus(int status);
    void closeUnderLock();

    const int m_pid;
    mutable std::mutex m_lock;
    EndStep m_endStep;
    UniqueFd m_pidFd;
    UniqueFd m_writeEnd; // guarded; closed by the wait thread or the end step
    EventFd m_stop;
    EventFd m_inputPending;
    std::atomic<bool> m_stopRequested{false};
    bool m_reaped = false; // the wait thread's own
    bool m_ended = false;  // guarded: the child's status was taken
    std::uint32_t m_exitCode = 0;
    int m_signal = 0;
    char m_queue[QueueSize];
    qsizetype m_queued = 0;
    std::shared_ptr<WakeSignal> m_wake;
};
