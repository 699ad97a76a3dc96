#pragma once

#include "process/lineassembler.h"
#include "process/uniquefd.h"

#include <memory>

#include <QByteArray>

class TJvReadThread;
class WakeSignal;

// The output reader of a runner, created with it and kept for its life. Each
// run gets a reading thread (TJvReadThread) that copies the output pipe into
// a shared buffer; here, on the GUI thread, the bytes are taken in pieces of
// at most 1024 and assembled into lines for the owner. Every member function
// runs on the GUI thread.
class TJvReader {
public:
    // What the reader needs of the runner that owns it.
    class Owner {
    public:
        // One assembled line (see LineAssembler). The call may raise, stop
        // the reader, start a new run, or destroy the owner and this reader.
        virtual void lineRead(const QByteArray &line, bool startsOnNewLine) = 0;
        // The output of the run has ended and every line has been reported.
        virtual void outputEnded() = 0;

    protected:
        ~Owner() = default;
    };

    explicit TJvReader(Owner &owner);
    ~TJvReader();

    // Resets the line and starts a reading thread on the read end.
    // Throws EOSError.
    void start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake);
    // Detaches the reading thread's end step, tells the thread to stop and
    // forgets it. No further report follows.
    void stop();
    bool isReading() const { return m_thread != nullptr; }
    // The line being assembled: within lineRead, the line reported.
    const LineAssembler &assembler() const { return m_assembler; }

    // Assembles at most maxPieces pieces; returns true when bytes are left.
    // An error raised by lineRead leaves here: the rest of its piece is
    // dropped, the bytes still waiting stay for the next call.
    bool deliverPieces(int maxPieces);
    // When the reading thread has reached the end of its pipe: assembles
    // every piece left, reports a line that is not empty once more, forgets
    // the thread and tells the owner the output has ended. An error raised
    // by lineRead drops the rest of the output, goes to the handler error
    // display, and the end step still finishes.
    void runEndStepIfRequested();

private:
    bool assemblePiece(const char *piece, qsizetype size);
    // Reports a line; false when the reader is gone or reads another run now.
    bool report(const std::weak_ptr<const int> &alive, const TJvReadThread *thread, const QByteArray &line,
                bool startsOnNewLine);

    Owner &m_owner;
    LineAssembler m_assembler;
    std::shared_ptr<TJvReadThread> m_thread;
    // Expires with the reader, which an owner's handler may destroy.
    const std::shared_ptr<const int> m_alive = std::make_shared<const int>(0);
};
