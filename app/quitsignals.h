#pragma once

#include <functional>

// SIGTERM, SIGINT and SIGHUP (logout, Ctrl+C in a terminal, a closed
// terminal) handed to the event loop: each runs `onSignal` on the GUI thread
// as a window event would. A second signal while the first is handled is
// ignored. Call once, after the application object exists.
namespace QuitSignals {

void install(std::function<void()> onSignal);

} // namespace QuitSignals
