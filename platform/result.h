#pragma once
// The outcome of an operation that can fail: its value, or the reason a
// person reads (a clause such as "no archive named", without the program's
// name in front). Result<void> carries only the reason.

#include <optional>
#include <string>
#include <utility>

namespace rk {

template <typename T> class [[nodiscard]] Result {
  public:
    Result(T value) : value_(std::move(value)) {}
    static Result Failure(std::string reason) { return Result(std::nullopt, std::move(reason)); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    // Empty when the operation succeeded.
    const std::string& reason() const { return reason_; }

  private:
    Result(std::nullopt_t, std::string reason) : reason_(std::move(reason)) {}
    std::optional<T> value_;
    std::string reason_;
};

template <> class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    static Result Failure(std::string reason) {
        Result failed;
        failed.failed_ = true;
        failed.reason_ = std::move(reason);
        return failed;
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& reason() const { return reason_; }

  private:
    bool failed_ = false;
    std::string reason_;
};

} // namespace rk
