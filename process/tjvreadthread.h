#pragma once

#include "process/endstep.h"
#include "process/uniquefd.h"

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class WakeSignal;

// The reading thread of one run and the state it shares with the GUI thread:
// the read end of the output pipe, the shared buffer, and the lock guarding
// the buffer. The thread reads blocks of up to 1024 bytes and appends each
// to the shared buffer, waking the GUI thread when the buffer stops being
// empty. At the end of the pipe it asks for its end step and waits until the
// GUI thread has run it or detached it.
//
// The shared buffer starts at 1024 bytes and doubles up to 131072. When a
// block does not fit into a full-sized buffer, the thread waits for the GUI
// thread to take a piece; if it takes none for 50 ms (it is busy elsewhere
// or blocked), every byte still in the buffer is dropped and reading goes
// on, so a stuck GUI thread never holds up the child for long.
//
// Every member function is for the GUI thread; none blocks for long.
class TJvReadThread {
public:
    static constexpr qsizetype BlockSize = 1024;
    static constexpr qsizetype InitialCapacity = 1024;
    static constexpr qsizetype MaximumCapacity = 131072;
    static constexpr int DropAfterMs = 50;

    // Starts a reading thread on the read end (made non-blocking here).
    // Throws EOSError.
    static std::shared_ptr<TJvReadThread> start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake);

    TJvReadThread(const TJvReadThread &) = delete;
    TJvReadThread &operator=(const TJvReadThread &) = delete;
    ~TJvReadThread();

    // Moves up to BlockSize bytes from the front of the shared buffer to
    // piece; returns how many (0 when it is empty).
    qsizetype take(char *piece);
    bool hasBytes() const;
    // True once, when the thread has reached the end of its pipe and waits
    // for its end step.
    bool takeEndStepRequest();
    // The end step has run: closes the read end and lets the thread end.
    void endStepDone();
    // Detaches the end step and tells the thread to stop; it closes the read
    // end as it goes, so the child's later writes fail with a broken pipe.
    void stop();

private:
    TJvReadThread(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake);
    void run();
    void waitReadable();
    bool append(std::unique_lock<std::mutex> &lock, const char *bytes, qsizetype count);
    void closeUnderLock();

    mutable std::mutex m_lock;
    EndStep m_endStep;
    std::condition_variable m_roomMade; // a piece was taken from a full buffer
    UniqueFd m_readEnd;  // the thread's own; closed when it ends or by the end step
    const int m_readFd;  // its number
    EventFd m_stop;
    std::atomic<bool> m_stopRequested{false};
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_capacity = InitialCapacity;
    qsizetype m_start = 0; // the bytes waiting are m_buffer[m_start, m_start + m_count)
    qsizetype m_count = 0;
    bool m_waitingForRoom = false;
    std::shared_ptr<WakeSignal> m_wake;
};
