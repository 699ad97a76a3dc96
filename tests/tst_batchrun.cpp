// The batch model with the real ffmpeg and no window: the order, states and
// outputs of its entries, failures that never halt a run, stop and restart,
// entries joining a run, and stream decisions whose probe never blocks.

#include "batch/batchrun.h"
#include "conversion/ffmpegcommand.h"
#include "process/commandline.h"
#include "process/programpath.h"
#include "process/tjvcreateprocess.h"
#include "tests/procinfo.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <utility>

#include <sys/stat.h>
#include <memory>
#include <stdexcept>


namespace {

using ProcInfo::processesWith;

constexpr int RunTimeoutMs = 60000;

// The encoder beside this program, as the batch runs it by default.
QByteArray encoder()
{
    return programInBin("ffmpeg");
}

// Runs a program to its end and returns its exit code, -1 when it could not
// start, did not end or was killed; its output lines go to *output. Started
// through the process runner, not QProcess: under ThreadSanitizer a QProcess
// child leaves this process marked as forked, and the next thread it starts
// (the runner's own) ends it.
int runToEnd(const QList<QByteArray> &arguments, QByteArray *output = nullptr)
{
    TJvCreateProcess process;
    process.ConsoleOptions = unsigned(TJvConsoleOption::coRedirect);
    process.CommandLine = joinCommandLine(arguments);
    QList<QByteArray> lines;
    int code = -1;
    process.OnRead = [&lines](TJvCreateProcess *, const QByteArray &line, bool startsOnNewLine) {
        // A report that does not start a line completes the one before it.
        if (startsOnNewLine || lines.isEmpty())
            lines << line;
        else
            lines.last() = line;
    };
    process.OnTerminate = [&code](TJvCreateProcess *sender, std::uint32_t exitCode) {
        code = sender->TerminationSignal() == 0 ? int(exitCode) : -1;
    };
    try {
        process.Run();
    } catch (const std::exception &) {
        return -1;
    }
    if (!process.waitUntilEnded(RunTimeoutMs))
        return -1;
    if (output)
        *output = lines.join('\n');
    return code;
}

// Makes a media file with ffmpeg from `arguments` (the lavfi sources and codecs).
bool makeClip(const QString &path, const QList<QByteArray> &arguments)
{
    QByteArray output;
    const int code = runToEnd(QList<QByteArray>{encoder(), "-nostdin", "-loglevel", "error", "-y"} + arguments
                                  + QList<QByteArray>{QFile::encodeName(path)},
                              &output);
    if (code != 0)
        qWarning("ffmpeg failed making %s: %s", qPrintable(path), output.constData());
    return code == 0;
}

// A small H.264/AAC clip of the given length in seconds.
bool makeH264Clip(const QString &path, int seconds)
{
    const QByteArray duration = QByteArray::number(seconds);
    return makeClip(path, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + duration, "-f", "lavfi",
                           "-i", "sine=frequency=440:sample_rate=44100:duration=" + duration, "-c:v", "libx264",
                           "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest"});
}

BatchEntry entryFor(const QString &path, const QByteArray &time)
{
    BatchEntry entry;
    entry.path = QFile::encodeName(path);
    entry.type = "Video";
    entry.size = "20 KB";
    entry.time = time;
    return entry;
}

// The files of a folder, sorted by name.
QStringList filesIn(const QString &folder)
{
    QStringList files = QDir(folder).entryList(QDir::Files);
    std::sort(files.begin(), files.end());
    return files;
}

// The probe's answer for the file: one value a line.
QStringList probed(const QString &path, const QByteArray &entries)
{
    QByteArray output;
    if (runToEnd({FFmpegCommand::probeProgram(encoder()), "-v", "error", "-show_entries", entries, "-of", "csv=p=0",
                  QFile::encodeName(path)},
                 &output)
        != 0)
        return {QStringLiteral("ffprobe failed: ") + QString::fromLocal8Bit(output)};
    return QString::fromLocal8Bit(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The kinds of the file's streams ("video", "subtitle"...), in order.
QStringList streamTypes(const QString &path)
{
    return probed(path, "stream=codec_type");
}

// The container's playing time in seconds; -1 when it cannot be read.
double durationOf(const QString &path)
{
    bool ok = false;
    const double seconds = probed(path, "format=duration").value(0).trimmed().toDouble(&ok);
    return ok ? seconds : -1;
}

// Whether the whole file decodes without a single error.
bool decodes(const QString &path)
{
    QByteArray output;
    const int code = runToEnd({encoder(), "-nostdin", "-v", "error", "-i", QFile::encodeName(path), "-f", "null", "-"},
                              &output);
    if (code != 0 || !output.trimmed().isEmpty())
        qWarning("%s does not decode: %s", qPrintable(path), output.constData());
    return code == 0 && output.trimmed().isEmpty();
}

// The status line shows an outcome as one line.
QString oneLine(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1String("; "));
}

// What the batch tells while a test runs.
class Watch : public QObject {
public:
    explicit Watch(BatchRun &batch) : m_batch(batch)
    {
        connect(&batch, &BatchRun::entryStarted, this, [this](int index) { started << index; });
        connect(&batch, &BatchRun::runningChanged, this,
                [this](bool running) { runs << (running ? QStringLiteral("running") : QStringLiteral("idle")); });
        connect(&batch, &BatchRun::finished, this, [this](int converted, int failed) {
            runs << QStringLiteral("finished %1 %2").arg(converted).arg(failed);
        });
        connect(&batch, &BatchRun::statusChanged, this, [this](const QString &text) { status << text; });
        connect(&batch, &BatchRun::entryChanged, this, [this](int index) {
            const BatchEntry &entry = m_batch.entry(index);
            if (entry.state == EntryState::Converting)
                convertingPercents << entry.percent;
            int converting = 0;
            for (int k = 0; k < m_batch.count(); ++k)
                converting += m_batch.entry(k).state == EntryState::Converting ? 1 : 0;
            mostConverting = std::max(mostConverting, converting);
            mostEncoders = std::max(mostEncoders, m_batch.runningEncoders());
        });
    }

    QList<int> started;
    QString startedText() const
    {
        QStringList texts;
        for (int index : started)
            texts << QString::number(index);
        return texts.join(QLatin1Char(' '));
    }
    QStringList runs; // "running", "idle", "finished <converted> <failed>", in order
    QStringList status;
    QList<int> convertingPercents; // the percentages entries showed while converting
    int mostConverting = 0;        // the most entries converting at once
    int mostEncoders = 0;          // the most encoders running at once

private:
    BatchRun &m_batch;
};

enum Failure { MissingFolder, MissingEncoder, OptionsThrow, NotMedia, NotMediaDeep, WritesNothing };

} // namespace

class BatchRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void convertsTopToBottomAndFailuresDoNotHalt();
    void changesDuringTheRunApplyToLaterEntries();
    void everyEntryFailsWithItsReason_data();
    void everyEntryFailsWithItsReason();
    void stopKeepsWhatWasWrittenAndStartsNothingMore_data();
    void stopKeepsWhatWasWrittenAndStartsNothingMore();
    void startRightAfterStopRestartsOnceTheEncoderEnded();
    void convertAgainTakesWhatIsNotDone();
    void percentFollowsTheBestPlayingTime_data();
    void percentFollowsTheBestPlayingTime();
    void slowProbeDoesNotBlockTheRun();
    void stopWhileProbingLeavesTheEntryPending();
    void stopEndsAnEncoderStuckOnItsSource();
    void sourceThatDoesNotAnswerFailsWithAReason();
    void unreadableEntriesFailWithTheirReasonAndStartNoEncoder();
    void outputFolderRemovedWhileWriting();
    void failureReasonLeavesOutTheProgressLine();
    void longNamesConvert();
    void outputShorterThanItsSourceFails();
    void severalEncodersConvertEveryEntryOnce_data();
    void severalEncodersConvertEveryEntryOnce();
    void stopEndsEveryEncoderOfAParallelRun();
    void automaticFitsTheCoresAndTheFrames_data();
    void automaticFitsTheCoresAndTheFrames();

private:
    // Points the batch at an encoder whose probe answers only after 3 s and
    // then marks `answered()`.
    void useSlowProbe();
    QString answered() const { return m_probeDir.filePath(QStringLiteral("bin/answered")); }
    QString out(const QString &name) const { return m_out->filePath(name); }
    // Points the batch at a shell script that runs ffmpeg after `prelude`;
    // no probe program is found beside it.
    void useEncoderScript(const QByteArray &prelude);

    QTemporaryDir m_media;
    QTemporaryDir m_probeDir;
    QString m_clip;  // a/clip.avi, 1 s
    QString m_twin;  // b/clip.mkv, 2 s
    QString m_long;  // long.mp4, 10 s
    QString m_notes; // a text file
    QString m_subs;  // subs.mkv, 2 s: two video tracks and a text subtitle
    QString m_joined; // joined.ts, 6 s and 10 s segments whose clocks both start at 0
    QString m_fifo;  // stuck.avi, a FIFO nobody writes to

    std::unique_ptr<QTemporaryDir> m_out;
    std::unique_ptr<BatchRun> m_batch;
    std::unique_ptr<Watch> m_watch;
    QByteArray m_folder;
    QList<QByteArray> m_fragments;
    QString m_optionsError; // thrown by the options source when set
    int m_optionsCalls = 0;
};

void BatchRunTest::initTestCase()
{
    QVERIFY(m_media.isValid() && m_probeDir.isValid());
    QVERIFY(QDir().mkpath(m_media.filePath("a")) && QDir().mkpath(m_media.filePath("b")));
    m_clip = m_media.filePath("a/clip.avi");
    m_twin = m_media.filePath("b/clip.mkv");
    m_long = m_media.filePath("long.mp4");
    m_notes = m_media.filePath("notes.avi");
    m_subs = m_media.filePath("subs.mkv");
    QVERIFY(makeH264Clip(m_clip, 1));
    QVERIFY(makeH264Clip(m_twin, 2));
    QVERIFY(makeH264Clip(m_long, 10));

    QFile notes(m_notes);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("Shopping list: milk, bread, a new camera.\n");
    notes.close();

    QFile srt(m_media.filePath("sub.srt"));
    QVERIFY(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n\n2\n00:00:01,000 --> 00:00:02,000\nWorld\n");
    srt.close();
    QVERIFY(makeClip(m_subs, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2", "-f", "lavfi", "-i",
                              "testsrc2=size=160x120:rate=25:duration=2", "-i",
                              QFile::encodeName(m_media.filePath("sub.srt")), "-map", "0", "-map", "1", "-map", "2",
                              "-c:v", "mpeg4", "-c:s", "srt"}));

    // Two segments joined as they are: the output runs 16 s, past the 10 s
    // that both ffmpeg and the media library read.
    const QString first = m_media.filePath("first.ts");
    const QString second = m_media.filePath("second.ts");
    m_joined = m_media.filePath("joined.ts");
    for (const auto &[path, seconds] : {std::pair{first, QByteArray("6")}, std::pair{second, QByteArray("10")}})
        QVERIFY(makeClip(path, {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=" + seconds, "-c:v",
                                "mpeg2video"}));
    QFile joined(m_joined);
    QVERIFY(joined.open(QIODevice::WriteOnly));
    for (const QString &path : {first, second}) {
        QFile part(path);
        QVERIFY(part.open(QIODevice::ReadOnly));
        joined.write(part.readAll());
    }
    joined.close();

    m_fifo = m_media.filePath("stuck.avi");
    QVERIFY(::mkfifo(QFile::encodeName(m_fifo).constData(), 0600) == 0);

    // The stand-in probe: the real one, after a pause long enough to notice
    // a caller that waits for it.
    QVERIFY(QDir().mkpath(m_probeDir.filePath("bin")));
    QVERIFY(QFile::link(QStringLiteral("/usr/bin/ffmpeg"), m_probeDir.filePath("bin/ffmpeg")));
    QVERIFY(TestSupport::writeScript(m_probeDir.filePath("bin/ffprobe"), "#!/bin/sh\n"
                                                                        "sleep 3\n"
                                                                        "/usr/bin/ffprobe \"$@\"\n"
                                                                        "status=$?\n"
                                                                        ": > \"$(dirname \"$0\")/answered\"\n"
                                                                        "exit $status\n"));
}

