#include "desktop/sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <utility>

SleepInhibitor::SleepInhibitor(QObject *parent) : QObject(parent) {}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::hold()
{
    if (isHeld() || m_pending)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Halvora") << QStringLiteral("Converting videos")
         << QStringLiteral("block");
    // No introspection and no wait: without logind the answer is an error.
    m_pending = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *watcher) {
        watcher->deleteLater();
        if (watcher != m_pending)
            return;
        m_pending = nullptr;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (reply.isValid() && reply.value().isValid()) {
            m_lock = reply.value();
            return;
        }
        // Without logind every batch is refused alike: saying it once per run is enough.
        static bool told = false;
        if (std::exchange(told, true))
            return;
        const QDBusError error = reply.error();
        emit refused(error.isValid() ? error.message() : QStringLiteral("no lock was handed out"));
    });
}

void SleepInhibitor::release()
{
    // The dropped watcher's answer, if it still comes, closes its copy with the message.
    if (m_pending) {
        m_pending->disconnect(this);
        m_pending->deleteLater();
        m_pending = nullptr;
    }
    m_lock = QDBusUnixFileDescriptor();
}
