#include "batch/batchrun.h"

#include "batch/preparedstreams.h"
#include "conversion/failurereason.h"
#include "conversion/ffmpegcommand.h"
#include "conversion/ffmpegprogress.h"
#include "conversion/outputfile.h"
#include "media/mediaquery.h"
#include "process/eoserror.h"
#include "process/programpath.h"
#include "process/tjvcreateprocess.h"
#include "text/textparse.h"

#include <QScopeGuard>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

std::runtime_error failure(const QString &message)
{
    return std::runtime_error(message.toLocal8Bit().toStdString());
}

QString systemText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// How often a stopped encoder is checked for signs of life.
constexpr int StopCheckMs = 250;

// The file's size; -1 when it is gone.
qint64 fileSize(const QByteArray &path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 ? qint64(info.st_size) : -1;
}

// The playing time in seconds; 0 when the text is no clock text.
int totalSeconds(const QByteArray &clock)
{
    try {
        return TextParse::clockTextSeconds(clock);
    } catch (const std::exception &) {
        return 0;
    }
}

} // namespace

BatchRun::BatchRun(QObject *parent) : QObject(parent), m_streams(new PreparedStreams(this))
{
    setEncoder(programInBin("ffmpeg"));
    m_streams->setCodecsWanted([this] { return m_codecsWanted; });
}

BatchRun::~BatchRun()
{
    for (const std::unique_ptr<EncoderRun> &run : m_encoders)
        run->process->StopWatching();
}

void BatchRun::setEncoder(const QByteArray &encoder)
{
    m_encoder = encoder;
    m_streams->setProbeProgram(FFmpegCommand::probeProgram(encoder));
}

void BatchRun::setSimultaneous(int encoders)
{
    m_simultaneous = qMax(0, encoders);
}

int BatchRun::automaticEncoders(int cores, qint64 largestFrame)
{
    // Each encoder spreads over the cores by itself, but a small frame keeps
    // few of them busy, and its files are short: one per core then. Large
    // frames fill the cores alone, and every encoder holds frames in memory.
    int encoders = qMax(1, cores);
    if (largestFrame > 1920 * 1080)
        encoders = cores / 4;
    else if (largestFrame > 1280 * 720)
        encoders = cores / 2;
    return std::clamp(encoders, 1, 8);
}

int BatchRun::encoderLimit() const
{
    if (m_simultaneous > 0)
        return m_simultaneous;
    // The largest frame among the entries still to convert.
    qint64 largest = 0;
    for (int k = qMax(0, m_current); k < count(); ++k) {
        const BatchEntry &entry = m_entries[k].entry;
        if (entry.state == EntryState::Pending || entry.state == EntryState::Converting)
            largest = qMax(largest, entry.framePixels);
    }
    return automaticEncoders(QThread::idealThreadCount(), largest);
}

int BatchRun::activeEncoders() const
{
    return int(std::count_if(m_encoders.begin(), m_encoders.end(),
                             [](const std::unique_ptr<EncoderRun> &run) { return !run->stopped(); }));
}

bool BatchRun::stoppedEncoderEnding() const
{
    return activeEncoders() < runningEncoders();
}

int BatchRun::indexOf(quint64 id) const
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(), [id](const Slot &slot) { return slot.id == id; });
    return found == m_entries.end() ? -1 : int(found - m_entries.begin());
}

void BatchRun::setState(RunState state)
{
    const bool wasRunning = isRunning();
    m_state = state;
    if (wasRunning != isRunning())
        emit runningChanged(isRunning());
}

void BatchRun::setCurrent(int index)
{
    if (std::exchange(m_current, index) != index)
        emit currentChanged(index);
}

void BatchRun::mark(int index, EntryState state, const QString &reason)
{
    BatchEntry &entry = m_entries[index].entry;
    entry.state = state;
    entry.reason = reason;
    emit entryChanged(index);
    // The status line holds one line.
    if (!reason.isEmpty())
        emit statusChanged(QString(reason).replace(QLatin1Char('\n'), QLatin1String("; ")));
}