void BatchRunTest::init()
{
    m_out = std::make_unique<QTemporaryDir>();
    QVERIFY(m_out->isValid());
    m_folder = QFile::encodeName(m_out->path());
    m_fragments.clear();
    m_optionsError.clear();
    m_optionsCalls = 0;
    QFile::remove(answered());

    m_batch = std::make_unique<BatchRun>();
    // One at a time unless a test says otherwise: the order is then known.
    m_batch->setSimultaneous(1);
    m_watch = std::make_unique<Watch>(*m_batch);
    m_batch->setOptionsSource([this] {
        ++m_optionsCalls;
        if (!m_optionsError.isEmpty())
            throw std::runtime_error(m_optionsError.arg(m_optionsCalls).toStdString());
        return EntryOptions{m_folder, m_fragments};
    });
}

void BatchRunTest::cleanup()
{
    // A test that failed half-way leaves no encoder writing into a folder
    // that is about to go.
    if (m_batch) {
        m_batch->stop();
        QTRY_COMPARE_WITH_TIMEOUT(m_batch->runningEncoders(), 0, RunTimeoutMs);
    }
    m_watch.reset();
    m_batch.reset();
    m_out.reset();
}

void BatchRunTest::useSlowProbe()
{
    m_batch->setEncoder(QFile::encodeName(m_probeDir.filePath("bin/ffmpeg")));
}

void BatchRunTest::useEncoderScript(const QByteArray &prelude)
{
    const QString script = m_out->filePath(QStringLiteral("encoder/ffmpeg"));
    QVERIFY(TestSupport::writeScript(script, "#!/bin/sh\n" + prelude + "\nexec /usr/bin/ffmpeg \"$@\"\n"));
    m_batch->setEncoder(QFile::encodeName(script));
}

void BatchRunTest::convertsTopToBottomAndFailuresDoNotHalt()
{
    // An earlier file holds the first output's name.
    QFile earlier(out("clip.mp4"));
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier file");
    earlier.close();

    m_batch->add(entryFor(m_clip, "00:00:01"));
    m_batch->add(entryFor(m_notes, "00:00:01"));
    m_batch->add(entryFor(m_twin, "00:00:02"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QVERIFY(m_batch->isRunning());
    QCOMPARE(m_batch->entry(0).state, EntryState::Converting);
    // Start during a run changes nothing.
    m_batch->start();
    QCOMPARE(m_watch->started, QList<int>{0});

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{2, 1}));
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle", "finished 2 1"}));
    QCOMPARE(m_batch->state(), BatchRun::RunState::Idle);
    QCOMPARE(m_batch->runningEncoders(), 0);
    QCOMPARE(m_batch->current(), 2);
    // One at a time, top to bottom.
    QCOMPARE(m_watch->started, (QList<int>{0, 1, 2}));
    QCOMPARE(m_watch->mostConverting, 1);
    QCOMPARE(m_watch->mostEncoders, 1);

    const QString first = out("clip (2).mp4");
    const QString third = out("clip (3).mp4");
    const BatchEntry &done1 = m_batch->entry(0);
    QCOMPARE(done1.state, EntryState::Done);
    QCOMPARE(done1.output, first);
    QCOMPARE(done1.reason, "Written to " + first);
    QCOMPARE(done1.percent, 100);

    const BatchEntry &failed = m_batch->entry(1);
    QCOMPARE(failed.state, EntryState::Failed);
    QCOMPARE(failed.reason, m_notes + ": Invalid data found when processing input\nffmpeg ended with exit code 1");
    QVERIFY(failed.output.isEmpty());
    QVERIFY(m_watch->status.contains(oneLine(failed.reason)));

    const BatchEntry &done2 = m_batch->entry(2);
    QCOMPARE(done2.state, EntryState::Done);
    QCOMPARE(done2.output, third);
    QCOMPARE(done2.reason, "Written to " + third);
    QCOMPARE(done2.percent, 100);
    QCOMPARE(m_watch->status.last(), "Written to " + third);

    // Nothing replaced, nothing left half-written.
    QCOMPARE(filesIn(m_out->path()), (QStringList{"clip (2).mp4", "clip (3).mp4", "clip.mp4"}));
    QCOMPARE(TestSupport::readAll(out("clip.mp4")), QByteArray("an earlier file"));
    QVERIFY(decodes(first));
    QVERIFY(decodes(third));
    QVERIFY2(qAbs(durationOf(first) - 1) < 0.5, qPrintable(QString::number(durationOf(first))));
    QVERIFY2(qAbs(durationOf(third) - 2) < 0.5, qPrintable(QString::number(durationOf(third))));
}

