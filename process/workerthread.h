#pragma once

#include <functional>

// Starts body on a detached thread running below normal priority, so that a
// chatty child does not starve the interface; the thread ends and frees
// itself when body returns. Throws EOSError when no thread can be made.
void startWorkerThread(std::function<void()> body);