void BatchRun::add(BatchEntry entry)
{
    entry.state = EntryState::Pending;
    m_entries.push_back(Slot{m_nextId++, std::move(entry)});
    emit entryAdded(count() - 1);
}

void BatchRun::restore(BatchEntry entry)
{
    if (entry.state == EntryState::Converting)
        entry.state = EntryState::Pending;
    entry.temporary.clear();
    entry.temporaryMade = false;
    entry.percent = entry.state == EntryState::Done ? 100 : 0;
    entry.speed = 0;
    m_entries.push_back(Slot{m_nextId++, std::move(entry)});
    emit entryAdded(count() - 1);
}

void BatchRun::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    const bool wasDeciding = m_entries[index].id == m_deciding;
    m_entries.erase(m_entries.begin() + index);
    emit entryRemoved(index);
    // The current entry keeps its place; during a run the next one to start
    // is the one after the current, wherever it moved.
    if (index < m_current || (index == m_current && isRunning()))
        setCurrent(m_current - 1);
    if (wasDeciding) {
        m_streams->cancel();
        m_deciding = 0;
        fillUp();
    }
}

void BatchRun::clear()
{
    if (isRunning())
        stop();
    m_entries.clear();
    emit entriesCleared();
    setCurrent(-1);
}

bool BatchRun::allDone() const
{
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [](const Slot &slot) { return slot.entry.state == EntryState::Done; });
}

void BatchRun::start()
{
    if (!allDone())
        startRun(false);
}

void BatchRun::startAgain()
{
    startRun(true);
}

void BatchRun::startRun(bool again)
{
    if (m_entries.empty() || m_state == RunState::Running)
        return;
    // Each entry this run converts starts afresh: waiting, at 0 %. One whose
    // stopped encoder is still finishing keeps showing that until it ends.
    for (int k = 0; k < count(); ++k) {
        BatchEntry &entry = m_entries[k].entry;
        const bool converts = again || entry.state != EntryState::Done;
        if (converts && entry.state != EntryState::Converting
            && (entry.state != EntryState::Pending || entry.percent != 0)) {
            entry.state = EntryState::Pending;
            entry.percent = 0;
            emit entryChanged(k);
        }
    }
    setState(RunState::Running);
    m_current = -1;
    // The options may have changed since the last run: the first entry's
    // codecs are read whatever they are.
    m_codecsWanted = true;
    startNext();
}

void BatchRun::fillUp()
{
    // One entry's streams are decided at a time: the next starts once it has its encoder.
    if (!isRunning() || m_deciding != 0 || m_startWhenEncodersEnd)
        return;
    if (activeEncoders() < encoderLimit())
        startNext();
}

void BatchRun::startNext()
{
    // A loop, not a chain of calls: a long list of entries that cannot start
    // would otherwise nest as deep as it is long.
    for (int k = m_current + 1;; ++k) {
        while (k >= count() && m_more && m_more()) {
        }
        if (k >= count())
            break;
        // Converted in an earlier run: it keeps its file.
        if (m_entries[k].entry.state == EntryState::Done)
            continue;
        setCurrent(k);
        // Known to be unreadable since it was added: no encoder, no probe.
        if (!m_entries[k].entry.unreadable.isEmpty()) {
            mark(k, EntryState::Failed, m_entries[k].entry.unreadable);
            continue;
        }
        if (beginCurrent())
            return;
    }
    // The end of the list: the run ends with its last encoder.
    if (activeEncoders() == 0)
        finishRun();
}

bool BatchRun::beginCurrent()
{
    if (m_current < 0 || m_current >= count())
        return true;
    const quint64 id = m_entries[m_current].id;
    // What an earlier run wrote or left out no longer describes this one.
    m_entries[m_current].entry.output.clear();
    m_entries[m_current].entry.streamNote.clear();
    m_entries[m_current].entry.speed = 0;
    mark(m_current, EntryState::Converting, QString());
    emit entryStarted(m_current);
    if (stoppedEncoderEnding()) {
        // A stopped encoder is still finishing its file: start when it has ended.
        m_startWhenEncodersEnd = true;
        return true;
    }
    // The streams are decided first, at once or when the probe answers.
    m_deciding = id;
    m_launchFailed = false;
    m_inBegin = true;
    m_streams->decide(m_entries[m_current].entry.path,
                      [this, id](const StreamMap::Decision &streams) { launch(id, streams); });
    m_inBegin = false;
    return !m_launchFailed;
}

