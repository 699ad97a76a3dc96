#pragma once

#include "batch/encoderrun.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class PreparedStreams;
namespace StreamMap {
struct Decision;
}

// What becomes of an entry of the batch.
enum class EntryState {
    Pending,    // waiting to be converted (again)
    Converting, // its encoder runs, or is about to
    Done,       // converted; `output` names the file
    Failed,     // not converted; `reason` says why
    Stopped,    // stopped by the user; `output` names the partial file, if any
};

// One file of the batch.
struct BatchEntry {
    QByteArray path; // exact bytes, as the file system holds them
    // What the list shows of the source: type, size, playing time (a clock text).
    QByteArray type;
    QByteArray size;
    QByteArray time;
    EntryState state = EntryState::Pending;
    int percent = 0;
    // How fast its encoder works, as a multiple of real time; 0 while unknown.
    double speed = 0;
    // The video's frame size in pixels (width × height); 0 when unknown.
    qint64 framePixels = 0;
    bool audioOnly = false;
    QString output;     // the file written
    QString reason;     // the outcome in words: where it was written, or why it failed
    // In words: the streams copied as they are, and the source's streams the
    // output leaves out.
    QString streamNote;
    // While converting: the temporary file its encoder writes, named just
    // before it is made; whether it was made (by this entry) then.
    QByteArray temporary;
    bool temporaryMade = false;
    // Why the source could not be read when it was added (missing, or no
    // video or audio in it); empty for a readable one. A run fails such an
    // entry with this reason and starts no encoder for it.
    QString unreadable;
};

// What an entry's encoder is given when it starts: read then, so that a
// change during a batch applies from the next entry on.
struct EntryOptions {
    QByteArray folder;            // the output folder
    QList<QByteArray> fragments;  // the selectors' ffmpeg options, in order
    // Streams that already are what the options would make of them are
    // re-encoded all the same instead of copied.
    bool reencodeFitting = false;
};

// The batch: its entries and their states, the state of the run, and the
// encoders it runs, from top to bottom, up to encoderLimit() at once. Entries that
// cannot start (unreadable ones among them) or whose encoder fails are
// marked failed and the run goes on; a file is done only when its encoder
// ended well and wrote something.
// Stop asks every encoder to quit and keeps what it wrote; one that shows no
// sign of life gets SIGTERM and then SIGKILL. Knows nothing of
// windows: views follow its signals. GUI thread (the thread with the event
// loop) only; errors of its own steps become entry reasons, never exceptions.
class BatchRun : public QObject {
    Q_OBJECT
public:
    enum class RunState {
        Idle,     // no run, no encoder
        Running,  // from start() until the last entry has ended, or stop()
        Stopping, // stopped; an encoder is still finishing its file
    };

    // After Stop, an encoder that shows no sign of life (no output, its file
    // does not grow) for QuitGraceMs gets SIGTERM, and after TerminateGraceMs
    // more without one, SIGKILL. One that keeps working goes on finishing its
    // file (a slow encoder's buffered frames may take half a minute under
    // load), but gets SIGTERM after QuitLimitMs and SIGKILL after
    // TerminateLimitMs more at the latest.
    static constexpr int QuitGraceMs = 3000;
    static constexpr int TerminateGraceMs = 5000;
    static constexpr int QuitLimitMs = 30000;
    static constexpr int TerminateLimitMs = 60000;
    // The longest an encoder can take to end after Stop.
    static constexpr int StopLimitMs = QuitLimitMs + TerminateLimitMs;

    using OptionsSource = std::function<EntryOptions()>;
    using MoreEntries = std::function<bool()>;

    explicit BatchRun(QObject *parent = nullptr);
    // Stops watching the encoders that still run; their files stay as they are.
    ~BatchRun() override;

    // Where each entry's options come from when it starts. A source that
    // throws fails the entry with the error's message.
    void setOptionsSource(OptionsSource source) { m_options = std::move(source); }
    // Asked for one more entry when a run reaches the end of the list (files
    // still being added join the run); true when it added one.
    void setMoreEntries(MoreEntries more) { m_more = std::move(more); }
    // The encoder program; its probe program is found beside it.
    void setEncoder(const QByteArray &encoder);
    QByteArray encoder() const { return m_encoder; }
    // How many entries convert at once; 0 picks a number from the machine's
    // cores and the sources (see encoderLimit). A change applies from the
    // next entry that starts.
    void setSimultaneous(int encoders);
    int simultaneous() const { return m_simultaneous; }
    // The number of encoders a run keeps going now.
    int encoderLimit() const;
    // What Automatic picks for a machine's cores and the largest frame
    // (width × height, 0 when unknown) among the files still to convert.
    static int automaticEncoders(int cores, qint64 largestFrame);

