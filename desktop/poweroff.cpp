#include "desktop/poweroff.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace PowerOff {

Outcome powerOff()
{
    Outcome outcome;
    QDBusInterface logind(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                          QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());

    const QDBusReply<QString> allowed = logind.call(QStringLiteral("CanPowerOff"));
    if (allowed.isValid()) {
        outcome.permitted = allowed.value() == QLatin1String("yes") || allowed.value() == QLatin1String("challenge");
        if (!outcome.permitted)
            outcome.error = QStringLiteral("CanPowerOff: ") + allowed.value();
    } else {
        outcome.error = allowed.error().message();
    }

    // After "challenge" the request is interactive, so that the desktop's
    // agent can ask for the password.
    const bool interactive = allowed.isValid() && allowed.value() == QLatin1String("challenge");
    const QDBusReply<void> request = logind.call(QStringLiteral("PowerOff"), interactive);
    outcome.requested = request.isValid();
    if (!outcome.requested && outcome.error.isEmpty())
        outcome.error = request.error().message();
    return outcome;
}

} // namespace PowerOff
