#pragma once

#include <thread>

// Fills Qt's font database on a thread of its own, started once the
// application object exists: reading the system's font configuration takes
// several milliseconds, which the GUI thread would otherwise spend at the
// window's first text instead of building the window. Qt's font database
// is thread-safe; a GUI thread that needs it sooner waits for it to be filled.
// Destroying the object waits for the thread.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();

    FontWarmUp(const FontWarmUp &) = delete;
    FontWarmUp &operator=(const FontWarmUp &) = delete;

private:
    std::thread m_thread;
};
