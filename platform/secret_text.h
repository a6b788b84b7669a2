#pragma once
// Texts that hold passwords: a job's passwords are one text, one password a
// line, newest first; and every copy is overwritten before it is freed.

#include <string>
#include <vector>

namespace rk::platform {

// The passwords of a text (one per line, the last line end optional) and
// back (every line ended).
std::vector<std::string> PasswordsOfText(const std::string& text);
std::string TextOfPasswords(const std::vector<std::string>& passwords);

// Overwrites the bytes of a text that held a password, and empties it.
void ClearSecretText(std::string& text);
void ClearSecretTexts(std::vector<std::string>& texts);

// Holds a job's passwords and clears them when it goes.
class ClearedPasswords {
  public:
    ClearedPasswords() = default;
    explicit ClearedPasswords(std::vector<std::string> passwords)
        : passwords_(std::move(passwords)) {}
    ClearedPasswords(const ClearedPasswords& other) = default;
    ClearedPasswords& operator=(const ClearedPasswords& other) {
        if (this != &other) {
            ClearSecretTexts(passwords_);
            passwords_ = other.passwords_;
        }
        return *this;
    }
    ClearedPasswords(ClearedPasswords&& other) noexcept : passwords_(std::move(other.passwords_)) {
        other.passwords_.clear();
    }
    ClearedPasswords& operator=(ClearedPasswords&& other) noexcept {
        if (this != &other) {
            ClearSecretTexts(passwords_);
            passwords_ = std::move(other.passwords_);
            other.passwords_.clear();
        }
        return *this;
    }
    ~ClearedPasswords() { ClearSecretTexts(passwords_); }
    const std::vector<std::string>& all() const { return passwords_; }
    bool empty() const { return passwords_.empty(); }

  private:
    std::vector<std::string> passwords_;
};

} // namespace rk::platform
