#include "process/programpath.h"

#include <QCoreApplication>
#include <QFile>

QByteArray programInBin(const char *name)
{
    return QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/bin/") + QLatin1String(name));
}