    int count() const { return int(m_entries.size()); }
    const BatchEntry &entry(int index) const { return m_entries.at(index).entry; }
    // The entry started last (the run goes on below it), or the last one
    // converted or stopped; -1 for none.
    int current() const { return m_current; }
    RunState state() const { return m_state; }
    bool isRunning() const { return m_state == RunState::Running; }
    // Encoders started and not yet ended (also after Stop).
    int runningEncoders() const { return int(m_encoders.size()); }
    // Encoders converting for the run, not stopped.
    int activeEncoders() const;

    // Appends a pending entry.
    void add(BatchEntry entry);
    // Appends an entry kept from an earlier run of the program, in the state
    // it had then; one that was converting is pending again.
    void restore(BatchEntry entry);
    // Removes an entry; a converting one's encoder goes on, its end touches
    // no other entry.
    void remove(int index);
    // Removes every entry and forgets the current one.
    void clear();

    // Starts converting, from the top, the entries not done yet (waiting,
    // failed or stopped); done ones keep their files. Nothing while a run is
    // on, the list is empty or every entry is done.
    void start();
    // Converts every entry again, the done ones too (their new files take
    // free names beside the old ones).
    void startAgain();
    // Why a finished output is not the whole of its source, read back through
    // the media library: fewer streams than promised (-1: not known) or a
    // shorter playing time; empty when it is whole.
    static QString outputShortfall(int promisedVideo, int promisedAudio, const QByteArray &source,
                                   const QByteArray &output);
    // Whether every entry is done (true for an empty list).
    bool allDone() const;
    // Asks the encoders to quit, keeping what they wrote, and ends those
    // that do not (see QuitGraceMs); the run ends at once.
    void stop();

signals:
    void entryAdded(int index);
    void entryRemoved(int index);
    void entriesCleared();
    void entryChanged(int index);
    void currentChanged(int index);
    // The entry is on its way to its encoder (it shows as converting).
    void entryStarted(int index);
    void runningChanged(bool running);
    // The latest progress line, or an entry's outcome as one line.
    void statusChanged(const QString &text);
    // The run went to its end (not after stop()): how many entries were
    // converted and how many failed. Comes after runningChanged(false).
    void finished(int converted, int failed);
    // The last encoder has ended and its entry has its state.
    void encodersEnded();

private:
    struct Slot {
        quint64 id;
        BatchEntry entry;
    };

    int indexOf(quint64 id) const;
    void setState(RunState state);
    void setCurrent(int index);
    void mark(int index, EntryState state, const QString &reason);
    void startRun(bool again);
    // Starts the entries after the current one until one is on its way, or
    // ends the run when none is left and no encoder runs.
    void startNext();
    // Starts the next entry when the run has room for another encoder.
    void fillUp();
    // An encoder stopped by Stop is still finishing its file.
    bool stoppedEncoderEnding() const;
    // Sets the current entry on its way; false when it failed at once.
    bool beginCurrent();
    // The current entry's streams are decided: starts its encoder, or marks it failed.
    void launch(quint64 id, const StreamMap::Decision &streams);
    void startEncoder(int index, const StreamMap::Decision &streams);
    void prepareAfter(int index);
    // A report of ffmpeg's output: the line as a terminal shows it, and what
    // it got after its last carriage return.
    void encoderLine(EncoderRun *run, const QByteArray &line, const QByteArray &sinceReturn, bool startsOnNewLine);
    // Takes the source's playing time from ffmpeg's report of its input.
    void takeSourceLength(EncoderRun *run, const QByteArray &line);
    void encoderEnded(EncoderRun *run, std::uint32_t exitCode, int signal);
    // The entry's outcome once its encoder has ended.
    void settle(int index, const EncoderRun &run, std::uint32_t exitCode, int signal);

    void askToStop(EncoderRun &run);
    // After Stop: moves an encoder that shows no sign of life on to the next step.
    void checkStopped(EncoderRun &run);
    void finishRun();

    std::vector<Slot> m_entries;
    quint64 m_nextId = 1;
    int m_current = -1;
    RunState m_state = RunState::Idle;
    std::vector<std::unique_ptr<EncoderRun>> m_encoders;
    // Convert came while a stopped encoder was still ending: the current
    // entry starts when it has ended.
    bool m_startWhenEncodersEnd = false;
    quint64 m_deciding = 0; // the entry whose streams are being decided
    // Within beginCurrent(): a launch that fails there reports it instead of
    // going on by itself.
    bool m_inBegin = false;
    bool m_launchFailed = false;
    QByteArray m_encoder;
    int m_simultaneous = 0;
    // Whether the streams' codecs are read for deciding (copying may need them).
    bool m_codecsWanted = true;
    PreparedStreams *m_streams;
    OptionsSource m_options;
    MoreEntries m_more;
};
