#include "platform/secret_text.h"

#include <cstring>

namespace rk::platform {

void ClearSecretText(std::string& text) {
    if (!text.empty())
        explicit_bzero(text.data(), text.size());
    text.clear();
}

void ClearSecretTexts(std::vector<std::string>& texts) {
    for (std::string& text : texts)
        ClearSecretText(text);
    texts.clear();
}

std::vector<std::string> PasswordsOfText(const std::string& text) {
    std::vector<std::string> passwords;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        passwords.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return passwords;
}

std::string TextOfPasswords(const std::vector<std::string>& passwords) {
    std::string text;
    for (const std::string& password : passwords)
        text += password + "\n";
    return text;
}

} // namespace rk::platform
