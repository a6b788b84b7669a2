#pragma once
// The time the program reads: the system clock, or a clock a test sets so
// that it can give each run its own second without waiting for it.

#include <ctime>
#include <functional>

namespace rk::platform {

// Seconds since the epoch.
std::time_t Now();

// From here on Now() asks `clock`; an empty function gives the system clock
// back. For tests only; not for use while other threads read the time.
void SetClock(std::function<std::time_t()> clock);

} // namespace rk::platform
