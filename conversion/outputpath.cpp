#include "outputpath.h"

#include <sys/stat.h>

namespace OutputPath {

QByteArray join(const QByteArray &folder, const QByteArray &name)
{
    return folder + '/' + name + ".mp4";
}

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat first, second;
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0
        && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

QByteArray sourceName(const QByteArray &sourcePath)
{
    const QByteArray name = sourcePath.mid(sourcePath.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

} // namespace OutputPath
