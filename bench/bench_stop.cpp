// How long an encoder takes to end after Stop, and after the program that
// started it is killed with SIGKILL: for an encoder stuck on a source that
// never answers (a FIFO nobody writes to) and for a healthy one.
//
// bench_stop            runs every measurement and prints the figures
// bench_stop child S F  (internal) converts source S into folder F and waits
//                       to be killed

#include "batch/batchrun.h"
#include "tests/procinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <signal.h>
#include <sys/stat.h>

namespace {

using ProcInfo::processesWith;

constexpr int Rounds = 3;

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// An encoder script with no probe program beside it: the encoder itself
// opens the source.
QByteArray encoderScript(const QString &folder)
{
    const QString path = folder + QStringLiteral("/ffmpeg");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write("#!/bin/sh\nexec ffmpeg \"$@\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFile::encodeName(path);
}

BatchEntry entryFor(const QString &path)
{
    BatchEntry entry;
    entry.path = QFile::encodeName(path);
    entry.time = "00:01:00";
    return entry;
}

// Starts converting `source`; true once its encoder runs and has written
// into `folder` (or, for a source that never answers, once it runs).
bool startConverting(BatchRun &batch, const QString &source, const QString &folder, bool stuck)
{
    batch.setOptionsSource([folder] { return EntryOptions{QFile::encodeName(folder), {"-vf realtime"}}; });
    batch.add(entryFor(source));
    batch.start();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (batch.runningEncoders() == 1 && (stuck || batch.entry(0).percent >= 5))
            return !stuck || !processesWith(QFile::encodeName(source)).isEmpty();
    }
    return false;
}

// Milliseconds from stop() to the encoder's end.
double timeStop(const QString &source, const QString &folder, bool stuck, const QByteArray &encoder)
{
    BatchRun batch;
    batch.setEncoder(encoder);
    if (!startConverting(batch, source, folder, stuck))
        return -1;
    QThread::msleep(300);
    QSignalSpy ended(&batch, &BatchRun::encodersEnded);
    QElapsedTimer clock;
    clock.start();
    batch.stop();
    if (!ended.wait(BatchRun::StopLimitMs + 5000))
        return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds from the SIGKILL of a program converting `source` to the end
// of every process it started that reads the source.
double timeKill(const QString &source, const QString &folder)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("child"), source, folder});
    if (!child.waitForStarted())
        return -1;
    const QByteArray marker = QFile::encodeName(source);
    QElapsedTimer clock;
    clock.start();
    while (processesWith(marker).isEmpty() && clock.elapsed() < 60000)
        QThread::msleep(20);
    QThread::msleep(1500);
    ::kill(pid_t(child.processId()), SIGKILL);
    clock.restart();
    child.waitForFinished();
    while (!processesWith(marker).isEmpty() && clock.elapsed() < 60000)
        QThread::msleep(5);
    return double(clock.nsecsElapsed()) / 1e6;
}

int childMain(const QString &source, const QString &folder)
{
    const bool stuck = !QFileInfo(source).isFile();
    BatchRun batch;
    batch.setEncoder(stuck ? encoderScript(folder) : QByteArray("ffmpeg"));
    startConverting(batch, source, folder, stuck);
    // Until killed.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("child"))
        return childMain(arguments[2], arguments[3]);

    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("stuck.avi"));
    const QString clip = dir.filePath(QStringLiteral("healthy.mp4"));
    if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) != 0
        || QProcess::execute(QStringLiteral("ffmpeg"),
                             {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=30:duration=60",
                              "-f", "lavfi", "-i", "sine=duration=60", "-c:v", "libx264", "-preset", "ultrafast",
                              "-c:a", "aac", clip})
               != 0) {
        std::fprintf(stderr, "could not make the sources\n");
        return 1;
    }
    const QByteArray script = encoderScript(dir.path());

    QList<double> stuckStops, healthyStops, stuckKills, healthyKills;
    for (int round = 0; round < Rounds; ++round) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(round));
        QDir().mkpath(out);
        stuckStops << timeStop(fifo, out, true, script);
        healthyStops << timeStop(clip, out, false, "ffmpeg");
        stuckKills << timeKill(fifo, out);
        healthyKills << timeKill(clip, out);
        std::printf("round %d: stop stuck %.0f ms, stop healthy %.0f ms, kill stuck %.0f ms, kill healthy %.0f ms\n",
                    round + 1, stuckStops.last(), healthyStops.last(), stuckKills.last(), healthyKills.last());
        std::fflush(stdout);
    }
    std::printf("Stop -> stuck encoder ended (grace %d + %d ms of no sign of life): median %.0f ms\n",
                BatchRun::QuitGraceMs, BatchRun::TerminateGraceMs, median(stuckStops));
    std::printf("Stop -> healthy 720p encoder ended (finishes its file):          median %.0f ms\n",
                median(healthyStops));
    std::printf("SIGKILL of the program -> stuck encoder ended:                   median %.0f ms\n",
                median(stuckKills));
    std::printf("SIGKILL of the program -> healthy encoder ended:                 median %.0f ms\n",
                median(healthyKills));
    const bool failed = std::any_of(stuckStops.cbegin(), stuckStops.cend(), [](double ms) { return ms < 0; })
                     || std::any_of(healthyStops.cbegin(), healthyStops.cend(), [](double ms) { return ms < 0; });
    return failed ? 1 : 0;
}
