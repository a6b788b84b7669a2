#pragma once
// Ignoring a signal for a while: a program that stops reading its input must
// not end this one (SIGPIPE), and so on.

#include <csignal>

namespace rk::platform {

// While it lives, the signal is ignored; how it was handled before comes back
// when it ends.
class IgnoredSignal {
  public:
    explicit IgnoredSignal(int signal);
    ~IgnoredSignal();
    IgnoredSignal(const IgnoredSignal&) = delete;
    IgnoredSignal& operator=(const IgnoredSignal&) = delete;

  private:
    int signal_;
    struct sigaction previous_ {};
};

} // namespace rk::platform
