#include "platform/ascii_text.h"

namespace rk::platform {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = LowerAscii(c);
    return lower;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string_view TrimFrom(std::string_view text, std::string_view front, std::string_view back) {
    const std::size_t first = text.find_first_not_of(front);
    if (first == std::string_view::npos)
        return {};
    text.remove_prefix(first);
    const std::size_t last = text.find_last_not_of(back);
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

} // namespace rk::platform