void BatchRunTest::changesDuringTheRunApplyToLaterEntries()
{
    QTemporaryDir later;
    QVERIFY(later.isValid());
    QStringList waiting{m_clip};
    int asked = 0;
    m_batch->setMoreEntries([&] {
        ++asked;
        if (waiting.isEmpty())
            return false;
        m_batch->add(entryFor(waiting.takeFirst(), "00:00:01"));
        return true;
    });

    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    // The first entry's encoder runs with the options read at its start:
    // another folder chosen now applies from the next entry on.
    QTRY_COMPARE_WITH_TIMEOUT(m_batch->runningEncoders(), 1, RunTimeoutMs);
    m_folder = QFile::encodeName(later.path());
    m_batch->add(entryFor(m_twin, "00:00:02"));

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{3, 0}));
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle", "finished 3 0"}));
    QCOMPARE(m_watch->started, (QList<int>{0, 1, 2}));
    QVERIFY(waiting.isEmpty());
    QVERIFY(asked >= 2);

    QCOMPARE(m_batch->count(), 3);
    const QStringList outputs{out("clip.mp4"), later.filePath("clip.mp4"), later.filePath("clip (2).mp4")};
    for (int index = 0; index < 3; ++index) {
        QCOMPARE(m_batch->entry(index).state, EntryState::Done);
        QCOMPARE(m_batch->entry(index).output, outputs[index]);
        QVERIFY(decodes(outputs[index]));
    }
    QCOMPARE(filesIn(m_out->path()), QStringList{"clip.mp4"});
    QCOMPARE(filesIn(later.path()), (QStringList{"clip (2).mp4", "clip.mp4"}));
}

void BatchRunTest::everyEntryFailsWithItsReason_data()
{
    QTest::addColumn<int>("failure");
    QTest::newRow("output folder missing") << int(MissingFolder);
    QTest::newRow("encoder missing") << int(MissingEncoder);
    QTest::newRow("options source throws") << int(OptionsThrow);
    QTest::newRow("not a media file") << int(NotMedia);
    // ffmpeg's line naming the file is longer than one piece of its output.
    QTest::newRow("not a media file deep in folders") << int(NotMediaDeep);
    QTest::newRow("encoder ends well but writes nothing") << int(WritesNothing);
}

void BatchRunTest::everyEntryFailsWithItsReason()
{
    QFETCH(int, failure);
    QStringList sources{m_clip, m_twin};
    QStringList reasons;
    switch (failure) {
    case MissingFolder: {
        const QString folder = out("gone");
        m_folder = QFile::encodeName(folder);
        reasons = QStringList(2, "Could not create the output file in " + folder + ": No such file or directory");
        break;
    }
    case MissingEncoder: {
        const QString missing = out("nobin/ffmpeg");
        m_batch->setEncoder(QFile::encodeName(missing));
        reasons = QStringList(2, "Could not start ffmpeg (" + missing + "): No such file or directory");
        break;
    }
    case OptionsThrow:
        m_optionsError = QStringLiteral("The settings file is locked (%1)");
        reasons = QStringList{"The settings file is locked (1)", "The settings file is locked (2)"};
        break;
    case NotMedia:
    case NotMediaDeep: {
        QString folder = m_out->path();
        for (int depth = 0; failure == NotMediaDeep && depth < 8; ++depth)
            folder += QStringLiteral("/folder %1 ").arg(depth) + QString(240, QLatin1Char('x'));
        QVERIFY(QDir().mkpath(folder));
        const QString other = folder + QStringLiteral("/more notes.avi");
        QVERIFY(QFile::copy(m_notes, other));
        sources = QStringList{m_notes, other};
        for (const QString &source : sources)
            reasons << source + ": Invalid data found when processing input\nffmpeg ended with exit code 1";
        break;
    }
    case WritesNothing:
        m_fragments = {"-f null"};
        break;
    }
    const QStringList before = filesIn(m_out->path());

    for (const QString &source : sources)
        m_batch->add(entryFor(source, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{0, 2}));
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle", "finished 0 2"}));
    QCOMPARE(m_watch->started, (QList<int>{0, 1}));
    QCOMPARE(m_batch->runningEncoders(), 0);

    for (int index = 0; index < 2; ++index) {
        const BatchEntry &entry = m_batch->entry(index);
        QCOMPARE(entry.state, EntryState::Failed);
        QVERIFY(entry.output.isEmpty());
        if (!reasons.isEmpty()) {
            QCOMPARE(entry.reason, reasons[index]);
        }
        else
            QVERIFY(!entry.reason.isEmpty());
    }
    QCOMPARE(m_watch->status.last(), oneLine(m_batch->entry(1).reason));
    // No output, not even a temporary one, stays behind.
    QCOMPARE(filesIn(m_out->path()), before);
    QVERIFY(!QFile::exists(out("gone")));
}

void BatchRunTest::stopKeepsWhatWasWrittenAndStartsNothingMore_data()
{
    QTest::addColumn<QByteArray>("fragment");
    QTest::addColumn<bool>("writes");
    QTest::addColumn<bool>("convertedBefore");
    // Converting at the pace of playing, so that a stop lands in the middle.
    QTest::newRow("partial file") << QByteArray("-vf realtime") << true << false;
    QTest::newRow("nothing written yet") << QByteArray("-vf realtime -f null") << false << false;
    // The file an earlier run wrote is no outcome of this one.
    QTest::newRow("nothing written, converted before") << QByteArray("-vf realtime -f null") << false << true;
}