void BatchRun::launch(quint64 id, const StreamMap::Decision &streams)
{
    if (id != std::exchange(m_deciding, 0) || !isRunning())
        return;
    const int index = indexOf(id);
    if (index < 0)
        return;
    try {
        startEncoder(index, streams);
    } catch (const std::exception &error) {
        // Nothing that fails here halts the batch: the reason goes to the
        // entry, and the batch goes on.
        mark(index, EntryState::Failed, QString::fromLocal8Bit(error.what()));
        if (m_inBegin)
            m_launchFailed = true;
        else
            startNext();
        return;
    }
    prepareAfter(index);
    // More encoders may run: the next entry starts once this call has
    // returned, so that starts never nest.
    QMetaObject::invokeMethod(this, &BatchRun::fillUp, Qt::QueuedConnection);
}

void BatchRun::startEncoder(int index, const StreamMap::Decision &streams)
{
    if (!streams.unreadable.isEmpty())
        throw failure(streams.unreadable);
    const quint64 id = m_entries[index].id;
    // What the output leaves out stays with the entry, whatever its outcome.
    m_entries[index].entry.streamNote = streams.note;
    emit entryChanged(index);

    const EntryOptions options = m_options ? m_options() : EntryOptions();
    // The options are read as each encoder starts; the next entries' streams
    // are decided by the last ones read.
    m_codecsWanted = StreamMap::mayCopy(options.fragments, options.reencodeFitting);
    const QByteArray source = m_entries[index].entry.path;
    const QByteArray base = OutputFile::baseName(source);
    QByteArray temporary;
    try {
        // Each name is told before it is tried, so that a program that dies
        // from here on leaves a record of the file it may have made.
        temporary = OutputFile::createTemporary(options.folder, base, [this, index](const QByteArray &name) {
            m_entries[index].entry.temporary = name;
            emit entryChanged(index);
        });
    } catch (const EOSError &error) {
        m_entries[index].entry.temporary.clear();
        throw failure(QStringLiteral("Could not create the output file in %1: %2")
                          .arg(QString::fromLocal8Bit(options.folder), systemText(error.errorCode())));
    }
    // Made by this run, so removed when the encoder does not start.
    auto removeTemporary = qScopeGuard([&] {
        OutputFile::remove(temporary);
        m_entries[index].entry.temporary.clear();
        m_entries[index].entry.temporaryMade = false;
    });
    m_entries[index].entry.temporaryMade = true;
    emit entryChanged(index);

    auto run = std::make_unique<EncoderRun>();
    run->entry = id;
    run->temporary = temporary;
    run->folder = options.folder;
    run->baseName = base;
    if (streams.streams) {
        run->promisedVideo = run->promisedAudio = 0;
        for (const MediaStreams::Stream &stream : *streams.streams) {
            if (stream.kind == MediaStreams::Kind::Video && !stream.attachedPicture)
                run->promisedVideo = 1;
            else if (stream.kind == MediaStreams::Kind::Audio)
                ++run->promisedAudio;
        }
    }
    auto process = std::make_unique<TJvCreateProcess>(this);
    process->ConsoleOptions = unsigned(TJvConsoleOption::coOwnerData) | unsigned(TJvConsoleOption::coRedirect);
    // The output is a file this run has just made, so "-y" replaces nothing else.
    // Streams that already are what the options would make of them are copied.
    const StreamMap::Plan plan = StreamMap::plan(streams, options.fragments, options.reencodeFitting);
    process->CommandLine = FFmpegCommand::commandLine(m_encoder, source, plan.arguments, plan.fragments, temporary);
    EncoderRun *watched = run.get();
    process->OnRead = [this, watched](TJvCreateProcess *sender, const QByteArray &line, bool startsOnNewLine) {
        encoderLine(watched, line, sender->LineSinceReturn(), startsOnNewLine);
    };
    process->OnTerminate = [this, watched](TJvCreateProcess *sender, std::uint32_t exitCode) {
        encoderEnded(watched, exitCode, sender->TerminationSignal());
    };
    try {
        process->Run();
    } catch (const EOSError &error) {
        throw failure(QStringLiteral("Could not start ffmpeg (%1): %2")
                          .arg(QString::fromLocal8Bit(m_encoder), systemText(error.errorCode())));
    }
    removeTemporary.dismiss();
    run->process = process.release();
    m_encoders.push_back(std::move(run));
    if (!plan.note.isEmpty()) {
        BatchEntry &entry = m_entries[index].entry;
        entry.streamNote = entry.streamNote.isEmpty() ? plan.note : plan.note + QLatin1Char('\n') + entry.streamNote;
        emit entryChanged(index);
    }
}

