#include "tools/common/stop_signals.h"

#include <csignal>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace rk::tools {

namespace {

void EndBySignal(int number) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(number, &fallback, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
    _exit(128 + number);
}

void WaitForStopSignal(sigset_t signals, StopCleanUp cleanUp) {
    int number = 0;
    if (sigwait(&signals, &number) != 0)
        return;
    if (cleanUp())
        EndBySignal(number);
}

} // namespace

void WatchStopSignals(StopCleanUp cleanUp) {
    sigset_t signals;
    sigemptyset(&signals);
    bool any = false;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        sigaddset(&signals, number);
        any = true;
    }
    if (!any)
        return;
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return;
    try {
        // Detached: a run that ends normally does not wait for it.
        std::thread(WaitForStopSignal, signals, cleanUp).detach();
    } catch (const std::system_error&) {
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

} // namespace rk::tools
