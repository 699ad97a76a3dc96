#include "process/workerthread.h"

#include "process/eoserror.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace {

// One nice step below the thread it was started from; best effort.
void lowerPriority()
{
    const pid_t thread = ::gettid();
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, id_t(thread));
    if (errno == 0)
        (void)::setpriority(PRIO_PROCESS, id_t(thread), current + 1);
}

} // namespace

void startWorkerThread(std::function<void()> body)
{
    try {
        std::thread([body = std::move(body)] {
            lowerPriority();
            body();
        }).detach();
    } catch (const std::system_error &error) {
        throw EOSError(error.code().value());
    }
}