void BatchRun::prepareAfter(int index)
{
    // After the encoder has got going: the next entry's streams are read
    // while this one converts, so that it starts without waiting.
    const quint64 id = m_entries[index].id;
    QTimer::singleShot(0, this, [this, id] {
        const int index = indexOf(id);
        if (!isRunning() || index < 0)
            return;
        // The next entry that will get an encoder: done and unreadable ones are passed over.
        for (int next = index + 1; next < count(); ++next) {
            const BatchEntry &entry = m_entries[next].entry;
            if (entry.state != EntryState::Done && entry.unreadable.isEmpty()) {
                m_streams->prepare(entry.path);
                return;
            }
        }
    });
}

void BatchRun::encoderLine(EncoderRun *run, const QByteArray &line, const QByteArray &sinceReturn,
                           bool startsOnNewLine)
{
    if (run->stopped())
        run->lastSignOfLife.restart();
    // A report that does not start a line completes or rewrites the one before.
    const bool rewritesKept = !startsOnNewLine && run->lastLineKept;
    run->lastLineKept = false;
    if (!FFmpegProgress::isProgressLine(line)) {
        // Kept to tell why the run failed, should it fail.
        if (rewritesKept)
            run->output.removeLast();
        // A message ffmpeg writes over its last progress line is kept
        // without that line's older tail.
        const QByteArray text = sinceReturn.trimmed().isEmpty() ? line : sinceReturn;
        if (!text.trimmed().isEmpty()) {
            run->output << text;
            run->lastLineKept = true;
        }
        if (run->sourceSeconds == 0 && !run->stopped())
            takeSourceLength(run, line);
        return;
    }
    // A stopped encoder's last lines touch nothing: its entry keeps the
    // percentage it reached, and the list or a new run may have moved on.
    if (run->stopped())
        return;
    const int index = indexOf(run->entry);
    if (index < 0)
        return;
    BatchEntry &entry = m_entries[index].entry;
    const int total = run->sourceSeconds > 0 ? run->sourceSeconds : totalSeconds(entry.time);
    const std::optional<int> encoded = FFmpegProgress::progressSeconds(line);
    // No time yet, or no playing time to measure against: only the status line moves.
    bool changed = false;
    if (encoded && total > 0) {
        const int percent = FFmpegProgress::runningPercentage(*encoded, total);
        changed = std::exchange(entry.percent, percent) != percent;
    }
    if (const std::optional<double> speed = FFmpegProgress::speed(line))
        changed = std::exchange(entry.speed, *speed) != *speed || changed;
    if (changed)
        emit entryChanged(index);
    emit statusChanged(QString::fromLocal8Bit(line));
}

void BatchRun::takeSourceLength(EncoderRun *run, const QByteArray &line)
{
    // A line cut short gives no figure; its complete report follows.
    const std::optional<int> seconds = FFmpegProgress::inputSeconds(line);
    if (!seconds || *seconds <= 0)
        return;
    run->sourceSeconds = *seconds;
    const int index = indexOf(run->entry);
    if (index < 0)
        return;
    // The media library misjudges some files (joined streams whose clock
    // starts over) and gives none for others; the list shows ffmpeg's figure then.
    BatchEntry &entry = m_entries[index].entry;
    if (entry.time.isEmpty() || std::abs(totalSeconds(entry.time) - *seconds) > 1) {
        entry.time = TextParse::formatClock(*seconds).toLatin1();
        emit entryChanged(index);
    }
}

