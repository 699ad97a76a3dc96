#pragma once

#include <thread>

// Does on a thread of its own, while the GUI thread builds the window, the
// loading Qt would otherwise do on the GUI thread on the way to the window's
// first drawing:
// - fills Qt's font database (reading the system's font configuration takes
//   several milliseconds);
// - loads the image format plug-ins, which Qt opens all at once the first
//   time it reads a picture file its style draws with.
// Both are thread-safe in Qt; a GUI thread that needs them sooner waits for
// them. Started once the application object exists; destroying the object
// waits for the thread.
class StartWarmUp {
public:
    StartWarmUp();
    ~StartWarmUp();

    StartWarmUp(const StartWarmUp &) = delete;
    StartWarmUp &operator=(const StartWarmUp &) = delete;

private:
    std::thread m_thread;
};
