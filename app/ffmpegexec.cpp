#include "ffmpegexec.h"

#include "errordisplay.h"
#include "quitsignals.h"
#include "tffmpegfrm.h"
#include "tsqldatmod.h"

#include <QApplication>

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

int FFmpegExec(int argc, char **argv)
{
    QApplication application(argc, argv);
    // After the application object, which sets the locale on its own.
    setLocaleFromEnvironment();
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
    // Asked to end from outside: as if the window were closed, so a running
    // encoder finishes its file first.
    QuitSignals::install([&window] { window.close(); });
    window.show();
    return application.exec();
}