void BatchRun::encoderEnded(EncoderRun *ended, std::uint32_t exitCode, int signal)
{
    const auto found = std::find_if(m_encoders.begin(), m_encoders.end(),
                                    [ended](const std::unique_ptr<EncoderRun> &run) { return run.get() == ended; });
    if (found == m_encoders.end())
        return;
    const std::unique_ptr<EncoderRun> run = std::move(*found);
    m_encoders.erase(found);
    if (run->stopTimer)
        run->stopTimer->stop();
    // Freed once its end event has returned.
    run->process->deleteLater();

    settle(indexOf(run->entry), *run, exitCode, signal);

    if (m_encoders.empty() && m_state == RunState::Stopping)
        setState(RunState::Idle);
    if (m_startWhenEncodersEnd && !stoppedEncoderEnding()) {
        // Convert was pressed while stopped encoders were still ending.
        m_startWhenEncodersEnd = false;
        if (!beginCurrent())
            startNext();
    } else if (isRunning() && m_deciding == 0 && activeEncoders() < encoderLimit()) {
        startNext();
    }
    if (m_encoders.empty())
        emit encodersEnded();
}

void BatchRun::settle(int index, const EncoderRun &run, std::uint32_t exitCode, int signal)
{
    const bool forced = run.stopStep == StopStep::Killed && signal == SIGKILL;
    const bool exists = OutputFile::exists(run.temporary);
    // A stopped encoder's file is kept however it ended, if it holds anything;
    // a failed one leaves nothing behind: the file is this run's own.
    const bool keep = exists && OutputFile::hasContent(run.temporary) && (run.stopped() || (exitCode == 0 && signal == 0));
    if (index >= 0) {
        m_entries[index].entry.temporary.clear();
        m_entries[index].entry.temporaryMade = false;
    }
    if (!keep) {
        OutputFile::remove(run.temporary);
        if (index < 0)
            return;
        if (run.stopped())
            mark(index, EntryState::Stopped,
                 forced ? QStringLiteral("ffmpeg did not answer and was ended")
                        : QStringLiteral("Stopped before anything was written"));
        else if (!exists)
            mark(index, EntryState::Failed,
                 QStringLiteral("The output file %1 disappeared while ffmpeg wrote it (was its folder removed?)")
                     .arg(QString::fromLocal8Bit(run.temporary)));
        else
            mark(index, EntryState::Failed, FailureReason::reason(run.output, int(exitCode), signal));
        return;
    }
    QByteArray written;
    try {
        written = OutputFile::moveToFreeName(run.temporary, run.folder, run.baseName);
    } catch (const EOSError &error) {
        if (index >= 0)
            mark(index, EntryState::Failed,
                 QStringLiteral("The converted file stays as %1: it could not be renamed: %2")
                     .arg(QString::fromLocal8Bit(run.temporary), systemText(error.errorCode())));
        return;
    }
    if (index < 0)
        return;
    BatchEntry &entry = m_entries[index].entry;
    const QString name = QString::fromLocal8Bit(written);
    entry.output = name;
    if (run.stopped()) {
        mark(index, EntryState::Stopped,
             (forced ? QStringLiteral("ffmpeg did not answer and was ended; what it wrote is kept as %1")
                     : QStringLiteral("Stopped; written to %1"))
                 .arg(name));
        return;
    }
    // An encoder that ends well may still have stopped early (a source
    // damaged towards its end): the file is read back before it counts. Its
    // name is told first: should the program die meanwhile, the next start
    // knows the file is this entry's.
    emit entryChanged(index);
    const QString shortfall = outputShortfall(run.promisedVideo, run.promisedAudio, entry.path, written);
    if (!shortfall.isEmpty()) {
        mark(index, EntryState::Failed, QStringLiteral("%1; what was written is kept as %2").arg(shortfall, name));
        return;
    }
    // ffmpeg's last progress line may fall short of the end (whole seconds).
    entry.percent = 100;
    mark(index, EntryState::Done, QStringLiteral("Written to %1").arg(name));
}

