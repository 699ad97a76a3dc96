#include "media/sourcefile.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SourceFile::SourceFile(const QByteArray &path)
{
    do {
        m_fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        m_error = errno;
        return;
    }
    struct stat info;
    if (::fstat(m_fd, &info) != 0) {
        m_error = errno;
        ::close(std::exchange(m_fd, -1));
        return;
    }
    if (S_ISREG(info.st_mode)) {
        m_kind = Kind::Regular;
        m_size = qint64(info.st_size);
    } else {
        m_kind = S_ISDIR(info.st_mode) ? Kind::Directory : Kind::Other;
    }
    m_libraryName = path;
    if (std::mbstowcs(nullptr, path.constData(), 0) == std::size_t(-1)) {
        const QByteArray entry = "/proc/self/fd/" + QByteArray::number(m_fd);
        if (::access(entry.constData(), R_OK) == 0)
            m_libraryName = entry;
    }
}

SourceFile::~SourceFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
