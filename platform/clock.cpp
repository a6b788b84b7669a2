#include "platform/clock.h"

namespace rk::platform {

namespace {

std::function<std::time_t()>& SetOne() {
    static std::function<std::time_t()> clock;
    return clock;
}

} // namespace

std::time_t Now() {
    const auto& clock = SetOne();
    return clock ? clock() : std::time(nullptr);
}

void SetClock(std::function<std::time_t()> clock) {
    SetOne() = std::move(clock);
}

} // namespace rk::platform
