// Times one file-entry query plus one panel query on a one-minute clip, and
// the same file through the mediainfo command line, and prints the ratio.
// Also times the pair on a copy whose name is not valid text (the library
// reads it through /proc/self/fd, without the extension's hint) and on a
// text file named .avi, and prints how the resident memory moves over many
// queries.

#include "benchsupport.h"
#include "media/mediaquery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
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

// The median time in milliseconds of `runs` calls of `step`.
double medianMs(int runs, const std::function<void()> &step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
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
    const auto queryPair = [](const QByteArray &file) {
        return [file] {
            MediaQuery::fileEntry(file);
            MediaQuery::panel(file);
        };
    };
    const double query = medianMs(QueryRuns, queryPair(path));

    const QByteArray oddName = QFile::encodeName(dir.path()) + "/one minute \xff.mp4";
    const QByteArray notes = QFile::encodeName(dir.filePath(QStringLiteral("notes.avi")));
    QFile copy(clip);
    QFile text(QFile::decodeName(notes));
    if (!copy.copy(dir.filePath(QStringLiteral("copy"))) || !text.open(QIODevice::WriteOnly)
        || ::rename(QFile::encodeName(dir.filePath(QStringLiteral("copy"))).constData(), oddName.constData()) != 0) {
        std::fprintf(stderr, "could not make the other files\n");
        return 1;
    }
    text.write("Shopping list: milk, bread, a new camera.\n");
    text.close();
    const double oddQuery = medianMs(QueryRuns, queryPair(oddName));
    const double notesQuery = medianMs(QueryRuns, queryPair(notes));
    // QTemporaryDir removes by text names, which miss this one.
    ::unlink(oddName.constData());

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

    const double command = median(commands);
    std::printf("clip: 60 s, 320x240 H.264/AAC, %lld bytes\n", QFile(clip).size());
    std::printf("file entry + panel query (median of %d): %.3f ms\n", QueryRuns, query);
    std::printf("  the same, name not valid text (median of %d): %.3f ms\n", QueryRuns, oddQuery);
    std::printf("  a text file named .avi (median of %d): %.3f ms\n", QueryRuns, notesQuery);
    std::printf("mediainfo command line (median of %d):  %.3f ms\n", CommandRuns, command);
    std::printf("ratio command line / queries: %.1f\n", command / query);
    std::printf("resident memory over %d more query pairs: %ld KiB -> %ld KiB\n", MemoryRuns, before, after);
    return 0;
}
