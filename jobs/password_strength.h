#pragma once
// The strength hint the Encrypt New Backups dialog shows under a password
// being typed: a rough guide from its length and the kinds of characters in
// it, never a refusal.

#include <string>

namespace rk::jobs {

enum class PasswordStrength { None, Weak, Fair, Strong };

PasswordStrength RatePassword(const std::string& password);

// The hint the dialog shows for it.
std::string PasswordStrengthHint(const std::string& password);

} // namespace rk::jobs
