// Converts twenty 2-second clips through the real main window (offscreen)
// and runs the same twenty ffmpeg command lines one after another directly;
// prints both wall times and their ratio.
//
// Run from the build tree: QT_QPA_PLATFORM=offscreen bench/bench_conversion
// (bin/ffmpeg must lie beside the program, as the build lays it out).

#include "commandline.h"
#include "errordisplay.h"
#include "tffmpegfrm.h"
#include "tffmpegfunc.h"
#include "tsqldatmod.h"

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

#include <cstdio>

namespace {

constexpr int Clips = 20;

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

    QElapsedTimer clock;
    clock.start();
    for (const QList<QByteArray> &command : commands) {
        if (!run(command))
            return 1;
    }
    const double direct = clock.nsecsElapsed() / 1e9;

    clock.restart();
    window.ConvFileBtn->click();
    while (!window.AddFileBtn->isEnabled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double throughWindow = clock.nsecsElapsed() / 1e9;

    std::printf("direct, one after another: %.2f s\n", direct);
    std::printf("through the window:        %.2f s\n", throughWindow);
    std::printf("ratio window / direct:     %.3f\n", throughWindow / direct);
    return 0;
}
