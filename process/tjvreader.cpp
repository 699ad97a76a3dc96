#include "process/tjvreader.h"

#include "process/handlererror.h"
#include "process/tjvreadthread.h"

TJvReader::TJvReader(Owner &owner) : m_owner(owner) {}

TJvReader::~TJvReader()
{
    stop();
}

void TJvReader::start(UniqueFd readEnd, std::shared_ptr<WakeSignal> wake)
{
    m_assembler.reset();
    m_thread = TJvReadThread::start(std::move(readEnd), std::move(wake));
}

void TJvReader::stop()
{
    if (const auto thread = std::exchange(m_thread, nullptr))
        thread->stop();
}

// A report handler may stop the reader, start a new run, or destroy the
// runner (and this reader with it): after each report the assembly goes on
// only while the reader lives and the same reading thread is current.
bool TJvReader::report(const std::weak_ptr<const int> &alive, const TJvReadThread *thread, const QByteArray &line,
                       bool startsOnNewLine)
{
    m_owner.lineRead(line, startsOnNewLine);
    return !alive.expired() && m_thread.get() == thread;
}

bool TJvReader::assemblePiece(const char *piece, qsizetype size)
{
    return m_assembler.assemble(piece, size, [this, alive = std::weak_ptr(m_alive), thread = m_thread.get()](
                                                 const QByteArray &line, bool startsOnNewLine) {
        return report(alive, thread, line, startsOnNewLine);
    });
}

bool TJvReader::deliverPieces(int maxPieces)
{
    const std::shared_ptr<TJvReadThread> thread = m_thread;
    if (!thread)
        return false;
    char piece[TJvReadThread::BlockSize];
    for (int i = 0; i < maxPieces; ++i) {
        const qsizetype size = thread->take(piece);
        if (size == 0)
            return false;
        if (!assemblePiece(piece, size))
            return false; // stopped, restarted or gone: nothing more for this thread
    }
    return thread->hasBytes();
}

void TJvReader::runEndStepIfRequested()
{
    const std::shared_ptr<TJvReadThread> thread = m_thread;
    if (!thread || !thread->takeEndStepRequest())
        return;
    const std::weak_ptr<const int> alive = m_alive;
    std::exception_ptr error;
    try {
        char piece[TJvReadThread::BlockSize];
        bool going = true;
        while (going) {
            const qsizetype size = thread->take(piece);
            if (size == 0)
                break;
            going = assemblePiece(piece, size);
        }
        if (going) {
            m_assembler.finish([this, &alive, current = thread.get()](const QByteArray &line, bool startsOnNewLine) {
                return report(alive, current, line, startsOnNewLine);
            });
        }
    } catch (...) {
        error = std::current_exception();
    }
    // A reader destroyed by a handler has detached the thread already; a
    // stop from a handler has too, and the output's end is not told then.
    if (!alive.expired() && m_thread == thread) {
        m_thread.reset();
        thread->endStepDone();
        m_owner.outputEnded();
    }
    if (error)
        HandlerError::show(error);
}
