#include "desktop/launcherentry.h"

#include "desktop/sessionbus.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <algorithm>
#include <cmath>

void LauncherEntry::showProgress(double fraction)
{
    // A dock draws a bar a few dozen pixels long: thousandths are plenty.
    const int shown = int(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000));
    if (shown == m_shown)
        return;
    m_shown = shown;
    send({{QStringLiteral("progress"), shown / 1000.0}, {QStringLiteral("progress-visible"), true}});
}

void LauncherEntry::clear()
{
    if (m_shown < 0)
        return;
    m_shown = -1;
    send({{QStringLiteral("progress"), 0.0}, {QStringLiteral("progress-visible"), false}});
}

void LauncherEntry::send(const QVariantMap &properties)
{
    const std::optional<QDBusConnection> bus = knownSessionBus();
    if (!bus)
        return;
    QDBusMessage update = QDBusMessage::createSignal(QLatin1String(Path), QLatin1String(Interface),
                                                     QStringLiteral("Update"));
    update << QLatin1String(AppUri) << properties;
    // A signal: queued on the connection, nothing waits for an answer.
    bus->send(update);
}
