#include "app/quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace QuitSignals {
namespace {

int writeEnd = -1;

// The handler only writes a byte: all the work happens on the GUI thread.
void notify(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    (void)::write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

void install(std::function<void()> onSignal)
{
    int fds[2];
    if (writeEnd >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    writeEnd = fds[1];
    auto *notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, fd = fds[0], onSignal] {
        char bytes[16];
        while (::read(fd, bytes, sizeof bytes) > 0) {
        }
        // Once is enough: the window is closing and waits for the encoder.
        notifier->setEnabled(false);
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = notify;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace QuitSignals
