#include "app/ffmpegexec.h"

#include "app/fontwarmup.h"
#include "app/quitsignals.h"
#include "app/singleinstance.h"
#include "batch/queuestore.h"
#include "intake/fileintake.h"
#include "mainwindow/tffmpegfrm.h"
#include "mainwindow/tffmpegfunc.h"
#include "settings/tsqldatmod.h"
#include "widgets/errordisplay.h"

#include <QApplication>
#include <QDir>

#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <memory>

void setLocaleFromEnvironment()
{
    std::setlocale(LC_ALL, "");
    const char *codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0)
        return;
    for (const char *name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
        if (std::setlocale(LC_CTYPE, name))
            return;
    }
}

void choosePlatform()
{
    // Qt prefers its Wayland plugin wherever it is installed, but the preview
    // embeds mplayer by X11 window id: run on XWayland when there is one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

int FFmpegExec(int argc, char **argv)
{
    choosePlatform();
    QApplication application(argc, argv);
    // After the application object, which sets the locale on its own.
    setLocaleFromEnvironment();
    const FontWarmUp fonts;
    QApplication::setApplicationName(QStringLiteral("Halvora"));
    // No display name: Qt would append it to every window title.
    // The Wayland app id and the task bar's icon come from the menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("halvora"));
    // Closing the main window ends the program, also while hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    // Files and folders to add; with Halvora already running on the same
    // settings file, they go to its window and this start ends.
    const QList<QByteArray> paths = FileIntake::commandLinePaths(argc, argv);
    const QString settingsFile = QDir::current().absoluteFilePath(QStringLiteral("LibFFmpeg.Dat"));
    SingleInstance instance(settingsFile);
    if (!instance.claim(paths))
        return 0;

    std::unique_ptr<TSqlDatMod> dataModule;
    try {
        dataModule = std::make_unique<TSqlDatMod>();
    } catch (const std::exception &error) {
        ErrorDisplay::showApplicationError(error);
        return 1;
    }

    TFFmpegFrm window;
    // The list as it was when the last run was cut short, before anything
    // else is added. Only the start that holds the single-instance lock gets here.
    QueueStore queue(window.batch(), QueueStore::fileFor(settingsFile));
    const QueueStore::Opened kept = queue.open();
    QObject::connect(&instance, &SingleInstance::pathsArrived, &window, [&window](const QList<QByteArray> &handed) {
        // A window that is closing takes nothing more.
        if (window.isClosing())
            return;
        ErrorDisplay::runHandler([&] { TFFmpegFunc(window).AddVideoFiles(handed); });
        window.bringToFront();
    });
    // Asked to end from outside: as if the window were closed, so a running
    // encoder finishes its file first.
    bool askedToEnd = false;
    QuitSignals::install([&window, &askedToEnd] {
        askedToEnd = true;
        // A message box blocks closing the window below it: it goes first,
        // as if the user had dismissed it.
        while (QWidget *box = QApplication::activeModalWidget()) {
            if (!box->close())
                break;
        }
        window.close();
    });
    window.show();
    if (!kept.message.isEmpty()) {
        qInfo("Halvora: %s", qUtf8Printable(kept.message));
        ErrorDisplay::runHandler([&] { TFFmpegFunc(window).ShowBatchStatus(kept.message); });
    }
    ErrorDisplay::runHandler([&] { TFFmpegFunc(window).AddVideoFiles(paths); });
    // Asked while the start showed a message box: the request to quit went
    // with that box's event loop, and exec() would wait for another.
    if (askedToEnd)
        return 0;
    const int code = application.exec();
    // Ended by the user, not by a logout or a signal: the next start is empty.
    if (!askedToEnd)
        queue.forget();
    return code;
}
