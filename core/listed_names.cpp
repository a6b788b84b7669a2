#include "core/listed_names.h"

namespace rk {

namespace {

// Length of the valid UTF-8 sequence starting at `at`, or 0 when the byte
// there does not start one (overlong forms, surrogates and code points above
// U+10FFFF are not valid).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if ((lead & 0xe0) == 0xc0) {
        length = 2;
        code = lead & 0x1f;
        least = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3;
        code = lead & 0x0f;
        least = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3f);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

// A byte that a plain form never holds, whatever surrounds it.
bool NeedsEscape(unsigned char c) {
    return c == '\\' || c == '"' || IsControl(c);
}

bool IsPlain(std::string_view stored) {
    if (stored.empty() || stored.front() == '/')
        return false;
    for (std::size_t at = 0; at < stored.size();) {
        const auto c = static_cast<unsigned char>(stored[at]);
        // An empty folder component ("a//b") has no plain form.
        if (c == '/' && at + 1 < stored.size() && stored[at + 1] == '/')
            return false;
        if (NeedsEscape(c))
            return false;
        const std::size_t length = Utf8SequenceLength(stored, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string ListedName(std::string_view storedName) {
    std::string listed;
    listed.reserve(storedName.size() + 1);
    if (IsPlain(storedName)) {
        for (const char c : storedName)
            listed += c == '/' ? '\\' : c;
        return listed;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    listed += '\\';
    for (std::size_t at = 0; at < storedName.size();) {
        const auto c = static_cast<unsigned char>(storedName[at]);
        const std::size_t length = Utf8SequenceLength(storedName, at);
        if (c == '/') {
            listed += '\\';
            ++at;
        } else if (length == 0 || c == '%' || NeedsEscape(c)) {
            listed += '%';
            listed += kHex[c >> 4];
            listed += kHex[c & 0x0f];
            ++at;
        } else {
            listed.append(storedName.substr(at, length));
            at += length;
        }
    }
    return listed;
}

std::optional<std::string> StoredNameOf(std::string_view listedName) {
    std::string stored;
    stored.reserve(listedName.size());
    if (listedName.empty() || listedName.front() != '\\') {
        for (const char c : listedName)
            stored += c == '\\' ? '/' : c;
        return stored;
    }
    for (std::size_t at = 1; at < listedName.size(); ++at) {
        const char c = listedName[at];
        if (c == '\\') {
            stored += '/';
        } else if (c == '%') {
            if (at + 2 >= listedName.size())
                return std::nullopt;
            const int high = HexValue(listedName[at + 1]);
            const int low = HexValue(listedName[at + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            stored += static_cast<char>(high << 4 | low);
            at += 2;
        } else {
            stored += c;
        }
    }
    return stored;
}

} // namespace rk
