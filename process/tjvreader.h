#pragma once

#include "lineassembler.h"
#include "uniquefd.h"

#include <memory>

class TJvCreateProcess;
class TJvReadThread;
class WakeSignal;

// The output reader of a runner, created with it and kept for its life. Each
// run gets a reading thread (TJvReadThread) that copies the output pipe into
// a shared buffer; here, on the GUI thread, the bytes are taken in pieces of
// at most 1024 and assembled into the runner's OnRead reports. Every member
// function runs on the GUI thread.
class TJvReader {
public:
    explicit TJvReader(TJvCreateProcess *owner);
    ~TJvReader();

    // Resets the line and starts a reading thread on the read end.
    // Throws EOSError.
    void start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake);
    // Detaches the reading thread's end step, tells the thread to stop and
    // forgets it. No further report follows.
    void stop();
    bool isReading() const { return m_thread != nullptr; }

    // Assembles at most maxPieces pieces; returns true when bytes are left.
    // An error raised by OnRead leaves here: the rest of its piece is
    // dropped, the bytes still waiting stay for the next call.
    bool deliverPieces(int maxPieces);
    // When the reading thread has reached the end of its pipe: assembles
    // every piece left, reports a line that is not empty once more, forgets
    // the thread and posts the runner's worker-finished notification. An
    // error raised by OnRead drops the rest of the output, goes to the
    // handler error display, and the end step still finishes.
    void runEndStepIfRequested();

private:
    bool assemblePiece(const char *piece, qsizetype size);

    TJvCreateProcess *const m_owner;
    LineAssembler m_assembler;
    std::shared_ptr<TJvReadThread> m_thread;
};
