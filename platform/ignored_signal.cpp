#include "platform/ignored_signal.h"

namespace rk::platform {

IgnoredSignal::IgnoredSignal(int signal) : signal_(signal) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(signal_, &ignore, &previous_);
}

IgnoredSignal::~IgnoredSignal() {
    sigaction(signal_, &previous_, nullptr);
}

} // namespace rk::platform
