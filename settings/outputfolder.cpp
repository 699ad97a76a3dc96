#include "settings/outputfolder.h"

#include "settings/tsqlitequery.h"

#include <QCoreApplication>

namespace OutputFolder {

namespace {
const QString RowKey = QStringLiteral("001");
}

QString loadStatement()
{
    return QStringLiteral("select dir_name from savedir_videofile where dir_numb = ") + sqlQuoted(RowKey);
}

QString storeStatement(const QString &folder)
{
    return QStringLiteral("update savedir_videofile set dir_name = ") + sqlQuoted(folder)
         + QStringLiteral(" where dir_numb = ") + sqlQuoted(RowKey);
}

QString defaultFolder()
{
    return defaultFolder(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

QString defaultFolder(const QString &programDir)
{
    return programDir + QStringLiteral("FFOutput");
}

} // namespace OutputFolder
