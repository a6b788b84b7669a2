#pragma once
// Passwords from a command instead of the keyring, for machines without a
// desktop and for scripts: RAVELKEEP_PASSWORD_COMMAND names a command line
// (split as the utility command lines are, run without any shell) that
// prints a job's passwords on its standard output, one per line, newest
// first.

#include "platform/result.h"

#include <optional>
#include <string>
#include <vector>

namespace rk::platform {

inline constexpr const char* kPasswordCommandVariable = "RAVELKEEP_PASSWORD_COMMAND";

// The command line the variable holds, when it is set and not blank.
std::optional<std::string> PasswordCommand();

// Runs the command line (its program a host path or a name found on PATH)
// and reads the passwords it printed. A command that fails, cannot start or
// prints nothing answers why.
Result<std::vector<std::string>> PasswordsFromCommand(const std::string& commandLine);

} // namespace rk::platform