void BatchRunTest::stopKeepsWhatWasWrittenAndStartsNothingMore()
{
    QFETCH(QByteArray, fragment);
    QFETCH(bool, writes);
    QFETCH(bool, convertedBefore);
    m_batch->add(entryFor(m_long, "00:00:10"));
    QStringList before;
    if (convertedBefore) {
        QSignalSpy converted(m_batch.get(), &BatchRun::finished);
        m_batch->start();
        QVERIFY(converted.wait(RunTimeoutMs));
        QCOMPARE(m_batch->entry(0).output, out("long.mp4"));
        before << QStringLiteral("long.mp4");
        m_watch->runs.clear();
        m_watch->started.clear();
    }
    m_fragments = {fragment};
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    QSignalSpy ended(m_batch.get(), &BatchRun::encodersEnded);
    if (convertedBefore)
        m_batch->startAgain();
    else
        m_batch->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_batch->entry(0).state == EntryState::Converting && m_batch->runningEncoders() == 1
                                 && m_batch->entry(0).percent >= 10 && m_batch->entry(0).percent < 100,
                             RunTimeoutMs);

    const int reached = m_batch->entry(0).percent;
    m_batch->stop();
    // The run has ended at once; the encoder is still finishing its file.
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle"}));
    QCOMPARE(m_batch->state(), BatchRun::RunState::Stopping);
    QCOMPARE(m_batch->runningEncoders(), 1);

    QVERIFY(ended.wait(RunTimeoutMs));
    QCOMPARE(m_batch->state(), BatchRun::RunState::Idle);
    QCOMPARE(m_batch->runningEncoders(), 0);
    const BatchEntry &stopped = m_batch->entry(0);
    QCOMPARE(stopped.state, EntryState::Stopped);
    QVERIFY2(reached < 100, qPrintable(QString::number(reached)));
    QCOMPARE(stopped.percent, reached);
    if (writes) {
        QCOMPARE(stopped.output, out("long.mp4"));
        QCOMPARE(stopped.reason, "Stopped; written to " + out("long.mp4"));
        QCOMPARE(filesIn(m_out->path()), QStringList{"long.mp4"});
        // The partial file plays, as far as the encoder got.
        QVERIFY(decodes(out("long.mp4")));
        const double seconds = durationOf(out("long.mp4"));
        QVERIFY2(seconds >= 0.5 && seconds < 9.5, qPrintable(QString::number(seconds)));
    } else {
        QVERIFY(stopped.output.isEmpty());
        QCOMPARE(stopped.reason, QStringLiteral("Stopped before anything was written"));
        QCOMPARE(filesIn(m_out->path()), before);
    }
    QCOMPARE(m_watch->status.last(), stopped.reason);

    // Nothing more started, and a stopped run reports no end.
    QCOMPARE(m_batch->entry(1).state, EntryState::Pending);
    QCOMPARE(m_watch->started, QList<int>{0});
    QCOMPARE(finished.count(), 0);
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle"}));
}

void BatchRunTest::startRightAfterStopRestartsOnceTheEncoderEnded()
{
    m_fragments = {"-vf realtime"};
    m_batch->add(entryFor(m_long, "00:00:10"));
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_batch->entry(0).percent >= 10, RunTimeoutMs);
    m_batch->stop();
    QCOMPARE(m_batch->runningEncoders(), 1);

    // At full speed from now on: the options are read when an entry starts.
    m_fragments.clear();
    m_batch->start();
    QVERIFY(m_batch->isRunning());
    QCOMPARE(m_batch->current(), 0);
    QCOMPARE(m_batch->entry(0).state, EntryState::Converting);
    // No second encoder while the stopped one is still ending.
    QCOMPARE(m_batch->runningEncoders(), 1);

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{2, 0}));
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle", "running", "idle", "finished 2 0"}));
    // Entry 0 started again, and entry 1 only once, after it.
    QVERIFY2(m_watch->started.count(0) >= 2 && m_watch->started.count(1) == 1 && m_watch->started.last() == 1,
             qPrintable(m_watch->startedText()));
    QCOMPARE(m_watch->mostEncoders, 1);

    // The stopped encoder's file stays; entry 0 was converted again from its start.
    QCOMPARE(m_batch->entry(0).state, EntryState::Done);
    QCOMPARE(m_batch->entry(0).output, out("long (2).mp4"));
    QCOMPARE(m_batch->entry(1).state, EntryState::Done);
    QCOMPARE(m_batch->entry(1).output, out("clip.mp4"));
    QCOMPARE(filesIn(m_out->path()), (QStringList{"clip.mp4", "long (2).mp4", "long.mp4"}));
    const double partial = durationOf(out("long.mp4"));
    const double whole = durationOf(out("long (2).mp4"));
    QVERIFY2(partial > 0 && partial < 9.5, qPrintable(QString::number(partial)));
    QVERIFY2(qAbs(whole - 10) < 0.5, qPrintable(QString::number(whole)));
}

void BatchRunTest::convertAgainTakesWhatIsNotDone()
{
    m_batch->add(entryFor(m_clip, "00:00:01"));
    m_batch->add(entryFor(m_notes, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(m_batch->entry(1).state, EntryState::Failed);

    // Only the failed entry runs again; the done one keeps its file, and no
    // copy of it is made.
    m_watch->started.clear();
    m_batch->start();
    QCOMPARE(m_batch->entry(1).percent, 0);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, RunTimeoutMs);
    QCOMPARE(m_watch->started, QList<int>{1});
    QCOMPARE(m_batch->entry(0).state, EntryState::Done);
    QCOMPARE(m_batch->entry(0).output, out("clip.mp4"));
    QCOMPARE(filesIn(m_out->path()), QStringList{"clip.mp4"});

    // Once all are done, start() does nothing; startAgain() converts them all.
    m_batch->remove(1);
    QVERIFY(m_batch->allDone());
    m_batch->start();
    QVERIFY(!m_batch->isRunning());
    m_batch->startAgain();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 3, RunTimeoutMs);
    QCOMPARE(m_batch->entry(0).output, out("clip (2).mp4"));
}

void BatchRunTest::percentFollowsTheBestPlayingTime_data()
{
    QTest::addColumn<bool>("joined");
    QTest::addColumn<QByteArray>("time");  // the media library's
    QTest::addColumn<QByteArray>("listed"); // what the entry shows once ffmpeg has read the source
    QTest::newRow("library has none") << false << QByteArray("00:00:00") << QByteArray("00:00:02");
    QTest::newRow("no clock text") << false << QByteArray("unknown") << QByteArray("00:00:02");
    QTest::newRow("library right") << false << QByteArray("00:00:02") << QByteArray("00:00:02");
    QTest::newRow("library far off") << false << QByteArray("00:10:00") << QByteArray("00:00:02");
    QTest::newRow("joined segments run past their length") << true << QByteArray("00:00:09") << QByteArray("00:00:09");
}

