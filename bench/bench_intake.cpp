// Drops a folder of 500 clips on the main window (offscreen) and prints the
// time per added file against one `mediainfo` command-line run on the same
// clip, and the longest stall of the GUI thread while the list fills.

#include "benchsupport.h"
#include "intake/intakequeue.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "settings/tsqldatmod.h"
#include "tests/windowcontrols.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mp4"));
    if (!BenchSupport::run(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                        "testsrc=size=320x240:rate=25:duration=5", "-f", "lavfi", "-i",
                                        "sine=duration=5", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                        "-shortest", clip})) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        return 1;
    }
    const QString folder = dir.filePath(QStringLiteral("clips"));
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i)
        QFile::copy(clip, folder + QStringLiteral("/clip%1.mp4").arg(i, 4, 10, QLatin1Char('0')));

    // One mediainfo run per file, median of a few.
    std::vector<double> cli;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!BenchSupport::run(QStringLiteral("mediainfo"), {clip})) {
            std::fprintf(stderr, "mediainfo did not run (apt-get install mediainfo)\n");
            return 1;
        }
        cli.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(cli.begin(), cli.end());
    const double cliMs = cli[cli.size() / 2];

    if (!QFile::copy(QStringLiteral(HALVORA_PROGRAM_DIR "/LibFFmpeg.Dat"), dir.filePath(QStringLiteral("LibFFmpeg.Dat"))))
        return 1;
    QFile::setPermissions(dir.filePath(QStringLiteral("LibFFmpeg.Dat")), QFile::ReadOwner | QFile::WriteOwner);
    QDir::setCurrent(dir.path());
    TSqlDatMod module;
    TFFmpegFrm window;
    const WindowControls controls(&window);
    window.show();
    QApplication::processEvents();

    // The stall: the longest gap between two turns of a 1 ms timer.
    // Also in the thread's CPU time, which a busy machine does not inflate.
    QElapsedTimer sinceTick;
    qint64 longestGapNs = 0;
    qint64 lastCpuNs = threadCpuNs();
    qint64 longestCpuNs = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.nsecsElapsed();
        if (gap > 60000000 && qEnvironmentVariableIsSet("BENCH_SHOW_STALLS"))
            std::printf("stall of %.1f ms after %lld files\n", gap / 1e6, qlonglong(controls.FileListView->topLevelItemCount()));
        longestGapNs = std::max(longestGapNs, gap);
        const qint64 cpu = threadCpuNs();
        longestCpuNs = std::max(longestCpuNs, cpu - lastCpuNs);
        lastCpuNs = cpu;
        sinceTick.restart();
    });

    QElapsedTimer total;
    total.start();
    sinceTick.start();
    lastCpuNs = threadCpuNs();
    ticker.start();
    // Adding starts at the next turn of the event loop, which ends when it has.
    QObject::connect(&window.intake(), &IntakeQueue::finished, &application, &QCoreApplication::quit);
    ErrorDisplay::runHandler([&] { TFFmpegFunc(window).AddVideoFiles({QFile::encodeName(folder)}); });
    application.exec();
    const double totalMs = total.nsecsElapsed() / 1e6;
    ticker.stop();

    const int added = controls.FileListView->topLevelItemCount();
    const double perFileMs = totalMs / std::max(1, added);
    std::printf("files added:                 %d\n", added);
    std::printf("total:                       %.0f ms\n", totalMs);
    std::printf("per added file:              %.2f ms\n", perFileMs);
    std::printf("one mediainfo run (median):  %.2f ms\n", cliMs);
    std::printf("ratio (aim at most 0.5):     %.3f\n", perFileMs / cliMs);
    std::printf("longest GUI stall (aim 100): %.1f ms wall clock, %.1f ms GUI-thread CPU time\n", longestGapNs / 1e6,
                longestCpuNs / 1e6);
    return 0;
}
