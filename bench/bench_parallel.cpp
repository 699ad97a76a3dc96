// Several encoders at once: the batch with "Simultaneous conversions" on
// Automatic and on each fixed number, against the same ffmpeg command lines
// run directly one at a time and N at a time; for many short clips and for
// one long file. Also the longest stall of the batch's thread meanwhile
// (the window's thread in Halvora).
//
// bench_parallel [rounds [short|long]]   prints the best time of each over the
// rounds (default 2), run in turns; `short` or `long` runs only that case.

#include "batch/batchrun.h"
#include "conversion/ffmpegcommand.h"
#include "conversion/streammap.h"
#include "media/mediaquery.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {

struct Source {
    QString path;
    QByteArray time;
    qint64 framePixels;
};

bool makeClip(const QString &path, int seconds, const char *size)
{
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i",
                  QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(QLatin1String(size)).arg(seconds), "-f",
                  "lavfi", "-i", QStringLiteral("sine=duration=%1").arg(seconds), "-c:v", "libx264", "-preset",
                  "ultrafast", "-c:a", "aac", "-shortest", path});
    return ffmpeg.waitForFinished(600000) && ffmpeg.exitCode() == 0;
}

// The default choices: H.264 video, AAC audio.
const QList<QByteArray> Fragments{"-c:v libx264 -preset medium -pix_fmt yuv420p", "-c:a aac"};

QList<QByteArray> streamArguments()
{
    const MediaStreams::StreamList streams{{MediaStreams::Kind::Video, "h264", false},
                                           {MediaStreams::Kind::Audio, "aac", false}};
    return StreamMap::decide(streams).arguments;
}

// The same command lines as the batch's, N at a time; seconds taken.
double direct(const QList<Source> &sources, int atOnce, const QString &folder)
{
    QElapsedTimer clock;
    clock.start();
    QList<std::shared_ptr<QProcess>> running;
    qsizetype next = 0;
    while (next < sources.size() || !running.isEmpty()) {
        while (running.size() < atOnce && next < sources.size()) {
            const QByteArray output =
                QFile::encodeName(QStringLiteral("%1/direct-%2.mp4").arg(folder).arg(next));
            const QByteArray line = FFmpegCommand::commandLine("ffmpeg", QFile::encodeName(sources[next].path),
                                                               streamArguments(), Fragments, output);
            QStringList arguments = QProcess::splitCommand(QString::fromLocal8Bit(line));
            const QString program = arguments.takeFirst();
            auto process = std::make_shared<QProcess>();
            process->setStandardOutputFile(QProcess::nullDevice());
            process->setStandardErrorFile(QProcess::nullDevice());
            process->start(program, arguments);
            running << process;
            ++next;
        }
        for (qsizetype k = 0; k < running.size();) {
            if (running[k]->waitForFinished(10))
                running.removeAt(k);
            else
                ++k;
        }
    }
    return clock.elapsed() / 1000.0;
}

// Processor seconds used so far by this process, or by its ended children
// (and theirs, which they waited for).
double cpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The processor time a way used: this process's and its children's.
struct Cpu {
    double own = 0;
    double children = 0;
};

template <typename Run>
auto measured(Cpu &cpu, Run run)
{
    const double own = cpuSeconds(RUSAGE_SELF);
    const double children = cpuSeconds(RUSAGE_CHILDREN);
    auto result = run();
    cpu.own += cpuSeconds(RUSAGE_SELF) - own;
    cpu.children += cpuSeconds(RUSAGE_CHILDREN) - children;
    return result;
}

struct BatchFigures {
    double seconds = 0;
    qint64 longestStallMs = 0;
    int mostEncoders = 0;
};

// The batch with `simultaneous` (0: Automatic) over the sources.
BatchFigures throughBatch(const QList<Source> &sources, int simultaneous, const QString &folder)
{
    BatchRun batch;
    batch.setSimultaneous(simultaneous);
    const QByteArray out = QFile::encodeName(folder);
    batch.setOptionsSource([out] { return EntryOptions{out, Fragments, false}; });
    for (const Source &source : sources) {
        BatchEntry entry;
        entry.path = QFile::encodeName(source.path);
        entry.time = source.time;
        entry.framePixels = source.framePixels;
        batch.add(entry);
    }
    BatchFigures figures;
    QEventLoop loop;
    QObject::connect(&batch, &BatchRun::finished, &loop, &QEventLoop::quit);
    QObject::connect(&batch, &BatchRun::entryChanged,
                     [&] { figures.mostEncoders = std::max(figures.mostEncoders, batch.runningEncoders()); });
    // The thread's longest time away from its event loop.
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        figures.longestStallMs = std::max(figures.longestStallMs, sinceTick.restart() - 5);
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    tick.start();
    batch.start();
    // Sleeps until something happens, as the window's loop does.
    loop.exec();
    figures.seconds = clock.elapsed() / 1000.0;
    return figures;
}

