#include "core/text.h"

#include "platform/ascii_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace rk {

namespace {

constexpr std::int16_t MaxPieces = std::numeric_limits<std::int16_t>::max();

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool StartsWith(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && text.substr(0, head.size()) == head;
}

// Components c(first) .. c(last) of a split path, each followed by a backslash,
// with the last backslash dropped when asked and the text is longer than three
// characters (a drive root such as "C:\" keeps it).
std::string JoinFolder(const std::vector<std::string>& components, std::int16_t first,
                       std::int16_t last, bool strip) {
    std::string folder;
    for (std::int16_t i = first; i <= last; ++i) {
        folder += components[static_cast<std::size_t>(i)];
        folder += '\\';
    }
    if (strip && folder.size() > 3)
        folder.pop_back();
    return folder;
}

} // namespace

std::string Trim(std::string_view text) {
    return std::string(platform::TrimFrom(text, " ", " "));
}

std::string LowerCase(std::string_view text) {
    return platform::LowerAscii(text);
}

std::string AddBackslash(std::string_view text) {
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.back() != '\\')
        trimmed += '\\';
    return trimmed;
}

std::string StripBackslash(std::string_view text) {
    std::string trimmed = Trim(text);
    if (trimmed.size() > 3 && trimmed.back() == '\\') {
        trimmed.pop_back();
        return trimmed;
    }
    return std::string(text);
}

std::int16_t SplitString(std::vector<std::string>& pieces, std::string_view text,
                         std::string_view separator, bool tolerant) {
    pieces.clear();
    pieces.emplace_back();
    if (separator.empty()) {
        // Nothing to split at: the whole text is the one piece.
        pieces.emplace_back(text);
        return 1;
    }

    std::string framed;
    if (!tolerant || !StartsWith(text, separator))
        framed += separator;
    framed += text;
    if (!tolerant || !EndsWith(text, separator))
        framed += separator;

    std::int16_t count = 0;
    std::size_t start = separator.size();
    while (start <= framed.size()) {
        const std::size_t found = framed.find(separator, start);
        if (found == std::string::npos)
            break;
        if (count == MaxPieces - 1) {
            // The last piece that fits takes the rest of the text.
            const std::size_t end = framed.size() - separator.size();
            pieces.emplace_back(end > start ? framed.substr(start, end - start) : std::string());
            ++count;
            break;
        }
        pieces.emplace_back(framed.substr(start, found - start));
        ++count;
        start = found + separator.size();
    }
    return count;
}

std::string GetToken(std::string_view text, std::int16_t piece, std::string_view separator) {
    std::vector<std::string> pieces;
    const std::int16_t count = SplitString(pieces, text, separator, false);
    if (piece < 0 || piece > count || count == 0)
        return {};
    return pieces[static_cast<std::size_t>(piece)];
}

std::string GetPathPart(std::string_view path, int mode, bool strip) {
    std::string trimmed = Trim(path);
    if (!trimmed.empty() && trimmed.back() == '\\')
        return trimmed;

    const bool network = StartsWith(trimmed, "\\\\");
    if (network)
        trimmed.erase(0, 2);
    const std::string prefix = network ? "\\\\" : "";

    std::vector<std::string> components;
    const std::int16_t n = SplitString(components, trimmed, "\\", false);
    const std::string& last = components[static_cast<std::size_t>(n)];

    switch (mode) {
    case PathPartFolder:
        return prefix + (n >= 2 ? JoinFolder(components, 1, static_cast<std::int16_t>(n - 1), strip)
                                : std::string());
    case PathPartFileName:
        return last;
    case PathPartExtension: {
        std::vector<std::string> pieces;
        const std::int16_t m = SplitString(pieces, last, ".", false);
        return m > 1 ? pieces[static_cast<std::size_t>(m)] : std::string();
    }
    case PathPartBaseName: {
        std::vector<std::string> pieces;
        const std::int16_t m = SplitString(pieces, last, ".", false);
        if (m < 2)
            return last;
        std::string base;
        for (std::int16_t i = 1; i < m; ++i)
            base += pieces[static_cast<std::size_t>(i)];
        return base;
    }
    case PathPartParent:
        return prefix + (n >= 3 ? JoinFolder(components, 1, static_cast<std::int16_t>(n - 2), strip)
                                : std::string());
    case PathPartRoot:
        return prefix + components[1] + (strip ? "" : "\\");
    default:
        return {};
    }
}

bool SameText(std::string_view a, std::string_view b) {
    return LowerCase(Trim(a)) == LowerCase(Trim(b));
}

bool ContainsText(std::string_view searched, std::string_view sought) {
    return searched.find(sought) != std::string_view::npos;
}

bool ContainsAnyChar(std::string_view searched, std::string_view characters) {
    for (const char c : characters) {
        if (ContainsText(searched, std::string_view(&c, 1)))
            return true;
    }
    return false;
}

std::string TrimAtNull(std::string_view text) {
    return std::string(text.substr(0, text.find('\0')));
}

double LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const auto isDigit = [&](std::size_t at) {
        return at < text.size() && text[at] >= '0' && text[at] <= '9';
    };
    std::size_t digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.' && isDigit(i + 1)) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;

    std::string_view number = text.substr(start, i - start);
    const bool negative = number.front() == '-';
    if (number.front() == '+' || number.front() == '-')
        number.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range)
        value = std::numeric_limits<double>::infinity();
    else if (error != std::errc() || end != number.data() + number.size())
        return 0.0;
    return negative ? -value : value;
}

long long RoundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    constexpr auto low = std::numeric_limits<long long>::min();
    constexpr auto high = std::numeric_limits<long long>::max();
    // 2^63 is exactly representable; every double below it converts safely.
    if (value >= 9223372036854775808.0)
        return high;
    if (value <= -9223372036854775808.0)
        return low;
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (whole >= 9223372036854775808.0)
        return high;
    return static_cast<long long>(whole);
}

} // namespace rk
