#include "desktop/launcherentry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// The session bus is used only where one is known to run: asking for it
// otherwise may start a bus daemon that outlives the program.
bool sessionBusKnown()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

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
    if (!sessionBusKnown())
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(QLatin1String(Path), QLatin1String(Interface),
                                                     QStringLiteral("Update"));
    update << QLatin1String(AppUri) << properties;
    // A signal: queued on the connection, nothing waits for an answer.
    bus.send(update);
}
