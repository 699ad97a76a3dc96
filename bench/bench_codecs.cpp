// The speed of each video encoder the catalogue offers, with its own
// settings: a 10 s 1280x720 clip encoded to .mp4 (best of two), in seconds
// and as a multiple of real time.
//
// Run from the build tree: bench/bench_codecs

#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double ClipSeconds = 10;

bool ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    return process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    if (!ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25:duration=10", "-c:v", "libx264", "-preset",
                 "ultrafast", clip}))
        return 1;
    TSqliteConnection connection(QStringLiteral(HALVORA_PROGRAM_DIR "/LibFFmpeg.Dat"));
    TSqliteQuery query(connection);
    query.run(QStringLiteral("select cmbex_name, cmbex_cmd from cmbex_vdocodec order by cmbex_index"));
    std::printf("a 10 s 1280x720 clip to .mp4, best of 2:\n");
    for (; !query.eof(); query.next()) {
        const QString fragment = query.text(1);
        if (fragment.isEmpty() || fragment.contains(QLatin1String("copy")))
            continue;
        double best = 1e9;
        for (int round = 0; round < 2; ++round) {
            QElapsedTimer clock;
            clock.start();
            if (!ffmpeg(QStringList{"-i", clip} + fragment.split(QLatin1Char(' '), Qt::SkipEmptyParts)
                        + QStringList{dir.filePath(QStringLiteral("out.mp4"))}))
                return 1;
            best = std::min(best, clock.nsecsElapsed() / 1e9);
        }
        std::printf("  %-18s %6.2f s  %5.2f× real time\n", qPrintable(query.text(0)), best, ClipSeconds / best);
    }
    return 0;
}
