#pragma once
// The passwords rkzip and rkunzip are given for encrypted archives. They
// never come on the command line or from a file on disk: the caller puts
// them in a descriptor it lets the utility inherit (a memfd or a pipe) and
// names it in RAVELKEEP_PASSWORD_FD, e.g. "RAVELKEEP_PASSWORD_FD=4". The
// descriptor holds one or more passwords, one a line ("\n" ends a line, the
// last may lack it; the bytes are taken as they are), at most 16 lines of at
// most 1024 bytes. It is read whole when the run starts and closed; the
// passwords stay in memory that is cleared when they go.
// rkzip encrypts with the first; rkunzip tries them in order (newest first),
// so archives made before a password change still open.

#include "platform/result.h"

#include <cstddef>
#include <string>
#include <vector>

namespace rk::tools {

inline constexpr const char* kPasswordFdVariable = "RAVELKEEP_PASSWORD_FD";
inline constexpr std::size_t kMostPasswords = 16;
inline constexpr std::size_t kLongestPassword = 1024;

// Passwords held in memory cleared when they go; never copied.
class Passwords {
  public:
    Passwords() = default;
    ~Passwords();
    Passwords(const Passwords&) = delete;
    Passwords& operator=(const Passwords&) = delete;
    Passwords(Passwords&& other) noexcept;
    Passwords& operator=(Passwords&& other) noexcept;

    bool empty() const { return list_.empty(); }
    const std::vector<std::string>& list() const { return list_; }
    // Splits `bytes` into lines; false when they hold none or break a bound.
    bool TakeLines(const std::string& bytes, std::string& problem);

  private:
    void Clear();
    std::vector<std::string> list_;
};

// The passwords of the descriptor named by RAVELKEEP_PASSWORD_FD: none when
// the variable is not set, a failure (what to report) when it is set but
// the descriptor cannot be read, is empty or breaks the bounds. The
// descriptor is closed either way.
Result<Passwords> ReadGivenPasswords();

// The same for a variable's value, for the tests.
Result<Passwords> ReadPasswordsFrom(const char* variableValue);

} // namespace rk::tools
