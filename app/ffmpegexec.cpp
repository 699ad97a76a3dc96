#include "ffmpegexec.h"

#include "errordisplay.h"
#include "tffmpegfrm.h"
#include "tsqldatmod.h"

#include <QApplication>

#include <memory>

int FFmpegExec(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halvora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Halvora"));
    // Closing the main window ends the program, also while hidden in the tray.
    QApplication::setQuitOnLastWindowClosed(false);

    std::unique_ptr<TSqlDatMod> dataModule;
    try {
        dataModule = std::make_unique<TSqlDatMod>();
    } catch (const std::exception &error) {
        ErrorDisplay::showApplicationError(error);
        return 1;
    }

    TFFmpegFrm window;
    window.show();
    return application.exec();
}
