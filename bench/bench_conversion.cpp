// Converts twenty 2-second clips through the real main window (offscreen)
// and runs the same twenty ffmpeg command lines one after another directly,
// in turns (three rounds of each, so that both meet the machine in the same
// moods); prints both median wall times and their ratio, and the hand-over
// between entries in the window. Also prints what deciding an entry's
// streams costs: for a plain clip (the media library's counts settle it, on
// the GUI thread) and for a clip with a subtitle track (the probe program
// runs as a child: the GUI thread's share, and the time until the answer).
//
// Last, the longest GUI-thread stall while entries are prepared behind a
// slow probe: a bin/ folder whose ffprobe sleeps before it runs the real one,
// and a batch of subtitled clips, whose streams only the probe can tell. A
// 1 ms timer on the GUI thread measures the longest gap between its ticks
// over the whole batch, and apart the longest gap while a probe ran.
// BENCH_SHOW_STALLS=1 lists every gap over 20 ms.
//
// First of all, a 30 s H.264 file with the default choices through the
// window, its streams copied against encoded again (aim: copying at least 20
// times faster; BENCH_COPY_ONLY=1 prints only this). Then the time left that
// the run's progress predicts at 25, 50 and 75 % of a batch of mixed clips (6,
// 15 and 30 s long, 320x240 to 1280x720, in a mixed order), against the time
// the batch actually took from there (aim: within 15 %). BENCH_TIME_LEFT_ONLY=1
// stops after this figure.
//
// Run from the build tree: QT_QPA_PLATFORM=offscreen bench/bench_conversion
// (bin/ffmpeg must lie beside the program, as the build lays it out).

#include "batch/batchprogress.h"
#include "batch/batchrun.h"
#include "batch/preparedstreams.h"
#include "conversion/ffmpegcommand.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "media/mediaquery.h"
#include "process/commandline.h"
#include "process/tjvcreateprocess.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <utility>
#include <vector>

namespace {

constexpr int Clips = 20;
constexpr int Rounds = 3;
// The slow-probe batch: its entries and how long the probe sleeps first.
constexpr int SlowEntries = 5;
constexpr int ProbeDelayMs = 2000;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double worst(const QList<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

qint64 clockNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool run(const QList<QByteArray> &arguments)
{
    QStringList args;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        args << QString::fromLocal8Bit(arguments[i]);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromLocal8Bit(arguments[0]), args);
    process.closeWriteChannel();
    // Drain the output as the runner does, so both sides pay for reading it.
    while (process.waitForReadyRead(-1))
        process.readAll();
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "failed: %s\n", joinCommandLine(arguments).constData());
        return false;
    }
    return true;
}

