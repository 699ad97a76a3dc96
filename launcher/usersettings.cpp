#include "launcher/usersettings.h"

#include "settings/batchsettings.h"
#include "settings/outputfolder.h"
#include "settings/selectors.h"
#include "settings/selectorstatements.h"
#include "settings/tsqliteconnection.h"
#include "settings/tsqlitequery.h"
#include "settings/windowstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace UserSettings {
namespace {

[[noreturn]] void fail(const QString &message)
{
    throw std::runtime_error(message.toStdString());
}

int catalogueVersion(TSqliteQuery &query)
{
    query.run(QStringLiteral("PRAGMA user_version"));
    return query.integer(0);
}

QStringList tableRows(TSqliteQuery &query, int tag)
{
    QStringList rows;
    try {
        query.run(SelectorStatements::optionRowsSql(tag));
    } catch (const std::exception &) {
        return {QStringLiteral("<missing>")};
    }
    for (query.first(); !query.eof(); query.next())
        rows << QString::number(query.integer(0)) + QLatin1Char('\x1f') + query.text(1) + QLatin1Char('\x1f')
                    + query.text(2);
    return rows;
}

void setOutputFolder(TSqliteQuery &query, const QString &folder)
{
    query.run(OutputFolder::storeStatement(folder));
}

// A copy of the shipped file beside the target, for filling before it is moved into place.
QString freshCopy(const QString &shipped, const QString &userCopy)
{
    const QString partial = userCopy + QStringLiteral(".new");
    QFile::remove(partial);
    if (!QFile::copy(shipped, partial))
        fail(QStringLiteral("Cannot copy %1 to %2").arg(shipped, partial));
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return partial;
}

// Copies each key's value where both files have the key; nothing when the
// older file has no such table.
void carryRows(TSqliteQuery &from, TSqliteQuery &to, const QString &allStatement,
               QString (*storeStatement)(const char *, const QString &))
{
    try {
        from.run(allStatement);
    } catch (const std::exception &) {
        return;
    }
    for (from.first(); !from.eof(); from.next()) {
        const QByteArray key = from.text(0).toUtf8();
        to.run(storeStatement(key.constData(), from.text(1)));
    }
}

void upgrade(TSqliteQuery &from, const QString &partial)
{
    TSqliteConnection connection(partial);
    TSqliteQuery to(connection);
    from.run(OutputFolder::loadStatement());
    const QString folder = from.text(0);
    if (!folder.isEmpty())
        setOutputFolder(to, folder);
    // A choice is carried over where its selector lists the same entries as before.
    for (const Selectors::Selector &selector : Selectors::All) {
        if (tableRows(from, selector.tag) != tableRows(to, selector.tag))
            continue;
        from.run(SelectorStatements::savedIndexSql(selector.tag));
        if (from.recordCount() == 0)
            continue;
        to.run(SelectorStatements::storeIndexSql(selector.tag, from.integer(0)));
    }
    // The window's size and last Add folder, and the batch's choices, where
    // the older file kept them.
    carryRows(from, to, WindowState::allStatement(), WindowState::storeStatement);
    carryRows(from, to, BatchSettings::allStatement(), BatchSettings::storeStatement);
}

} // namespace

QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/halvora");
}

QString defaultOutputFolder()
{
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    const QString home = QDir::homePath();
    if (!videos.isEmpty() && videos != home && QDir().mkpath(videos) && QFileInfo(videos).isWritable())
        return videos;
    return home;
}

Outcome prepare(const QString &shipped, const QString &userCopy, const QString &outputFolder)
{
    if (!QFileInfo::exists(shipped))
        fail(QStringLiteral("The settings file %1 is missing").arg(shipped));

    if (!QFileInfo::exists(userCopy)) {
        const QString partial = freshCopy(shipped, userCopy);
        {
            TSqliteConnection connection(partial);
            TSqliteQuery query(connection);
            setOutputFolder(query, outputFolder);
        }
        // rename() would replace a copy another start made meanwhile; a hard link does not.
        if (::link(QFile::encodeName(partial).constData(), QFile::encodeName(userCopy).constData()) != 0
            && errno != EEXIST)
            fail(QStringLiteral("Cannot create %1: %2").arg(userCopy, QString::fromLocal8Bit(std::strerror(errno))));
        QFile::remove(partial);
        return Outcome::Created;
    }

    int shippedVersion;
    {
        TSqliteConnection connection(shipped);
        TSqliteQuery query(connection);
        shippedVersion = catalogueVersion(query);
    }
    TSqliteConnection userConnection(userCopy);
    TSqliteQuery userQuery(userConnection);
    if (catalogueVersion(userQuery) >= shippedVersion)
        return Outcome::Kept;

    const QString partial = freshCopy(shipped, userCopy);
    upgrade(userQuery, partial);
    const QString old = userCopy + QStringLiteral(".old");
    QFile::remove(old);
    if (!QFile::rename(userCopy, old) || !QFile::rename(partial, userCopy))
        fail(QStringLiteral("Cannot replace %1").arg(userCopy));
    return Outcome::Upgraded;
}

} // namespace UserSettings