void BatchRunTest::percentFollowsTheBestPlayingTime()
{
    QFETCH(bool, joined);
    QFETCH(QByteArray, time);
    QFETCH(QByteArray, listed);
    // Slowed down so that progress lines come past the misjudged end.
    if (joined)
        m_fragments = {"-vf realtime=speed=4"};
    m_batch->add(entryFor(joined ? m_joined : m_twin, time));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);

    QVERIFY(!m_watch->convertingPercents.isEmpty());
    const int most = *std::max_element(m_watch->convertingPercents.cbegin(), m_watch->convertingPercents.cend());
    QVERIFY2(most > 0 && most <= 99, qPrintable(QString::number(most)));
    QCOMPARE(m_batch->entry(0).time, listed);
    if (joined) {
        // The fault is there to be kept away: ffmpeg reported times past 10 s.
        QVERIFY2(std::any_of(m_watch->status.cbegin(), m_watch->status.cend(),
                             [](const QString &line) { return line.contains(QLatin1String("time=00:00:1")); }),
                 qPrintable(m_watch->status.join(QLatin1Char('\n'))));
    }
    QCOMPARE(m_batch->entry(0).state, EntryState::Done);
    QCOMPARE(m_batch->entry(0).percent, 100);
}

void BatchRunTest::slowProbeDoesNotBlockTheRun()
{
    useSlowProbe();
    // The second copy's streams are decided ahead, while the first converts.
    const QString copy = m_media.filePath("b/subs.mkv");
    if (!QFile::exists(copy))
        QVERIFY(QFile::copy(m_subs, copy));
    m_batch->add(entryFor(m_subs, "00:00:02"));
    m_batch->add(entryFor(copy, "00:00:02"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);

    QElapsedTimer timer;
    timer.start();
    m_batch->start();
    const qint64 elapsed = timer.elapsed();
    // Well under the probe's pause: start() did not wait for it.
    QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
    QVERIFY(m_batch->isRunning());
    QCOMPARE(m_batch->entry(0).state, EntryState::Converting);
    QCOMPARE(m_batch->runningEncoders(), 0);

    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{2, 0}));
    QCOMPARE(m_watch->started, (QList<int>{0, 1}));
    const QStringList outputs{out("subs.mp4"), out("subs (2).mp4")};
    for (int index = 0; index < 2; ++index) {
        const BatchEntry &entry = m_batch->entry(index);
        QCOMPARE(entry.state, EntryState::Done);
        QCOMPARE(entry.output, outputs[index]);
        // Only the probe tells of the second video track.
        QCOMPARE(entry.streamNote, QStringLiteral("1 further video track not kept: only the main video is converted"));
        QCOMPARE(streamTypes(entry.output), (QStringList{"video", "subtitle"}));
    }
}

void BatchRunTest::stopWhileProbingLeavesTheEntryPending()
{
    useSlowProbe();
    m_batch->add(entryFor(m_subs, "00:00:02"));
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QCOMPARE(m_batch->entry(0).state, EntryState::Converting);
    QCOMPARE(m_batch->runningEncoders(), 0);

    m_batch->stop();
    // No encoder to wait for: idle at once, the entry waiting again.
    QCOMPARE(m_batch->state(), BatchRun::RunState::Idle);
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle"}));
    QCOMPARE(m_batch->entry(0).state, EntryState::Pending);

    // The probe was ended, not left to answer late: past its pause nothing
    // has answered and nothing started.
    const QByteArray probe = QFile::encodeName(m_probeDir.filePath("bin/ffprobe"));
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(probe).isEmpty(), 5000);
    QTest::qWait(3500);
    QVERIFY(!QFile::exists(answered()));
    QCOMPARE(m_batch->runningEncoders(), 0);
    QCOMPARE(m_batch->entry(0).state, EntryState::Pending);
    QCOMPARE(m_batch->entry(1).state, EntryState::Pending);
    QCOMPARE(m_watch->started, QList<int>{0});
    QCOMPARE(finished.count(), 0);
    QCOMPARE(filesIn(m_out->path()), QStringList());
    QCOMPARE(m_optionsCalls, 0);
}

