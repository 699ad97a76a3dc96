#include "process/uniquefd.h"

#include "process/eoserror.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

void UniqueFd::reset() noexcept
{
    // close() is not retried on EINTR: on Linux the descriptor is gone either way.
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
}

void setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw EOSError(errno);
}

EventFd::EventFd() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_fd.isOpen())
        throw EOSError(errno);
}

void EventFd::set() noexcept
{
    if (!m_fd.isOpen())
        return;
    const std::uint64_t one = 1;
    // EAGAIN would mean the counter is near overflow: it is readable then anyway.
    (void)retryOnEintr([&] { return ::write(m_fd.get(), &one, sizeof one); });
}

void EventFd::reset() noexcept
{
    if (!m_fd.isOpen())
        return;
    std::uint64_t value;
    (void)retryOnEintr([&] { return ::read(m_fd.get(), &value, sizeof value); });
}
