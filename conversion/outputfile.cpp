#include "conversion/outputfile.h"

#include "process/eoserror.h"

#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace OutputFile {
namespace {

// Enough for any folder: past this many taken names something else is wrong.
constexpr int MaxNumber = 100000;

QByteArray numbered(const QByteArray &folder, const QByteArray &base, const QByteArray &middle, int n)
{
    const QByteArray number = n == 1 ? QByteArray() : " (" + QByteArray::number(n) + ')';
    return folder + '/' + base + middle + number + ".mp4";
}

// The longest name the folder's file system takes, in bytes.
qsizetype nameLimit(const QByteArray &folder)
{
    const long limit = ::pathconf(folder.isEmpty() ? "." : folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : 255;
}

// The first `size` bytes of a name, not ending inside a UTF-8 character.
QByteArray cutName(const QByteArray &name, qsizetype size)
{
    if (name.size() <= size)
        return name;
    while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80)
        --size;
    return name.left(size);
}

// The temporary file's path for the Nth try: "base.part (N).mp4", or the
// hidden short form where that name does not fit.
QByteArray temporaryName(const QByteArray &folder, const QByteArray &base, int n, qsizetype limit)
{
    const QByteArray path = numbered(folder, base, ".part", n);
    if (path.size() - folder.size() - 1 <= limit)
        return path;
    const QByteArray tail = ".halvora-part-" + QByteArray::number(n) + ".mp4";
    return folder + "/." + cutName(base, limit - 1 - tail.size()) + tail;
}

// A rename that fails instead of replacing an existing target. Where the file
// system has no such rename, a hard link (which never replaces either) and
// the removal of the old name do the same.
int renameNoReplace(const char *from, const char *to)
{
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from, to) != 0)
        return errno;
    ::unlink(from);
    return 0;
}

} // namespace

QByteArray baseName(const QByteArray &sourcePath)
{
    const QByteArray name = sourcePath.mid(sourcePath.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

QByteArray createTemporary(const QByteArray &folder, const QByteArray &base,
                           const std::function<void(const QByteArray &name)> &choosing)
{
    const qsizetype limit = nameLimit(folder);
    for (int n = 1; n <= MaxNumber; ++n) {
        const QByteArray path = temporaryName(folder, base, n, limit);
        if (choosing)
            choosing(path);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            throw EOSError(errno);
    }
    throw EOSError(EEXIST);
}

bool isTemporaryName(const QByteArray &path)
{
    // Latin-1 keeps every byte as one character, whatever the name's encoding.
    static const QRegularExpression made(QStringLiteral(R"(^(.+\.part( \([0-9]+\))?|\..*\.halvora-part-[0-9]+)\.mp4$)"),
                                         QRegularExpression::DotMatchesEverythingOption);
    return made.match(QString::fromLatin1(path.mid(path.lastIndexOf('/') + 1))).hasMatch();
}

QByteArray moveToFreeName(const QByteArray &temporary, const QByteArray &folder, const QByteArray &base)
{
    for (int n = 1; n <= MaxNumber; ++n) {
        const QByteArray path = numbered(folder, base, QByteArray(), n);
        const int error = renameNoReplace(temporary.constData(), path.constData());
        if (error == 0)
            return path;
        if (error != EEXIST)
            throw EOSError(error);
    }
    throw EOSError(EEXIST);
}

bool exists(const QByteArray &path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0;
}

bool hasContent(const QByteArray &path)
{
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && info.st_size > 0;
}

void remove(const QByteArray &path)
{
    ::unlink(path.constData());
}

} // namespace OutputFile
