#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <cstring>
#include <functional>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr quint32 Magic = 0x48564c31; // "HVL1"
constexpr int WaitMs = 5000;
// More than any list of paths a desktop hands over; a peer sending more is
// cut off rather than filling the memory.
constexpr qsizetype MaxMessage = 64 * 1024 * 1024;

QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath();
}

QString socketPathFor(const QString &settingsFile)
{
    // The user id keeps users apart where the folder is shared (/tmp).
    const QByteArray key = QByteArray::number(::getuid()) + '\0' + QFile::encodeName(settingsFile);
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return socketFolder() + QStringLiteral("/halvora-") + QString::fromLatin1(hash);
}

// The socket's address; false when the path does not fit in one.
bool addressOf(const QString &path, sockaddr_un &address)
{
    const QByteArray name = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

UniqueFd unixSocket(int flags = 0)
{
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | flags, 0));
}

// Waits for `events` on `fd` until `deadline`; false when it passed.
bool waitFor(int fd, short events, const QDeadlineTimer &deadline)
{
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, int(qMax<qint64>(0, deadline.remainingTime())));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// One later start talking to the running window: collects its message up to
// the peer's end of sending, answers "k" as it passes the paths on, and goes.
class Connection : public QObject {
public:
    Connection(UniqueFd fd, SingleInstance *owner,
               std::function<void(const QList<QByteArray> &)> deliver)
        : QObject(owner), m_fd(std::move(fd)), m_notifier(m_fd.get(), QSocketNotifier::Read, this),
          m_deliver(std::move(deliver))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, &Connection::readable);
    }

private:
    void readable()
    {
        char chunk[65536];
        const ssize_t got = retryOnEintr([&] { return ::read(m_fd.get(), chunk, sizeof chunk); });
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got > 0 && m_message.size() + got <= MaxMessage) {
            m_message.append(chunk, got);
            return;
        }
        // The peer has sent all (it shuts down its writing side) or failed.
        finish();
        if (got != 0)
            return;
        QDataStream in(m_message);
        quint32 magic = 0;
        QList<QByteArray> paths;
        in >> magic >> paths;
        if (in.status() != QDataStream::Ok || magic != Magic)
            return;
        (void)retryOnEintr([&] { return ::send(m_fd.get(), "k", 1, MSG_NOSIGNAL); });
        m_deliver(paths);
    }

    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    UniqueFd m_fd;
    QSocketNotifier m_notifier;
    std::function<void(const QList<QByteArray> &)> m_deliver;
    QByteArray m_message;
};

} // namespace

SingleInstance::SingleInstance(const QString &settingsFile, QObject *parent)
    : QObject(parent), m_socketPath(socketPathFor(settingsFile)), m_lock(m_socketPath + QStringLiteral(".lock"))
{
    // Held for the whole run: only a dead owner makes it stale, never its age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_listener.isOpen())
        ::unlink(QFile::encodeName(m_socketPath).constData());
}

bool SingleInstance::claim(const QList<QByteArray> &paths)
{
    const QDeadlineTimer deadline(WaitMs);
    while (!deadline.hasExpired()) {
        if (m_lock.tryLock(0)) {
            serve();
            return true;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            break; // the folder is not writable: run without the check
        // The owner may still be starting: its socket comes up after its lock.
        if (handOver(paths))
            return false;
        QThread::msleep(50);
    }
    // Neither the lock nor its owner answers: better two windows than none.
    return true;
}

bool SingleInstance::handOver(const QList<QByteArray> &paths) const
{
    sockaddr_un address;
    UniqueFd socket = unixSocket();
    if (!socket.isOpen() || !addressOf(m_socketPath, address)
        || retryOnEintr([&] { return ::connect(socket.get(), reinterpret_cast<sockaddr *>(&address), sizeof address); }) != 0)
        return false;
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << Magic << paths;
    }
    const QDeadlineTimer deadline(WaitMs);
    for (qsizetype sent = 0; sent < message.size();) {
        if (!waitFor(socket.get(), POLLOUT, deadline))
            return false;
        const ssize_t done = retryOnEintr([&] {
            return ::send(socket.get(), message.constData() + sent, size_t(message.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        });
        if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        sent += qMax<ssize_t>(done, 0);
    }
    ::shutdown(socket.get(), SHUT_WR);
    // The running window answers once it has taken the paths.
    char answer = 0;
    return waitFor(socket.get(), POLLIN, deadline)
        && retryOnEintr([&] { return ::recv(socket.get(), &answer, 1, MSG_DONTWAIT); }) == 1 && answer == 'k';
}

void SingleInstance::serve()
{
    sockaddr_un address;
    UniqueFd listener = unixSocket(SOCK_NONBLOCK);
    if (!listener.isOpen() || !addressOf(m_socketPath, address))
        return;
    // A socket left by a killed owner would refuse the name; the lock says it is ours now.
    ::unlink(address.sun_path);
    if (::bind(listener.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return;
    // Only this user may hand over paths; nobody can connect before listen().
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(listener.get(), 16) != 0) {
        ::unlink(address.sun_path);
        return;
    }
    m_listener = std::move(listener);
    m_listening = new QSocketNotifier(m_listener.get(), QSocketNotifier::Read, this);
    connect(m_listening, &QSocketNotifier::activated, this, &SingleInstance::accept);
}

void SingleInstance::accept()
{
    for (;;) {
        UniqueFd peer(retryOnEintr([&] { return ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC); }));
        if (!peer.isOpen())
            return;
        new Connection(std::move(peer), this, [this](const QList<QByteArray> &paths) { emit pathsArrived(paths); });
    }
}
