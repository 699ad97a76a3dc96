#pragma once

#include <exception>
#include <functional>

// Where errors raised by event handlers go: handlers run on the GUI thread
// inside event delivery, which no exception may cross.
namespace HandlerError {

using Display = std::function<void(const std::exception &error)>;

// One place such errors go: a display that can be set, and a warning on the
// log while none is. GUI thread only.
class Channel {
public:
    // `logPrefix` leads the warning, for telling the channels apart in the log.
    explicit Channel(const char *logPrefix = "") : m_logPrefix(logPrefix) {}

    // Sets the display; an empty function restores the default. Returns the
    // previous display.
    Display setDisplay(Display display);

    // Hands the error to the display; one that is not a std::exception shows
    // as "Unknown error".
    void show(std::exception_ptr error) const;

private:
    Display m_display;
    const char *m_logPrefix;
};

// The channel of the report handlers of every runner (OnRead, OnTerminate).
Display setDisplay(Display display);
void show(std::exception_ptr error);

} // namespace HandlerError
