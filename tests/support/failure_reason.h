#pragma once
// The reason a failed Result carries, or nothing when it succeeded: lets a
// test compare an outcome with the exact words the user reads in one
// assertion.

#include "platform/result.h"

#include <optional>
#include <string>

namespace rk::test {

template <typename T> std::optional<std::string> FailureReason(const Result<T>& result) {
    if (result)
        return std::nullopt;
    return result.reason();
}

} // namespace rk::test
