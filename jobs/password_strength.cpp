#include "jobs/password_strength.h"

#include <cctype>

namespace rk::jobs {

PasswordStrength RatePassword(const std::string& password) {
    if (password.empty())
        return PasswordStrength::None;
    bool lower = false;
    bool upper = false;
    bool digit = false;
    bool other = false;
    for (const char c : password) {
        const auto byte = static_cast<unsigned char>(c);
        lower = lower || std::islower(byte) != 0;
        upper = upper || std::isupper(byte) != 0;
        digit = digit || std::isdigit(byte) != 0;
        other = other || std::isalnum(byte) == 0;
    }
    const int kinds = int{lower} + int{upper} + int{digit} + int{other};
    // A long phrase is strong whatever it is made of; a short word is weak
    // however mixed.
    if (password.size() >= 20 || (password.size() >= 14 && kinds >= 3))
        return PasswordStrength::Strong;
    if (password.size() >= 10 && kinds >= 2)
        return PasswordStrength::Fair;
    return PasswordStrength::Weak;
}

std::string PasswordStrengthHint(const std::string& password) {
    switch (RatePassword(password)) {
    case PasswordStrength::None:
        return "Strength: type a password.";
    case PasswordStrength::Weak:
        return "Strength: weak. Anyone holding the backup disk could guess it; use a longer "
               "password, such as several words.";
    case PasswordStrength::Fair:
        return "Strength: fair. A few more words or characters make it strong.";
    case PasswordStrength::Strong:
        return "Strength: strong.";
    }
    return {};
}

} // namespace rk::jobs
