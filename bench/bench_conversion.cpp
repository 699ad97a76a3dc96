// Converts twenty 2-second clips through the real main window (offscreen)
// and runs the same twenty ffmpeg command lines one after another directly,
// in turns (three rounds of each, so that both meet the machine in the same
// moods); prints both median wall times and their ratio, and the hand-over
// between entries in the window. Also prints what deciding an
// entry's streams costs before its start: for a plain clip (the media
// library's counts settle it) and for a clip with a subtitle track (the
// probe program runs).
//
// Run from the build tree: QT_QPA_PLATFORM=offscreen bench/bench_conversion
// (bin/ffmpeg must lie beside the program, as the build lays it out).

#include "process/commandline.h"
#include "widgets/errordisplay.h"
#include "conversion/ffmpegcommand.h"
#include "media/mediaquery.h"
#include "media/mediastreams.h"
#include "conversion/streammap.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "process/tjvcreateprocess.h"
#include "settings/tsqldatmod.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Clips = 20;
constexpr int Rounds = 3;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Median and worst milliseconds of deciding the streams of `clip`, over `rounds` runs.
QPair<double, double> decisionCost(const QByteArray &probe, const QString &clip, int rounds)
{
    QList<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        const StreamMap::Decision decision = StreamMap::decide(MediaStreams::streams(probe, clip.toLocal8Bit()));
        times << clock.nsecsElapsed() / 1e6;
        if (decision.arguments.isEmpty())
            std::fprintf(stderr, "no streams found in %s\n", qPrintable(clip));
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.last()};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString programDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../halvora/");
    if (!QFile::copy(programDir + QStringLiteral("LibFFmpeg.Dat"), dir.filePath(QStringLiteral("LibFFmpeg.Dat")))) {
        std::fprintf(stderr, "no LibFFmpeg.Dat in %s\n", qPrintable(programDir));
        return 1;
    }
    QDir().mkpath(dir.filePath(QStringLiteral("window")));
    QDir().mkpath(dir.filePath(QStringLiteral("direct")));

    std::printf("making %d clips of 2 s (320x240 H.264/AAC)...\n", Clips);
    QStringList clips;
    for (int i = 0; i < Clips; ++i) {
        const QString clip = dir.filePath(QStringLiteral("clip%1.mp4").arg(i, 2, 10, QLatin1Char('0')));
        if (!run({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=2", "-f",
                  "lavfi", "-i", "sine=duration=2", "-c:v", "libx264", "-c:a", "aac", "-shortest", clip.toLocal8Bit()}))
            return 1;
        clips << clip;
    }

    // A clip with two audio tracks and a subtitle track, whose streams the probe reads.
    const QString subtitles = dir.filePath(QStringLiteral("subtitles.srt"));
    QFile srt(subtitles);
    if (!srt.open(QIODevice::WriteOnly) || srt.write("1\n00:00:00,000 --> 00:00:01,000\nHello\n") < 0)
        return 1;
    srt.close();
    const QString subtitled = dir.filePath(QStringLiteral("subtitled.mkv"));
    if (!run({"ffmpeg", "-nostdin", "-y", "-i", clips[0].toLocal8Bit(), "-i", clips[1].toLocal8Bit(), "-i",
              subtitles.toLocal8Bit(), "-map", "0", "-map", "1:a", "-map", "2", "-c", "copy", "-c:s", "srt",
              subtitled.toLocal8Bit()}))
        return 1;
    const QString encoder = QCoreApplication::applicationDirPath() + QStringLiteral("/bin/ffmpeg");
    const QByteArray probe = FFmpegCommand::probeProgram(encoder.toLocal8Bit());
    decisionCost(probe, clips[0], 1); // loads the media library
    const QPair<double, double> plainCost = decisionCost(probe, clips[0], 50);
    const QPair<double, double> probedCost = decisionCost(probe, subtitled, 20);
    // For scale: the panel query every entry's start already runs.
    QList<double> panelTimes;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        MediaQuery::panel(clips[0].toLocal8Bit());
        panelTimes << clock.nsecsElapsed() / 1e6;
    }
    std::sort(panelTimes.begin(), panelTimes.end());

    TSqlDatMod module;
    ErrorDisplay::setBoxFunction([](ErrorDisplay::BoxKind, const QString &, const QString &text) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    });
    TFFmpegFrm window;
    window.show();
    QCoreApplication::processEvents();
    for (const QString &clip : clips) {
        TFFmpegFunc::setOpenDialogFunction([clip](QFileDialog *) { return clip; });
        TFFmpegFunc().AddVideoFile();
    }

    // The command lines the window will run, made the same way, for the direct runs.
    window.JvEditDir->setText(dir.filePath(QStringLiteral("direct")));
    QList<QList<QByteArray>> commands;
    for (int k = 0; k < Clips; ++k) {
        {
            const QSignalBlocker quiet(window.JvEditNumb);
            window.JvEditNumb->setText(QString::number(k));
        }
        const QByteArray output = QFile::encodeName(dir.filePath(QStringLiteral("direct/%1.mp4").arg(k)));
        commands << splitCommandLine(TFFmpegFunc().BuildCommandLine(output));
    }
    {
        const QSignalBlocker quiet(window.JvEditNumb);
        window.JvEditNumb->setText(QStringLiteral("-1"));
    }
    window.JvEditDir->setText(dir.filePath(QStringLiteral("window")));

    // The hand-over between entries: from an encoder's end being reported to
    // the next encoder running (the end handler starts it).
    QList<double> handOvers;
    const TJvCreateProcess::TerminateEvent endHandler = window.JvCreateProcess->OnTerminate;
    window.JvCreateProcess->OnTerminate = [&](TJvCreateProcess *sender, std::uint32_t exitCode) {
        QElapsedTimer handOver;
        handOver.start();
        endHandler(sender, exitCode);
        if (sender->isWatching())
            handOvers << handOver.nsecsElapsed() / 1e6;
    };

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
        clock.restart();
        window.ConvFileBtn->click();
        // Sleeps until the next event (without a time limit Qt really waits).
        while (window.BatchRunning)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        throughWindow << clock.nsecsElapsed() / 1e9;
        std::printf("round %d: direct %.2f s, through the window %.2f s\n", round + 1, direct.last(),
                    throughWindow.last());
    }

    std::printf("direct, one after another: median %.2f s\n", median(direct));
    std::printf("through the window:        median %.2f s\n", median(throughWindow));
    std::printf("ratio window / direct:     %.3f\n", median(throughWindow) / median(direct));
    std::sort(handOvers.begin(), handOvers.end());
    if (!handOvers.isEmpty())
        std::printf("hand-over between entries: median %.2f ms, worst %.2f ms (%lld)\n",
                    handOvers[handOvers.size() / 2], handOvers.last(), qlonglong(handOvers.size()));
    std::printf("stream decision, plain clip (media library):  median %.2f ms, worst %.2f ms\n", plainCost.first,
                plainCost.second);
    std::printf("stream decision, subtitled clip (probe):      median %.2f ms, worst %.2f ms\n", probedCost.first,
                probedCost.second);
    std::printf("panel query (already run per entry):          median %.2f ms, worst %.2f ms\n",
                panelTimes[panelTimes.size() / 2], panelTimes.last());
    return 0;
}
