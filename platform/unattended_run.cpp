#include "platform/unattended_run.h"

#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace rk::platform {

namespace {

bool IsOne(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::string_view(value) == "1";
}

} // namespace

bool RunIsUnattended() {
    if (IsOne(kUnattendedVariable))
        return true;
    if (const char* invocation = std::getenv("INVOCATION_ID");
        invocation != nullptr && *invocation != '\0')
        return true;
    return isatty(STDIN_FILENO) == 0 && isatty(STDERR_FILENO) == 0;
}

bool RunIsRetry() {
    return IsOne(kRetryVariable);
}

} // namespace rk::platform