void BatchRunTest::outputShorterThanItsSourceFails()
{
    // An encoder that stops after 2 s of the 10 and says all went well.
    useEncoderScript("set -- -t 2 \"$@\"");
    m_batch->add(entryFor(m_long, "00:00:10"));
    m_batch->add(entryFor(m_twin, "00:00:02"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(m_batch->entry(0).state, EntryState::Failed);
    const QRegularExpression reason(QStringLiteral("^The output is shorter than the source: 2\\.\\d of 10\\.\\d s; "
                                                   "what was written is kept as %1$")
                                        .arg(QRegularExpression::escape(out("long.mp4"))));
    QVERIFY2(reason.match(m_batch->entry(0).reason).hasMatch(), qPrintable(m_batch->entry(0).reason));
    QCOMPARE(m_batch->entry(0).output, out("long.mp4"));
    QVERIFY(QFileInfo(out("long.mp4")).size() > 0);
    // A source no longer than what was written is whole.
    QCOMPARE(m_batch->entry(1).state, EntryState::Done);
}

void BatchRunTest::stopEndsAnEncoderStuckOnItsSource()
{
    // No probe: the encoder itself opens the FIFO, and waits for a writer
    // that never comes, deaf to "q" and SIGTERM.
    useEncoderScript("");
    m_batch->add(entryFor(m_fifo, "00:00:10"));
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy ended(m_batch.get(), &BatchRun::encodersEnded);
    m_batch->start();
    const QByteArray fifo = QFile::encodeName(m_fifo);
    QTRY_VERIFY_WITH_TIMEOUT(m_batch->runningEncoders() == 1 && !processesWith(fifo).isEmpty(), RunTimeoutMs);
    QTest::qWait(500);
    const QList<qint64> encoders = processesWith(fifo);

    QElapsedTimer clock;
    clock.start();
    m_batch->stop();
    QCOMPARE(m_batch->state(), BatchRun::RunState::Stopping);
    QCOMPARE(m_batch->entry(0).state, EntryState::Converting);
    QVERIFY(ended.wait(BatchRun::QuitGraceMs + BatchRun::TerminateGraceMs + 5000));
    const qint64 took = clock.elapsed();
    QVERIFY2(took >= BatchRun::QuitGraceMs + BatchRun::TerminateGraceMs - 500, qPrintable(QString::number(took)));

    QCOMPARE(m_batch->state(), BatchRun::RunState::Idle);
    QCOMPARE(m_batch->entry(0).state, EntryState::Stopped);
    QCOMPARE(m_batch->entry(0).reason, QStringLiteral("ffmpeg did not answer and was ended"));
    // Its empty file went with it, and so did every process it ran.
    QCOMPARE(filesIn(m_out->path()), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(fifo).isEmpty(), 5000);
    for (const qint64 pid : encoders) {
        // Gone, or its number taken by something else meanwhile.
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        QVERIFY2(!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains(fifo), qPrintable(QString::number(pid)));
    }

    // The next Convert works.
    m_batch->remove(0);
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(m_batch->entry(0).state, EntryState::Done);
    QCOMPARE(m_batch->entry(0).output, out("clip.mp4"));
}

void BatchRunTest::sourceThatDoesNotAnswerFailsWithAReason()
{
    // The library cannot read a FIFO, so the probe opens it, and waits.
    m_batch->add(entryFor(m_fifo, "00:00:10"));
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(finished.first(), (QVariantList{1, 1}));
    QCOMPARE(m_batch->entry(0).state, EntryState::Failed);
    QCOMPARE(m_batch->entry(0).reason,
             QStringLiteral("The file did not answer within 10 s: is its disk or network share still there?"));
    QCOMPARE(m_batch->entry(1).state, EntryState::Done);
    // The probe did not outlive its answer.
    QTRY_VERIFY_WITH_TIMEOUT(processesWith(QFile::encodeName(m_fifo)).isEmpty(), 5000);
}

void BatchRunTest::unreadableEntriesFailWithTheirReasonAndStartNoEncoder()
{
    // ffmpeg would fail the text file with a reason of its own: the entry
    // keeps the one it was added with, and the missing file fails before any
    // encoder or probe looks for it.
    BatchEntry notes = entryFor(m_notes, QByteArray());
    notes.unreadable = QStringLiteral("Not a video or audio file Halvora can read");
    BatchEntry gone = entryFor(m_media.filePath(QStringLiteral("gone.avi")), QByteArray());
    gone.unreadable = QStringLiteral("The file is missing");
    m_batch->add(notes);
    m_batch->add(entryFor(m_clip, "00:00:01"));
    m_batch->add(gone);
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    for (int run = 0; run < 2; ++run) {
        // Convert again fails them again, for the same reasons.
        m_watch->started.clear();
        m_batch->start();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), run + 1, RunTimeoutMs);
        QCOMPARE(finished.last(), (QVariantList{1, 2}));
        QCOMPARE(m_watch->started, run == 0 ? QList<int>{1} : QList<int>{});
        QCOMPARE(m_batch->entry(0).state, EntryState::Failed);
        QCOMPARE(m_batch->entry(0).reason, notes.unreadable);
        QCOMPARE(m_batch->entry(1).state, EntryState::Done);
        QCOMPARE(m_batch->entry(2).state, EntryState::Failed);
        QCOMPARE(m_batch->entry(2).reason, gone.unreadable);
        QCOMPARE(m_watch->status.last(), gone.unreadable);
    }
    QCOMPARE(m_watch->mostEncoders, 1);
    QCOMPARE(filesIn(m_out->path()), QStringList{"clip.mp4"});
}

void BatchRunTest::outputFolderRemovedWhileWriting()
{
    const QString folder = out(QStringLiteral("going"));
    QVERIFY(QDir().mkpath(folder));
    m_folder = QFile::encodeName(folder);
    m_fragments = {"-vf realtime"};
    m_batch->add(entryFor(m_long, "00:00:10"));
    QSignalSpy ended(m_batch.get(), &BatchRun::encodersEnded);
    m_batch->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_batch->entry(0).percent >= 10, RunTimeoutMs);
    QVERIFY(QDir(folder).removeRecursively());
    QVERIFY(ended.wait(RunTimeoutMs));
    QCOMPARE(m_batch->entry(0).state, EntryState::Failed);
    QCOMPARE(m_batch->entry(0).reason,
             QStringLiteral("The output file %1 disappeared while ffmpeg wrote it (was its folder removed?)")
                 .arg(folder + QStringLiteral("/long.part.mp4")));
}

