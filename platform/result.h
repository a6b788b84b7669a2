#pragma once
// The outcome of an operation that can fail: its value, or the reason a
// person reads (a clause such as "no archive named", without the program's
// name in front), together with the lines a utility wrote about the failure
// when a utility's run is behind it. Result<void> carries only the reason and
// the lines. Every failable operation of the program answers with one;
// declarations whose failure must not pass unread are marked [[nodiscard]].

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rk {

// What a failed operation tells: the reason, and the utility's own lines
// (without their line ends, in the order written) that the reason rests on.
class FailureText {
  public:
    // Empty when the operation succeeded.
    const std::string& reason() const { return reason_; }
    // Empty when no utility said anything about the failure.
    const std::vector<std::string>& utilityLines() const { return utilityLines_; }

  protected:
    FailureText() = default;
    FailureText(std::string reason, std::vector<std::string> utilityLines)
        : reason_(std::move(reason)), utilityLines_(std::move(utilityLines)) {}

  private:
    std::string reason_;
    std::vector<std::string> utilityLines_;
};

template <typename T> class Result : public FailureText {
  public:
    Result(T value) : value_(std::move(value)) {}
    static Result Failure(std::string reason, std::vector<std::string> utilityLines = {}) {
        return Result(std::move(reason), std::move(utilityLines));
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

  private:
    Result(std::string reason, std::vector<std::string> utilityLines)
        : FailureText(std::move(reason), std::move(utilityLines)) {}
    std::optional<T> value_;
};

template <> class Result<void> : public FailureText {
  public:
    Result() = default;
    static Result Failure(std::string reason, std::vector<std::string> utilityLines = {}) {
        return Result(std::move(reason), std::move(utilityLines));
    }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }

  private:
    Result(std::string reason, std::vector<std::string> utilityLines)
        : FailureText(std::move(reason), std::move(utilityLines)), failed_(true) {}
    bool failed_ = false;
};

} // namespace rk
