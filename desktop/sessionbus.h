#pragma once

#include <QDBusConnection>
#include <optional>

// The session bus, where one is known to run: asking for it otherwise may
// start a bus daemon that outlives the program. Empty without one, or when
// it cannot be reached.
std::optional<QDBusConnection> knownSessionBus();
