#pragma once

#include <cerrno>
#include <utility>

// Owns one file descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) noexcept : m_fd(fd) {}
    UniqueFd(UniqueFd &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    UniqueFd &operator=(UniqueFd other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const noexcept { return m_fd; }
    bool isOpen() const noexcept { return m_fd >= 0; }
    int release() noexcept { return std::exchange(m_fd, -1); }
    // Closes the descriptor now; the object is empty afterwards.
    void reset() noexcept;

private:
    int m_fd;
};

// Repeats a system call for as long as it fails with EINTR; the one place
// where interrupted calls are retried.
template <typename Call>
auto retryOnEintr(Call &&call)
{
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

// Makes `fd` non-blocking. Throws EOSError.
void setNonBlocking(int fd);

// A manual-reset event over an eventfd: set() makes its descriptor readable
// until reset(). Any thread may set or reset it. Throws EOSError when the
// eventfd cannot be made.
class EventFd {
public:
    EventFd();
    EventFd(const EventFd &) = delete;
    EventFd &operator=(const EventFd &) = delete;

    int fd() const noexcept { return m_fd.get(); }
    void set() noexcept;
    void reset() noexcept;
    // Closes the descriptor; set() and reset() then do nothing.
    void close() noexcept { m_fd.reset(); }

private:
    UniqueFd m_fd;
};
