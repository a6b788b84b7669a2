#include "rkbak/quit_on_signal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace rk {

namespace {

// The handler may only write: it hands the signal to the event loop through
// a pipe, whose reading end the loop watches.
int signalPipe[2] = {-1, -1};

void HandOnSignal(int) {
    const char byte = 1;
    const ssize_t written = write(signalPipe[1], &byte, 1);
    (void)written;
}

} // namespace

void QuitEventLoopOnSignals() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        while (read(signalPipe[0], &byte, 1) == 1) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = HandOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

} // namespace rk
