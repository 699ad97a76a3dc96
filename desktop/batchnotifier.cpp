#include "desktop/batchnotifier.h"

#include "desktop/sessionbus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

BatchNotifier::BatchNotifier(QObject *parent) : QObject(parent) {}

void BatchNotifier::batchEnded(int converted, int failed)
{
    std::optional<QDBusConnection> known = knownSessionBus();
    if (!known)
        return;
    QDBusConnection &bus = *known;
    if (!std::exchange(m_listening, true))
        bus.connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));

    const QString summary = converted == 1 ? QStringLiteral("1 file converted")
                                           : QStringLiteral("%1 files converted").arg(converted);
    const QString body = failed > 0 ? QStringLiteral("%1 not converted").arg(failed) : QString();
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    call << QStringLiteral("Halvora") << 0u << QStringLiteral("halvora") << summary << body
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Halvora")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("halvora")}} << -1;
    // Without a notification service the answer is an error, which is ignored.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isValid())
            m_sent.append(reply.value());
        finished->deleteLater();
    });
}

void BatchNotifier::actionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && m_sent.contains(id) && OnActivate)
        OnActivate();
}
