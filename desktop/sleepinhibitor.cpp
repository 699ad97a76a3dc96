#include "desktop/sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

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
    // No introspection and no wait: without logind the answer is an error, which is ignored.
    m_pending = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *watcher) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
        if (watcher == m_pending && reply.isValid())
            m_lock = reply.value();
        if (watcher == m_pending)
            m_pending = nullptr;
        watcher->deleteLater();
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