// Adds the paths through the window, as a drop or the command line does, and
// waits (a minute at most) until its intake has taken them.
void addFiles(TFFmpegFrm &window, const QList<QByteArray> &paths)
{
    QEventLoop loop;
    QObject::connect(&window.intake(), &IntakeQueue::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    TFFmpegFunc(window).AddVideoFiles(paths);
    if (window.intake().isBusy())
        loop.exec();
}

// Runs the event loop until the batch's run is over and its last encoder has
// ended; false when `timeoutMs` passed first. Sleeps until the model reports.
bool waitForBatchEnd(BatchRun &batch, int timeoutMs)
{
    const auto over = [&batch] { return batch.state() == BatchRun::RunState::Idle && batch.runningEncoders() == 0; };
    if (over())
        return true;
    QEventLoop loop;
    const auto check = [&] {
        if (over())
            loop.quit();
    };
    QObject::connect(&batch, &BatchRun::runningChanged, &loop, check);
    QObject::connect(&batch, &BatchRun::encodersEnded, &loop, check);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return over();
}

// Decides the streams of `clip` `rounds` times: the milliseconds decide()
// holds the GUI thread, and those until the decision is there.
struct DecisionCost {
    QList<double> inCall;
    QList<double> untilAnswer;
    StreamMap::Decision decision;
};

DecisionCost decisionCost(PreparedStreams &streams, const QByteArray &clip, int rounds)
{
    DecisionCost cost;
    for (int i = 0; i < rounds; ++i) {
        QEventLoop loop;
        bool answered = false;
        QElapsedTimer clock;
        clock.start();
        streams.decide(clip, [&](const StreamMap::Decision &decision) {
            cost.untilAnswer << clock.nsecsElapsed() / 1e6;
            cost.decision = decision;
            answered = true;
            loop.quit();
        });
        cost.inCall << clock.nsecsElapsed() / 1e6;
        // The probe answers within its time limit, with or without a list.
        if (!answered)
            loop.exec();
        if (cost.decision.arguments.isEmpty())
            std::fprintf(stderr, "no streams found in %s\n", clip.constData());
    }
    return cost;
}

// The encoders the batch runs report their end through a handler that also
// starts the next entry: timed here, it is the hand-over from one encoder's
// end being reported to the next encoder running.
void timeHandOvers(BatchRun &batch, QList<double> &handOvers)
{
    for (TJvCreateProcess *process : batch.findChildren<TJvCreateProcess *>(Qt::FindDirectChildrenOnly)) {
        if (process->property("benchTimed").toBool())
            continue;
        process->setProperty("benchTimed", true);
        const TJvCreateProcess::TerminateEvent endHandler = process->OnTerminate;
        process->OnTerminate = [&batch, &handOvers, endHandler](TJvCreateProcess *sender, std::uint32_t exitCode) {
            QElapsedTimer handOver;
            handOver.start();
            endHandler(sender, exitCode);
            if (batch.runningEncoders() > 0)
                handOvers << handOver.nsecsElapsed() / 1e6;
        };
    }
}

QList<BatchEntry> entriesOf(const BatchRun &batch)
{
    QList<BatchEntry> entries;
    for (int k = 0; k < batch.count(); ++k)
        entries << batch.entry(k);
    return entries;
}

// The time left predicted as a run first reaches each mark, and the status
// line then.
struct Prediction {
    double mark;
    double elapsed; // seconds into the run
    double left;    // predicted seconds left; -1: still estimating
    QString status;
};

const double Marks[] = {0.25, 0.5, 0.75};

// Converts the window's list once, predicting as the window does; the
// predictions and the seconds the run took, -1 when it did not convert.
std::pair<QList<Prediction>, double> predictRun(TFFmpegFrm &window)
{
    const WindowControls controls(&window);
    BatchRun &batch = window.batch();
    QList<Prediction> predictions;
    BatchProgress progress;
    QElapsedTimer clock;
    double end = -1;
    int converted = -1;
    const auto sample = [&] {
        if (!batch.isRunning())
            return;
        const BatchProgress::Summary summary = progress.summary(entriesOf(batch));
        while (predictions.size() < 3 && summary.fraction >= Marks[predictions.size()])
            predictions << Prediction{Marks[predictions.size()], clock.elapsed() / 1000.0, summary.secondsLeft,
                                      controls.JvEditCmdMsg->text()};
    };
    const QMetaObject::Connection sampling = QObject::connect(&batch, &BatchRun::entryChanged, &window, sample);
    const QMetaObject::Connection ending = QObject::connect(&batch, &BatchRun::finished, &window, [&](int c, int) {
        end = clock.elapsed() / 1000.0;
        converted = c;
    });
    progress.begin(entriesOf(batch));
    clock.start();
    controls.ConvFileBtn->click();
    const bool ended = waitForBatchEnd(batch, 600000);
    QObject::disconnect(sampling);
    QObject::disconnect(ending);
    if (!ended || converted != batch.count()) {
        std::fprintf(stderr, "the mixed batch did not convert (%d converted)\n", converted);
        return {predictions, -1};
    }
    return {predictions, end};
}

// Converts a batch of mixed clips through the window, a few times, and
// prints the time left predicted at 25, 50 and 75 % against the actual end.
// False when the batch could not be made or did not convert.
bool timeLeftFigures(TFFmpegFrm &window, const QDir &dir)
{
    struct Clip {
        int seconds;
        const char *size;
    };
    // Each length and each size three times, no length or size twice in a
    // row; MPEG-2 and MP2, which the batch encodes (it would copy H.264 and AAC).
    const Clip mix[] = {{15, "640x360"}, {6, "1280x720"}, {30, "320x240"}, {15, "1280x720"}, {6, "320x240"},
                        {30, "640x360"}, {15, "320x240"}, {30, "1280x720"}, {6, "640x360"}};
    constexpr int TimeLeftRounds = 3;
    dir.mkpath(QStringLiteral("mixed/out"));
    QList<QByteArray> sources;
    int mediaSeconds = 0;
    for (const Clip &clip : mix) {
        const QByteArray path = QFile::encodeName(
            dir.filePath(QStringLiteral("mixed/%1-%2s-%3.mkv").arg(sources.size()).arg(clip.seconds).arg(clip.size)));
        const QByteArray duration = QByteArray::number(clip.seconds);
        if (!run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "testsrc2=size=" + QByteArray(clip.size) + ":rate=25:duration=" + duration, "-f", "lavfi", "-i",
                  "sine=duration=" + duration, "-c:v", "mpeg2video", "-q:v", "4", "-c:a", "mp2", "-shortest", path}))
            return false;
        sources << path;
        mediaSeconds += clip.seconds;
    }
    const WindowControls controls(&window);
    BatchRun &batch = window.batch();
    controls.JvEditDir->setText(dir.filePath(QStringLiteral("mixed/out")));
    std::printf("time left: %lld clips of 6, 15 and 30 s at 320x240, 640x360 and 1280x720 (%d s in all), "
                "%d rounds\n",
                qlonglong(sources.size()), mediaSeconds, TimeLeftRounds);
    std::fflush(stdout);

    QList<double> errors[3];
    for (int round = 0; round < TimeLeftRounds; ++round) {
        controls.ClearFileBtn->click();
        addFiles(window, sources);
        if (batch.count() != int(sources.size())) {
            std::fprintf(stderr, "the window took %d of %lld mixed clips\n", batch.count(), qlonglong(sources.size()));
            return false;
        }
        const auto [predictions, end] = predictRun(window);
        if (end < 0)
            return false;
        // Other work on the machine changes the speed under the estimate.
        QFile loadAverage(QStringLiteral("/proc/loadavg"));
        const QByteArray load = loadAverage.open(QIODevice::ReadOnly) ? loadAverage.readAll().split(' ').value(0) : "?";
        std::printf("round %d: %d encoders at once, batch %.1f s, load average %s on %d cores\n", round + 1,
                    batch.encoderLimit(), end, load.constData(), QThread::idealThreadCount());
        for (const Prediction &p : predictions) {
            const double actual = end - p.elapsed;
            if (p.left < 0) {
                std::printf("  at %2.0f %% (%.1f s in): still estimating; actual %.1f s left\n", p.mark * 100,
                            p.elapsed, actual);
                continue;
            }
            const double error = (p.left / actual - 1) * 100;
            errors[&p - predictions.data()] << std::abs(error);
            std::printf("  at %2.0f %% (%.1f s in): predicted %.1f s left, actual %.1f s (%+.1f %%); status line: %s\n",
                        p.mark * 100, p.elapsed, p.left, actual, error, qPrintable(p.status));
        }
        std::fflush(stdout);
    }
    std::printf("time left, median error (aim: within 15 %%):");
    for (int k = 0; k < 3; ++k) {
        if (!errors[k].isEmpty())
            std::printf(" at %2.0f %% %.1f %%%s", Marks[k] * 100, median(errors[k]), k < 2 ? "," : "");
    }
    std::printf("\n");
    std::fflush(stdout);
    controls.ClearFileBtn->click();
    return true;
}

