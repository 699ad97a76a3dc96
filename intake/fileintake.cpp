#include "intake/fileintake.h"

#include <QSysInfo>

#include <dirent.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace FileIntake {
namespace {

bool isFolder(const QByteArray &path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// Appends the video files below `folder` (any order) to `files`.
void collectVideos(const QByteArray &folder, QList<QByteArray> &files)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.constData()));
    if (!dir)
        return;
    const QByteArray prefix = folder.endsWith('/') ? folder : folder + '/';
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = prefix + name;
        struct stat info;
        // A link to a folder is not followed: it could lead back up the tree.
        if (::lstat(path.constData(), &info) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            collectVideos(path, files);
        else if (isVideoName(name) && (S_ISREG(info.st_mode) || (S_ISLNK(info.st_mode) && !isFolder(path))))
            files << path;
    }
}

} // namespace

const QStringList &videoPatterns()
{
    static const QStringList patterns{
        QStringLiteral("*.mp4"),  QStringLiteral("*.asf"),  QStringLiteral("*.avi"),  QStringLiteral("*.qt"),
        QStringLiteral("*.vob"),  QStringLiteral("*.mov"),  QStringLiteral("*.flv"),  QStringLiteral("*.mpg"),
        QStringLiteral("*.mpeg"), QStringLiteral("*.mpq"),
        QStringLiteral("*.wmv"),  QStringLiteral("*.3gp"),  QStringLiteral("*.3g2"),  QStringLiteral("*.rm"),
        QStringLiteral("*.rmvb"), QStringLiteral("*.mkv"),  QStringLiteral("*.webm"), QStringLiteral("*.m4v"),
        QStringLiteral("*.ts"),   QStringLiteral("*.mts"),  QStringLiteral("*.m2ts"), QStringLiteral("*.ogv"),
    };
    return patterns;
}

QStringList dialogFilters()
{
    QStringList filters{QStringLiteral("all video files (%1)").arg(videoPatterns().join(QLatin1Char(' ')))};
    for (const QString &pattern : videoPatterns())
        filters << QStringLiteral("%1 video file (%2)").arg(pattern.mid(2), pattern);
    return filters;
}

bool isVideoName(const QByteArray &path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || dot < path.lastIndexOf('/'))
        return false;
    const QByteArray suffix = "*" + path.mid(dot).toLower();
    return videoPatterns().contains(QString::fromLatin1(suffix));
}

QList<QByteArray> pathsFromUriList(const QByteArray &uriList)
{
    QList<QByteArray> paths;
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        // Parsed by hand: QUrl would turn bytes that are not UTF-8 into replacement characters.
        if (!line.toLower().startsWith("file:"))
            continue;
        QByteArray rest = line.mid(5);
        if (rest.startsWith("//")) {
            const qsizetype slash = rest.indexOf('/', 2);
            if (slash < 0)
                continue;
            const QByteArray host = rest.mid(2, slash - 2).toLower();
            if (!host.isEmpty() && host != "localhost" && host != QSysInfo::machineHostName().toLower().toUtf8())
                continue;
            rest = rest.mid(slash);
        }
        const QByteArray path = QByteArray::fromPercentEncoding(rest);
        if (path.startsWith('/') && !path.contains('\0'))
            paths << path;
    }
    return paths;
}

QByteArray absolutePath(const QByteArray &path, const QByteArray &base)
{
    if (path.isEmpty())
        return path;
    const QByteArray joined = path.startsWith('/') ? path : base + '/' + path;
    // "." and ".." are resolved by name, as a shell does for "cd".
    QList<QByteArray> parts;
    for (const QByteArray &part : joined.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << part;
    }
    return '/' + parts.join('/');
}

QByteArray currentFolder()
{
    QByteArray buffer(4096, '\0');
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return QByteArray("/");
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.constData());
}

QList<QByteArray> commandLinePaths(int argc, char **argv)
{
    QList<QByteArray> paths;
    const QByteArray base = currentFolder();
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '\0')
            paths << absolutePath(QByteArray(argv[i]), base);
    }
    return paths;
}

QList<QByteArray> expand(const QList<QByteArray> &paths)
{
    QList<QByteArray> files;
    for (const QByteArray &path : paths) {
        if (isFolder(path)) {
            QList<QByteArray> found;
            collectVideos(path, found);
            std::sort(found.begin(), found.end());
            files << found;
        } else if (paths.size() == 1 || isVideoName(path)) {
            files << path;
        }
    }
    return files;
}

} // namespace FileIntake