QString BatchRun::outputShortfall(int promisedVideo, int promisedAudio, const QByteArray &source,
                                  const QByteArray &output)
{
    const std::optional<MediaQuery::ReadBack> written = MediaQuery::readBack(output);
    // Without the media library nothing can be read back.
    if (!written)
        return QString();
    if (promisedVideo > 0 && written->video == 0)
        return QStringLiteral("The output has no video, though the source has");
    if (promisedAudio > written->audio)
        return written->audio == 0 ? QStringLiteral("The output has no audio, though the source has")
                                   : QStringLiteral("The output has %1 of the source's %2 audio tracks")
                                         .arg(written->audio)
                                         .arg(promisedAudio);
    const std::optional<MediaQuery::ReadBack> original = MediaQuery::readBack(source);
    if (!original || !original->seconds)
        return QString();
    const double expected = *original->seconds;
    const double got = written->seconds.value_or(0);
    // Only a shortfall counts: joined segments may rightly run past the
    // length a source's header gives.
    if (got >= expected - std::max(1.0, expected * 0.02))
        return QString();
    return QStringLiteral("The output is shorter than the source: %1 of %2 s")
        .arg(got, 0, 'f', 1)
        .arg(expected, 0, 'f', 1);
}

void BatchRun::stop()
{
    if (m_entries.empty() || !isRunning())
        return;
    // An entry that had not got its encoder yet is pending again.
    const quint64 waiting = std::exchange(m_deciding, 0);
    m_streams->cancel();
    if (std::exchange(m_startWhenEncodersEnd, false) || waiting != 0) {
        const int index = waiting != 0 ? indexOf(waiting) : m_current;
        if (index >= 0 && index < count() && m_entries[index].entry.state == EntryState::Converting)
            mark(index, EntryState::Pending, QString());
    }
    for (const std::unique_ptr<EncoderRun> &run : m_encoders) {
        if (!run->stopped())
            askToStop(*run);
    }
    if (!m_encoders.empty())
        emit statusChanged(QStringLiteral("Stopping: ffmpeg finishes the file it writes…"));
    setState(m_encoders.empty() ? RunState::Idle : RunState::Stopping);
}

void BatchRun::askToStop(EncoderRun &run)
{
    run.stopStep = StopStep::Asked;
    run.process->Write("q");
    run.lastSize = fileSize(run.temporary);
    run.lastSignOfLife.start();
    run.stepStarted.start();
    run.stopTimer = new QTimer(run.process);
    run.stopTimer->setInterval(StopCheckMs);
    connect(run.stopTimer, &QTimer::timeout, this, [this, watched = &run] { checkStopped(*watched); });
    run.stopTimer->start();
}

void BatchRun::checkStopped(EncoderRun &run)
{
    // An encoder finishing its file writes it as it goes.
    const qint64 size = fileSize(run.temporary);
    if (size != run.lastSize) {
        run.lastSize = size;
        run.lastSignOfLife.restart();
    }
    const bool asked = run.stopStep == StopStep::Asked;
    const bool idle = run.lastSignOfLife.elapsed() >= (asked ? QuitGraceMs : TerminateGraceMs);
    const bool overdue = run.stepStarted.elapsed() >= (asked ? QuitLimitMs : TerminateLimitMs);
    if (!idle && !overdue)
        return;
    run.lastSignOfLife.restart();
    run.stepStarted.restart();
    if (asked) {
        run.stopStep = StopStep::Terminated;
        run.process->Signal(SIGTERM);
    } else {
        run.stopStep = StopStep::Killed;
        run.process->Signal(SIGKILL);
        run.stopTimer->stop();
    }
}

void BatchRun::finishRun()
{
    setState(m_encoders.empty() ? RunState::Idle : RunState::Stopping);
    const int failed = int(std::count_if(m_entries.begin(), m_entries.end(),
                                         [](const Slot &slot) { return slot.entry.state == EntryState::Failed; }));
    emit finished(count() - failed, failed);
}
