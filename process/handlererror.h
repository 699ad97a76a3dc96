#pragma once

#include <exception>
#include <functional>

// Where errors raised by the report handlers of every runner go (OnRead,
// OnTerminate): handlers run on the GUI thread inside event delivery, which
// no exception may cross.
namespace HandlerError {

using Display = std::function<void(const std::exception &error)>;

// Sets the display; an empty function restores the default (a warning on
// the log). Returns the previous display.
Display setDisplay(Display display);

// Hands the error to the display; one that is not a std::exception shows as
// "Unknown error".
void show(std::exception_ptr error);

} // namespace HandlerError