void BatchRunTest::failureReasonLeavesOutTheProgressLine()
{
    // A file size limit makes the write fail part-way, right after a progress
    // line that ffmpeg ended with a carriage return.
    useEncoderScript("ulimit -f 64\ntrap '' XFSZ\nset -- -stats_period 0.05 \"$@\"");
    m_fragments = {"-vf realtime=speed=2", "-b:v 2M"};
    m_batch->add(entryFor(m_long, "00:00:10"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    const BatchEntry &entry = m_batch->entry(0);
    QCOMPARE(entry.state, EntryState::Failed);
    QVERIFY2(std::any_of(m_watch->status.cbegin(), m_watch->status.cend(),
                         [](const QString &line) { return line.startsWith(QLatin1String("frame=")); }),
             "no progress line came before the failure");
    QVERIFY2(entry.reason.split(QLatin1Char('\n')).contains(QStringLiteral("av_interleaved_write_frame(): File too large")),
             qPrintable(entry.reason));
    for (const char *remnant : {"bitrate=", "speed=", "time="})
        QVERIFY2(!entry.reason.contains(QLatin1String(remnant)), qPrintable(entry.reason));
}

void BatchRunTest::longNamesConvert()
{
    // "base.mp4" fits the file system's 255 bytes, "base.part.mp4" would not.
    const QString base = QString(124, QChar(0xe9)) + QLatin1String("ab"); // 250 bytes
    const QString source = m_out->filePath(base + QLatin1String(".avi"));
    QVERIFY(QFile::copy(m_clip, source));
    m_folder = QFile::encodeName(out(QStringLiteral("converted")));
    QVERIFY(QDir().mkpath(QFile::decodeName(m_folder)));
    m_batch->add(entryFor(source, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);
    QCOMPARE(m_batch->entry(0).state, EntryState::Done);
    QCOMPARE(m_batch->entry(0).output, QFile::decodeName(m_folder) + QLatin1Char('/') + base + QLatin1String(".mp4"));
    QCOMPARE(QDir(QFile::decodeName(m_folder)).entryList(QDir::Files | QDir::Hidden),
             QStringList{base + QLatin1String(".mp4")});
}

void BatchRunTest::severalEncodersConvertEveryEntryOnce_data()
{
    QTest::addColumn<int>("encoders");
    QTest::newRow("two") << 2;
    QTest::newRow("three") << 3;
}

void BatchRunTest::severalEncodersConvertEveryEntryOnce()
{
    QFETCH(int, encoders);
    m_batch->setSimultaneous(encoders);
    // At the pace of playing, so that the encoders overlap for sure; three
    // sources share the output name "clip", one is no video at all.
    m_fragments = {"-vf realtime"};
    const QList<std::pair<QString, QByteArray>> sources{{m_long, "00:00:10"}, {m_clip, "00:00:01"},
                                                        {m_notes, "00:00:01"}, {m_twin, "00:00:02"},
                                                        {m_clip, "00:00:01"}, {m_twin, "00:00:02"}};
    for (const auto &[path, time] : sources)
        m_batch->add(entryFor(path, time));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    m_batch->start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, RunTimeoutMs);

    QCOMPARE(finished.first(), (QVariantList{5, 1}));
    QCOMPARE(m_watch->runs, (QStringList{"running", "idle", "finished 5 1"}));
    QCOMPARE(m_watch->mostEncoders, encoders);
    QCOMPARE(m_watch->mostConverting, encoders);
    // Each entry started once, top to bottom.
    QCOMPARE(m_watch->started, (QList<int>{0, 1, 2, 3, 4, 5}));
    // The failing entry beside the running ones disturbed none of them.
    QCOMPARE(m_batch->entry(2).state, EntryState::Failed);
    QSet<QString> outputs;
    for (int k : {0, 1, 3, 4, 5}) {
        const BatchEntry &entry = m_batch->entry(k);
        QCOMPARE(entry.state, EntryState::Done);
        QCOMPARE(entry.reason, "Written to " + entry.output);
        QVERIFY(decodes(entry.output));
        outputs << entry.output;
    }
    // Every output once, under a name of its own, and nothing else left.
    QCOMPARE(outputs.size(), 5);
    QCOMPARE(filesIn(m_out->path()),
             (QStringList{"clip (2).mp4", "clip (3).mp4", "clip (4).mp4", "clip.mp4", "long.mp4"}));
    QVERIFY2(qAbs(durationOf(out("long.mp4")) - 10) < 0.5, qPrintable(QString::number(durationOf(out("long.mp4")))));
}

void BatchRunTest::stopEndsEveryEncoderOfAParallelRun()
{
    m_batch->setSimultaneous(2);
    m_fragments = {"-vf realtime"};
    m_batch->add(entryFor(m_long, "00:00:10"));
    m_batch->add(entryFor(m_long, "00:00:10"));
    m_batch->add(entryFor(m_clip, "00:00:01"));
    QSignalSpy finished(m_batch.get(), &BatchRun::finished);
    QSignalSpy ended(m_batch.get(), &BatchRun::encodersEnded);
    m_batch->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_batch->runningEncoders() == 2 && m_batch->entry(0).percent >= 10
                                 && m_batch->entry(1).percent >= 10,
                             RunTimeoutMs);
    m_batch->stop();
    QCOMPARE(m_batch->state(), BatchRun::RunState::Stopping);
    QVERIFY(ended.wait(RunTimeoutMs));

    // Both partial files kept and playing, nothing more started.
    for (int k : {0, 1}) {
        const BatchEntry &stopped = m_batch->entry(k);
        QCOMPARE(stopped.state, EntryState::Stopped);
        QCOMPARE(stopped.reason, "Stopped; written to " + stopped.output);
        QVERIFY(decodes(stopped.output));
    }
    QCOMPARE(filesIn(m_out->path()), (QStringList{"long (2).mp4", "long.mp4"}));
    QCOMPARE(m_batch->entry(2).state, EntryState::Pending);
    QCOMPARE(m_watch->started, (QList<int>{0, 1}));
    QCOMPARE(finished.count(), 0);
    QCOMPARE(m_batch->state(), BatchRun::RunState::Idle);
}

void BatchRunTest::automaticFitsTheCoresAndTheFrames_data()
{
    QTest::addColumn<int>("cores");
    QTest::addColumn<qint64>("frame");
    QTest::addColumn<int>("encoders");
    QTest::newRow("2 cores, small or unknown frames") << 2 << qint64(0) << 2;
    QTest::newRow("2 cores, 640x360") << 2 << qint64(640 * 360) << 2;
    QTest::newRow("2 cores, 1080p") << 2 << qint64(1920 * 1080) << 1;
    QTest::newRow("8 cores, 720p") << 8 << qint64(1280 * 720) << 8;
    QTest::newRow("8 cores, 1080p") << 8 << qint64(1920 * 1080) << 4;
    QTest::newRow("8 cores, 4K") << 8 << qint64(3840 * 2160) << 2;
    QTest::newRow("32 cores, small") << 32 << qint64(320 * 240) << 8;
    QTest::newRow("1 core, 4K") << 1 << qint64(3840 * 2160) << 1;
}

void BatchRunTest::automaticFitsTheCoresAndTheFrames()
{
    QFETCH(int, cores);
    QFETCH(qint64, frame);
    QFETCH(int, encoders);
    QCOMPARE(BatchRun::automaticEncoders(cores, frame), encoders);
}

QTEST_GUILESS_MAIN(BatchRunTest)
#include "tst_batchrun.moc"
