#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace {

constexpr quint32 Magic = 0x48564c31; // "HVL1"
constexpr int WaitMs = 5000;

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

} // namespace

SingleInstance::SingleInstance(const QString &settingsFile, QObject *parent)
    : QObject(parent), m_socketPath(socketPathFor(settingsFile)), m_lock(m_socketPath + QStringLiteral(".lock"))
{
    // Held for the whole run: only a dead owner makes it stale, never its age.
    m_lock.setStaleLockTime(0);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
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

bool SingleInstance::handOver(const QList<QByteArray> &paths)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return false;
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << Magic << paths;
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(WaitMs))
        return false;
    // The running window answers once it has taken the paths.
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(WaitMs))
            return false;
    }
    return socket.read(1) == "k";
}

void SingleInstance::serve()
{
    // A socket left by a killed owner would refuse the name.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server.listen(m_socketPath))
        return;
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                QDataStream in(socket);
                in.startTransaction();
                quint32 magic = 0;
                QList<QByteArray> paths;
                in >> magic >> paths;
                if (!in.commitTransaction())
                    return; // more to come
                if (magic != Magic) {
                    socket->abort();
                    return;
                }
                socket->write("k");
                socket->flush();
                emit pathsArrived(paths);
            });
        }
    });
}
