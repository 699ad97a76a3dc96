// The command users start: prepares the user's own settings copy and output
// folder, then starts the installed program with the user's data folder as
// its current directory.

#include "launcher/usersettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QString program;
    QString dataFolder;
    {
        QCoreApplication application(argc, argv);
        const QString programDir =
            QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/" HALVORA_LAUNCHER_TO_PROGRAM)).absolutePath();
        program = programDir + QStringLiteral("/halvora");
        dataFolder = UserSettings::dataFolder();
        try {
            if (!QDir().mkpath(dataFolder))
                throw std::runtime_error("Cannot create the folder " + dataFolder.toStdString());
            UserSettings::prepare(programDir + QStringLiteral("/LibFFmpeg.Dat"),
                                  dataFolder + QStringLiteral("/LibFFmpeg.Dat"), UserSettings::defaultOutputFolder());
        } catch (const std::exception &error) {
            std::fprintf(stderr, "halvora: %s\n", error.what());
            return 1;
        }
    }
    const QByteArray folder = QFile::encodeName(dataFolder);
    const QByteArray path = QFile::encodeName(program);
    // Files and folders named relative to where the user started count from there.
    QList<QByteArray> absolute;
    char here[4096];
    if (::getcwd(here, sizeof here)) {
        for (int i = 1; i < argc; ++i) {
            if (argv[i][0] != '/' && argv[i][0] != '\0') {
                absolute << QByteArray(here) + '/' + argv[i];
                argv[i] = absolute.last().data();
            }
        }
    }
    if (::chdir(folder.constData()) != 0) {
        std::fprintf(stderr, "halvora: %s: %s\n", folder.constData(), std::strerror(errno));
        return 1;
    }
    argv[0] = const_cast<char *>(path.constData());
    ::execv(path.constData(), argv);
    std::fprintf(stderr, "halvora: %s: %s\n", path.constData(), std::strerror(errno));
    return 1;
}
