#include "tjvreader.h"

#include "tjvcreateprocess.h"
#include "tjvreadthread.h"

#include <QPointer>

TJvReader::TJvReader(TJvCreateProcess *owner) : m_owner(owner) {}

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
// only while the runner lives and the same reading thread is current.
bool TJvReader::assemblePiece(const char *piece, qsizetype size)
{
    struct Context {
        TJvReader *reader;
        TJvReadThread *thread;
        QPointer<TJvCreateProcess> owner;
    } context{this, m_thread.get(), m_owner};
    return m_assembler.assemble(piece, size, [c = &context](const QByteArray &line, bool startsOnNewLine) {
        c->owner->raiseRead(line, startsOnNewLine);
        return c->owner && c->reader->m_thread.get() == c->thread;
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
    const QPointer<TJvCreateProcess> owner(m_owner);
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
            const TJvReadThread *current = thread.get();
            m_assembler.finish([this, current, &owner](const QByteArray &line, bool startsOnNewLine) {
                owner->raiseRead(line, startsOnNewLine);
                return owner && m_thread.get() == current;
            });
        }
    } catch (...) {
        error = std::current_exception();
    }
    // A runner destroyed by a handler has detached the thread already; a
    // stop from a handler has too, and no worker-finished follows then.
    if (owner && m_thread == thread) {
        m_thread.reset();
        thread->endStepDone();
        m_owner->postWorkerFinished();
    }
    if (error)
        TJvCreateProcess::showHandlerError(error);
}
