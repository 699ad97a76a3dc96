#pragma once

#include "uniquefd.h"

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class WakeSignal;

// The reading thread of one run and the state it shares with the GUI thread:
// the read end of the output pipe, the shared buffer, and the lock guarding
// both. The thread reads blocks of up to 1024 bytes, appends each to the
// shared buffer and wakes the GUI thread. At the end of the pipe it asks for
// its end step and waits until the GUI thread has run it or detached it.
//
// The shared buffer starts at 1024 bytes and doubles up to 131072; when a
// block does not fit into a full-sized buffer, every byte still in it is
// dropped (the GUI thread fell that far behind).
//
// Every member function is for the GUI thread; none blocks for long.
class TJvReadThread {
public:
    static constexpr qsizetype BlockSize = 1024;
    static constexpr qsizetype InitialCapacity = 1024;
    static constexpr qsizetype MaximumCapacity = 131072;

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
    // Detaches the end step, tells the thread to stop and closes the read
    // end at once, so the child's later writes fail with a broken pipe.
    void stop();

private:
    TJvReadThread(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake);
    void run();
    void waitReadable();
    void append(const char *bytes, qsizetype count);
    void closeUnderLock();

    mutable std::mutex m_lock;
    std::condition_variable m_released;
    UniqueFd m_readEnd;  // guarded; closed by stop() or the end step
    const int m_readFd;  // its number, for poll
    EventFd m_stop;
    std::atomic<bool> m_stopRequested{false};
    bool m_detached = false;
    bool m_endStepRequested = false;
    bool m_endStepTaken = false;
    bool m_endStepDone = false;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_capacity = InitialCapacity;
    qsizetype m_start = 0; // the bytes waiting are m_buffer[m_start, m_start + m_count)
    qsizetype m_count = 0;
    std::shared_ptr<WakeSignal> m_wake;
};