// Converts a 30 s 1280x720 H.264 file with stereo AAC at 128 kb/s through the
// window with the default choices, its streams copied and, with "Re-encode
// streams that already fit" ticked, encoded again; prints the best time of
// each and their ratio. Once as .mp4, which tells the audio's bitrate (so the
// audio fits the default 128 kb/s and is copied too), once as .mkv, which does
// not (the audio is encoded again).
bool copyFigures(TFFmpegFrm &window, const QDir &dir)
{
    const WindowControls controls(&window);
    BatchRun &batch = window.batch();
    auto *reencode = window.findChild<QCheckBox *>(QStringLiteral("JvCheckReencode"));
    for (const char *extension : {"mp4", "mkv"}) {
        const QByteArray source = QFile::encodeName(dir.filePath(QStringLiteral("copy-source.%1").arg(extension)));
        if (!run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=30", "-f",
                  "lavfi", "-i", "sine=duration=30", "-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                  "-c:a", "aac", "-b:a", "128k", "-ac", "2", "-shortest", source}))
            return false;
        controls.ClearFileBtn->click();
        addFiles(window, {source});
        if (batch.count() != 1 || !reencode) {
            std::fprintf(stderr, "the window did not take the H.264 source\n");
            return false;
        }
        std::printf("copy against re-encode: a 30 s 1280x720 H.264/AAC .%s, the default choices, best of 2\n",
                    extension);
        std::fflush(stdout);
        double best[2] = {1e9, 1e9};
        QString notes[2];
        for (int round = 0; round < 4; ++round) {
            const bool again = round % 2 == 1;
            if (reencode->isChecked() != again)
                reencode->click();
            const QString folder = dir.filePath(QStringLiteral("copy/%1-%2").arg(QLatin1String(extension)).arg(round));
            QDir().mkpath(folder);
            controls.JvEditDir->setText(folder);
            QElapsedTimer clock;
            clock.start();
            controls.ConvFileBtn->click();
            if (!waitForBatchEnd(batch, 600000) || batch.entry(0).state != EntryState::Done) {
                std::fprintf(stderr, "the H.264 source did not convert: %s\n", qPrintable(batch.entry(0).reason));
                return false;
            }
            best[again] = std::min(best[again], clock.nsecsElapsed() / 1e9);
            notes[again] = batch.entry(0).streamNote;
        }
        if (reencode->isChecked())
            reencode->click();
        std::printf("  copied:     %6.2f s  (%s)\n", best[0], qPrintable(QString(notes[0]).replace(QLatin1Char('\n'), QLatin1String("; "))));
        std::printf("  re-encoded: %6.2f s\n", best[1]);
        std::printf("  copying is %.0f times faster (aim: at least 20)\n", best[1] / best[0]);
        std::fflush(stdout);
    }
    controls.ClearFileBtn->click();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString database = dir.filePath(QStringLiteral("LibFFmpeg.Dat"));
    if (!QFile::copy(QStringLiteral(HALVORA_PROGRAM_DIR "/LibFFmpeg.Dat"), database)) {
        std::fprintf(stderr, "no LibFFmpeg.Dat in %s\n", HALVORA_PROGRAM_DIR);
        return 1;
    }
    QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner);
    for (const char *folder : {"window", "direct", "slow/bin", "slow/out"})
        QDir().mkpath(dir.filePath(QLatin1String(folder)));

    std::printf("making %d clips of 2 s (320x240 H.264/AAC)...\n", Clips);
    std::fflush(stdout);
    QList<QByteArray> clips;
    for (int i = 0; i < Clips; ++i) {
        const QByteArray clip = QFile::encodeName(dir.filePath(QStringLiteral("clip%1.mp4").arg(i, 2, 10, QLatin1Char('0'))));
        if (!run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f",
                  "lavfi", "-i", "sine=duration=2", "-c:v", "libx264", "-c:a", "aac", "-shortest", clip}))
            return 1;
        clips << clip;
    }

    // A clip with two audio tracks and a subtitle track, whose streams the probe reads.
    const QString subtitles = dir.filePath(QStringLiteral("subtitles.srt"));
    QFile srt(subtitles);
    if (!srt.open(QIODevice::WriteOnly) || srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n") < 0)
        return 1;
    srt.close();
    const QByteArray subtitled = QFile::encodeName(dir.filePath(QStringLiteral("subtitled.mkv")));
    if (!run({"ffmpeg", "-nostdin", "-y", "-i", clips[0], "-i", clips[1], "-i", QFile::encodeName(subtitles), "-map",
              "0", "-map", "1:a", "-map", "2", "-c", "copy", "-c:s", "srt", subtitled}))
        return 1;

    ErrorDisplay::setBoxFunction([](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    });
    // Each round converts the whole list again: Convert asks first when every file is done.
    TFFmpegFunc::setQuestionFunction([](QWidget *, const QString &) { return true; });

    // Deciding streams as the batch does, with the encoder beside this program.
    const QByteArray encoder = QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/bin/ffmpeg"));
    PreparedStreams streams;
    streams.setProbeProgram(FFmpegCommand::probeProgram(encoder));
    if (FFmpegCommand::probeProgram(encoder).isEmpty())
        std::fprintf(stderr, "no ffprobe beside %s: the subtitled clip is decided without it\n", encoder.constData());
    decisionCost(streams, clips[0], 1); // loads the media library
    const DecisionCost plainCost = decisionCost(streams, clips[0], 50);
    const DecisionCost probedCost = decisionCost(streams, subtitled, 20);
    if (probedCost.decision.arguments.size() <= plainCost.decision.arguments.size())
        std::fprintf(stderr, "the subtitled clip's decision keeps no more streams than the plain one's\n");
    // For scale: the panel query every entry's start already runs.
    QList<double> panelTimes;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        MediaQuery::panel(clips[0]);
        panelTimes << clock.nsecsElapsed() / 1e6;
    }

    TSqlDatMod module;
    TFFmpegFrm window;
    const WindowControls controls(&window);
    BatchRun &batch = window.batch();
    window.show();
    QCoreApplication::processEvents();
    if (!copyFigures(window, QDir(dir.path())))
        return 1;
    if (qEnvironmentVariableIsSet("BENCH_COPY_ONLY"))
        return 0;
    if (!timeLeftFigures(window, QDir(dir.path())))
        return 1;
    if (qEnvironmentVariableIsSet("BENCH_TIME_LEFT_ONLY"))
        return 0;
    for (const QByteArray &clip : clips) {
        TFFmpegFunc::setOpenDialogFunction([clip](QFileDialog *) { return QStringList{QFile::decodeName(clip)}; });
        TFFmpegFunc(window).AddVideoFile();
    }
    TFFmpegFunc::setOpenDialogFunction({});
    // Picked files are added in slices once the picking has returned.
    if (window.intake().isBusy()) {
        QEventLoop loop;
        QObject::connect(&window.intake(), &IntakeQueue::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (batch.count() != Clips) {
        std::fprintf(stderr, "the window took %d of %d clips\n", batch.count(), Clips);
        return 1;
    }

    // The command lines the window will run, made the same way, for the direct runs.
    controls.JvEditDir->setText(dir.filePath(QStringLiteral("direct")));
    EntryOptions options;
    try {
        options = TFFmpegFunc(window).OutputOptions();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    QList<QList<QByteArray>> commands;
    for (int k = 0; k < Clips; ++k) {
        StreamMap::Decision decision;
        streams.decide(clips[k], [&decision](const StreamMap::Decision &decided) { decision = decided; });
        const QByteArray output = QFile::encodeName(dir.filePath(QStringLiteral("direct/%1.mp4").arg(k)));
        commands << splitCommandLine(
            FFmpegCommand::commandLine(batch.encoder(), clips[k], decision.arguments, options.fragments, output));
    }
    controls.JvEditDir->setText(dir.filePath(QStringLiteral("window")));

    QList<double> handOvers;
    // Each encoder is timed once it runs: its entry has changed by then.
    const QMetaObject::Connection timing = QObject::connect(&batch, &BatchRun::entryChanged, &application, [&] {
        QTimer::singleShot(0, &application, [&] { timeHandOvers(batch, handOvers); });
    });
    int converted = 0;
    int failed = 0;
    const QMetaObject::Connection outcome = QObject::connect(&batch, &BatchRun::finished, &application, [&](int c, int f) {
        converted = c;
        failed = f;
    });

    QList<double> direct;
    QList<double> throughWindow;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (const QList<QByteArray> &command : commands) {
            if (!run(command))
                return 1;
        }
        direct << clock.nsecsElapsed() / 1e9;

        // Each round writes into an empty folder, as the first did.
        QDir output(dir.filePath(QStringLiteral("window")));
        for (const QString &file : output.entryList(QDir::Files))
            output.remove(file);
        converted = failed = -1;
        clock.restart();
        controls.ConvFileBtn->click();
        if (!waitForBatchEnd(batch, 600000)) {
            std::fprintf(stderr, "the window's batch did not end within 10 minutes\n");
            return 1;
        }
        throughWindow << clock.nsecsElapsed() / 1e9;
        std::printf("round %d: direct %.2f s, through the window %.2f s (converted %d, failed %d)\n", round + 1,
                    direct.last(), throughWindow.last(), converted, failed);
        std::fflush(stdout);
        if (converted != Clips) {
            for (int k = 0; k < batch.count(); ++k) {
                if (batch.entry(k).state != EntryState::Done)
                    std::fprintf(stderr, "entry %d: %s\n", k, qPrintable(batch.entry(k).reason));
            }
            return 1;
        }
    }
    QObject::disconnect(timing);

    std::printf("direct, one after another: median %.2f s\n", median(direct));
    std::printf("through the window:        median %.2f s\n", median(throughWindow));
    std::printf("ratio window / direct:     %.3f\n", median(throughWindow) / median(direct));
    if (!handOvers.isEmpty())
        std::printf("hand-over between entries (encoder end reported -> next encoder running): median %.2f ms, "
                    "worst %.2f ms (%lld)\n",
                    median(handOvers), worst(handOvers), qlonglong(handOvers.size()));
    else
        std::printf("hand-over between entries: not measured (no encoder of the batch was found)\n");
    std::printf("stream decision, plain clip (media library, GUI thread): median %.2f ms, worst %.2f ms\n",
                median(plainCost.inCall), worst(plainCost.inCall));
    std::printf("stream decision, subtitled clip (probe child):\n");
    std::printf("  GUI thread held by decide():                           median %.2f ms, worst %.2f ms\n",
                median(probedCost.inCall), worst(probedCost.inCall));
    std::printf("  until the decision arrives:                            median %.2f ms, worst %.2f ms\n",
                median(probedCost.untilAnswer), worst(probedCost.untilAnswer));
    std::printf("panel query (already run per entry):                     median %.2f ms, worst %.2f ms\n",
                median(panelTimes), worst(panelTimes));
    std::fflush(stdout);

    // The slow probe: bin/ffmpeg links to the real one, bin/ffprobe sleeps
    // first and logs when each run starts and ends, so that stalls can be
    // matched to probe runs.
    const QString realFFmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString realProbe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (realFFmpeg.isEmpty() || realProbe.isEmpty()) {
        std::fprintf(stderr, "ffmpeg and ffprobe must be on PATH\n");
        return 1;
    }
    const QString slowBin = dir.filePath(QStringLiteral("slow/bin"));
    const QString probeLog = dir.filePath(QStringLiteral("slow/probe.log"));
    if (!QFile::link(realFFmpeg, slowBin + QStringLiteral("/ffmpeg")))
        return 1;
    QFile script(slowBin + QStringLiteral("/ffprobe"));
    if (!script.open(QIODevice::WriteOnly))
        return 1;
    script.write(QStringLiteral("#!/bin/sh\n"
                                "echo \"start $$ $(date +%s%N)\" >> '%1'\n"
                                "sleep %2\n"
                                "'%3' \"$@\"\n"
                                "status=$?\n"
                                "echo \"end $$ $(date +%s%N)\" >> '%1'\n"
                                "exit $status\n")
                     .arg(probeLog, QString::number(ProbeDelayMs / 1000.0), realProbe)
                     .toLocal8Bit());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QList<QByteArray> slowSources;
    for (int i = 0; i < SlowEntries; ++i) {
        const QString source = dir.filePath(QStringLiteral("slow/subtitled%1.mkv").arg(i));
        if (!QFile::copy(QFile::decodeName(subtitled), source))
            return 1;
        slowSources << QFile::encodeName(source);
    }

    controls.ClearFileBtn->click();
    batch.setEncoder(QFile::encodeName(slowBin + QStringLiteral("/ffmpeg")));
    controls.JvEditDir->setText(dir.filePath(QStringLiteral("slow/out")));
    addFiles(window, slowSources);
    if (batch.count() != SlowEntries) {
        std::fprintf(stderr, "the window took %d of %d subtitled clips\n", batch.count(), SlowEntries);
        return 1;
    }

    // Every tick: the gap since the one before, in wall-clock and GUI-thread
    // CPU time (which a busy machine does not inflate), and when it ended (on
    // the clock the probe's log uses).
    struct Gap {
        qint64 ns;
        qint64 cpuNs;
        qint64 endNs;
    };
    std::vector<Gap> gaps;
    gaps.reserve(200000);
    qint64 lastTick = 0;
    qint64 lastCpu = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clockNs(CLOCK_REALTIME);
        const qint64 cpu = clockNs(CLOCK_THREAD_CPUTIME_ID);
        gaps.push_back({now - lastTick, cpu - lastCpu, now});
        lastTick = now;
        lastCpu = cpu;
    });
    converted = failed = -1;
    QElapsedTimer slowClock;
    slowClock.start();
    lastTick = clockNs(CLOCK_REALTIME);
    lastCpu = clockNs(CLOCK_THREAD_CPUTIME_ID);
    ticker.start();
    controls.ConvFileBtn->click();
    const bool ended = waitForBatchEnd(batch, 120000);
    ticker.stop();
    const double slowSeconds = slowClock.nsecsElapsed() / 1e9;
    QObject::disconnect(outcome);
    if (!ended)
        std::fprintf(stderr, "the slow-probe batch did not end within 2 minutes\n");

    // The probe runs, from the log: start and end by process id.
    std::map<QByteArray, std::pair<qint64, qint64>> probeRuns;
    QFile log(probeLog);
    if (log.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : log.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() != 3)
                continue;
            auto &times = probeRuns.try_emplace(fields[1], 0, 0).first->second;
            (fields[0] == "start" ? times.first : times.second) = fields[2].toLongLong();
        }
    }
    // The longest gaps: over the batch, while a probe ran, while none ran,
    // and in GUI-thread CPU time.
    Gap longest{0, 0, 0};
    Gap longestProbing{0, 0, 0};
    Gap longestIdle{0, 0, 0};
    qint64 longestCpuNs = 0;
    const qint64 firstTick = gaps.empty() ? 0 : gaps.front().endNs - gaps.front().ns;
    const bool showStalls = qEnvironmentVariableIsSet("BENCH_SHOW_STALLS");
    for (const Gap &gap : gaps) {
        // A gap overlapping a probe run counts as one while a probe ran.
        const bool probing = std::any_of(probeRuns.begin(), probeRuns.end(), [&gap](const auto &probe) {
            const auto [start, end] = probe.second;
            return gap.endNs - gap.ns < (end != 0 ? end : gap.endNs) && gap.endNs > start;
        });
        if (showStalls && gap.ns > 20000000)
            std::printf("  gap of %.1f ms (%.1f ms CPU) ending %.3f s into the batch%s\n", gap.ns / 1e6, gap.cpuNs / 1e6,
                        (gap.endNs - firstTick) / 1e9, probing ? ", a probe running" : "");
        for (Gap *kept : {&longest, probing ? &longestProbing : &longestIdle}) {
            if (gap.ns > kept->ns)
                *kept = gap;
        }
        longestCpuNs = std::max(longestCpuNs, gap.cpuNs);
    }

    std::printf("slow probe: %d subtitled entries, the probe sleeping %d ms before it reads\n", SlowEntries,
                ProbeDelayMs);
    std::printf("  converted %d, failed %d; %zu probe runs; batch %.2f s; %zu ticks of a 1 ms timer\n", converted,
                failed, probeRuns.size(), slowSeconds, gaps.size());
    std::printf("  longest GUI-thread gap over the batch (aim: well under 100 ms): %.2f ms wall clock "
                "(%.2f ms of it GUI-thread CPU time)\n",
                longest.ns / 1e6, longest.cpuNs / 1e6);
    std::printf("  longest gap while a probe ran:                                   %.2f ms (%.2f ms CPU)\n",
                longestProbing.ns / 1e6, longestProbing.cpuNs / 1e6);
    std::printf("  longest gap while no probe ran:                                  %.2f ms (%.2f ms CPU)\n",
                longestIdle.ns / 1e6, longestIdle.cpuNs / 1e6);
    std::printf("  most GUI-thread CPU time between two ticks:                      %.2f ms\n", longestCpuNs / 1e6);
    // The subtitle track is kept; anything left out is named.
    for (int k = 0; k < batch.count(); ++k) {
        if (!batch.entry(k).streamNote.isEmpty())
            std::printf("  entry %d leaves out: %s\n", k, qPrintable(batch.entry(k).streamNote));
    }
    if (converted != SlowEntries) {
        for (int k = 0; k < batch.count(); ++k) {
            if (batch.entry(k).state != EntryState::Done)
                std::fprintf(stderr, "entry %d: %s\n", k, qPrintable(batch.entry(k).reason));
        }
        return 1;
    }
    if (probeRuns.size() < std::size_t(SlowEntries)) {
        std::fprintf(stderr, "the slow probe ran %zu times for %d entries\n", probeRuns.size(), SlowEntries);
        return 1;
    }
    return 0;
}
