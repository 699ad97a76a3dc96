// The list kept on disk: how long the window takes to show a list of 5,000
// entries taken up from an interrupted run (aim: usable within 1 s), and the
// GUI thread's time spent writing the list during a batch of 500 short
// entries (two encoders at once).
//
// Run from the build tree: bench/bench_queue

#include "batch/batchrun.h"
#include "batch/queuestore.h"
#include "mainwindow/tffmpegfrm.h"
#include "settings/tsqldatmod.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int Kept = 5000;
constexpr int Short = 500;

// A list such as an interrupted run leaves: the first 2,000 done, the rest waiting.
void keepList(const QString &file)
{
    BatchRun batch;
    QueueStore store(batch, file);
    store.open();
    for (int k = 0; k < Kept; ++k) {
        BatchEntry entry;
        entry.path = "/home/someone/Videos/Holidays 2026/Day " + QByteArray::number(k) + " at the sea.mkv";
        entry.type = "mkv";
        entry.size = "187 MiB";
        entry.time = "00:12:34";
        entry.framePixels = 1920 * 1080;
        entry.state = k < 2000 ? EntryState::Done : EntryState::Pending;
        if (k < 2000)
            entry.output = QStringLiteral("/home/someone/Converted/Day %1 at the sea.mp4").arg(k);
        batch.restore(entry);
    }
    store.flush();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (!QFile::copy(QStringLiteral(HALVORA_PROGRAM_DIR "/LibFFmpeg.Dat"), dir.filePath("LibFFmpeg.Dat")))
        return 1;
    QFile::setPermissions(dir.filePath("LibFFmpeg.Dat"), QFile::ReadOwner | QFile::WriteOwner);
    const QString queueFile = dir.filePath(QStringLiteral("list.queue"));

    keepList(queueFile);
    std::printf("taking up %d kept entries (2,000 done, 3,000 waiting), three times:\n", Kept);
    for (int round = 0; round < 3; ++round) {
        TSqlDatMod module;
        QElapsedTimer clock;
        clock.start();
        TFFmpegFrm window;
        const qint64 built = clock.elapsed();
        QueueStore store(window.batch(), queueFile);
        const QueueStore::Opened opened = store.open();
        const qint64 restored = clock.elapsed();
        window.show();
        QCoreApplication::processEvents();
        std::printf("  window built %lld ms, list taken up %lld ms (%d entries), shown %lld ms after the start\n",
                    qlonglong(built), qlonglong(restored - built), opened.restored, qlonglong(clock.elapsed()));
        // Closed as if killed: the list stays for the next round.
        window.hide();
    }

    // A batch of short entries, its list kept as it goes.
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x64:rate=10:duration=0.2",
                                            "-c:v", "mpeg4", clip});
    if (!ffmpeg.waitForFinished() || ffmpeg.exitCode() != 0)
        return 1;
    QDir().mkpath(dir.filePath(QStringLiteral("out")));
    BatchRun batch;
    batch.setSimultaneous(2);
    const QByteArray out = QFile::encodeName(dir.filePath(QStringLiteral("out")));
    batch.setOptionsSource([out] { return EntryOptions{out, {"-c:v libx264 -preset ultrafast"}}; });
    QueueStore store(batch, dir.filePath(QStringLiteral("batch.queue")));
    store.open();
    for (int k = 0; k < Short; ++k) {
        BatchEntry entry;
        entry.path = QFile::encodeName(clip);
        batch.add(entry);
    }
    store.flush();
    const double addingMs = store.writeMs();
    QEventLoop loop;
    QObject::connect(&batch, &BatchRun::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    batch.start();
    loop.exec();
    std::printf("batch of %d short entries, 2 at once: %.1f s; keeping the list took the GUI thread %.1f ms in %d "
                "writes (adding them: %.1f ms), %.2f ms a write on average, %.2f ms at most\n",
                Short, clock.elapsed() / 1000.0, store.writeMs() - addingMs, store.writes() - 1, addingMs,
                (store.writeMs() - addingMs) / std::max(1, store.writes() - 1), store.longestWriteMs());
    return 0;
}
