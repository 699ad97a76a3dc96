// Times one file-entry query plus one panel query on a one-minute clip, and
// the same file through the mediainfo command line, and prints the ratio.
// Also prints how the resident memory moves over many queries.

#include "benchsupport.h"
#include "media/mediaquery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <unistd.h>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("one minute.mp4"));
    if (!BenchSupport::run(QStringLiteral("ffmpeg"),
             {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:duration=60",
              "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=60", "-c:v", "libx264", "-preset",
              "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", clip})) {
        std::fprintf(stderr, "ffmpeg could not make the clip\n");
        return 1;
    }
    const QByteArray path = QFile::encodeName(clip);
    // The first query loads the library; it is not timed.
    if (!MediaQuery::fileEntry(path)) {
        std::fprintf(stderr, "the media library could not be loaded\n");
        return 1;
    }

    constexpr int QueryRuns = 50;
    std::vector<double> queries;
    for (int i = 0; i < QueryRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        MediaQuery::fileEntry(path);
        MediaQuery::panel(path);
        queries.push_back(timer.nsecsElapsed() / 1e6);
    }

    constexpr int CommandRuns = 20;
    std::vector<double> commands;
    for (int i = 0; i < CommandRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!BenchSupport::run(QStringLiteral("mediainfo"), {clip})) {
            std::fprintf(stderr, "mediainfo failed\n");
            return 1;
        }
        commands.push_back(timer.nsecsElapsed() / 1e6);
    }

    constexpr int MemoryRuns = 500;
    const long before = residentKiB();
    for (int i = 0; i < MemoryRuns; ++i) {
        MediaQuery::fileEntry(path);
        MediaQuery::panel(path);
    }
    const long after = residentKiB();

    const double query = median(queries);
    const double command = median(commands);
    std::printf("clip: 60 s, 320x240 H.264/AAC, %lld bytes\n", QFile(clip).size());
    std::printf("file entry + panel query (median of %d): %.3f ms\n", QueryRuns, query);
    std::printf("mediainfo command line (median of %d):  %.3f ms\n", CommandRuns, command);
    std::printf("ratio command line / queries: %.1f\n", command / query);
    std::printf("resident memory over %d more query pairs: %ld KiB -> %ld KiB\n", MemoryRuns, before, after);
    return 0;
}