// What the window reads of a file when it is added: its playing time and
// frame size, through the media library (which is then loaded, as in Halvora).
Source sourceFor(const QString &path)
{
    const std::optional<MediaQuery::FileEntry> entry = MediaQuery::fileEntry(QFile::encodeName(path));
    return entry ? Source{path, entry->time, entry->framePixels} : Source{path, {}, 0};
}

void printBest(const char *what, QList<double> seconds)
{
    std::sort(seconds.begin(), seconds.end());
    std::printf("  %-34s %7.2f s\n", what, seconds.first());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    QTemporaryDir dir;
    QList<Source> shortClips;
    for (int k = 0; k < 20; ++k) {
        const QString path = dir.filePath(QStringLiteral("short-%1.mkv").arg(k));
        if (!makeClip(path, 4, "640x360"))
            return 1;
        shortClips << sourceFor(path);
    }
    const QString longPath = dir.filePath(QStringLiteral("long.mkv"));
    if (!makeClip(longPath, 30, "1280x720"))
        return 1;
    const QList<Source> longFile{sourceFor(longPath)};

    std::printf("Cores: %d; Automatic picks %d for 640x360 and %d for 1280x720\n", QThread::idealThreadCount(),
                BatchRun::automaticEncoders(QThread::idealThreadCount(), 640 * 360),
                BatchRun::automaticEncoders(QThread::idealThreadCount(), 1280 * 720));
    const QList<int> fixed{1, 2, 3, 4};
    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    for (const auto &[name, sources] : {std::pair{"20 clips of 4 s, 640x360", shortClips},
                                        std::pair{"one file of 30 s, 1280x720", longFile}}) {
        if (!only.isEmpty() && only != (sources.size() > 1 ? "short" : "long"))
            continue;
        std::printf("\n%s (best of %d):\n", name, rounds);
        int round = 0;
        const auto fresh = [&dir, &round] {
            const QString folder = dir.filePath(QStringLiteral("out-%1").arg(++round));
            QDir().mkpath(folder);
            return folder;
        };
        // In turns, so that every way meets the machine in the same moods.
        QList<double> directTimes[5];
        QList<double> batchTimes[5];
        Cpu directCpu[5];
        Cpu batchCpu[5];
        qint64 stall = 0;
        int most = 0;
        for (int r = 0; r < rounds; ++r) {
            for (int n : fixed)
                directTimes[n] << measured(directCpu[n], [&] { return direct(sources, n, fresh()); });
            for (int n : QList<int>{0} + fixed) {
                const BatchFigures figures =
                    measured(batchCpu[n], [&] { return throughBatch(sources, n, fresh()); });
                batchTimes[n] << figures.seconds;
                stall = std::max(stall, figures.longestStallMs);
                if (n == 0)
                    most = std::max(most, figures.mostEncoders);
            }
        }
        for (int n : fixed)
            printBest(qPrintable(QStringLiteral("ffmpeg directly, %1 at a time").arg(n)), directTimes[n]);
        for (int n : QList<int>{0} + fixed) {
            printBest(qPrintable(n == 0 ? QStringLiteral("batch, Automatic (%1 at once)").arg(most)
                                        : QStringLiteral("batch, %1 at a time").arg(n)),
                      batchTimes[n]);
        }
        std::printf("  longest stall of the batch's thread: %lld ms\n", static_cast<long long>(stall));
        std::printf("  processor time a round, this program + its children (ffmpeg, probe, guard):\n");
        for (int n : fixed) {
            std::printf("    %d at a time: directly %.2f + %.2f s, batch %.2f + %.2f s\n", n, directCpu[n].own / rounds,
                        directCpu[n].children / rounds, batchCpu[n].own / rounds, batchCpu[n].children / rounds);
        }
    }
    return 0;
}
