#include "engine/utility_lines.h"

#include <algorithm>

namespace rk {

namespace {

constexpr std::string_view kZipPrefix = "rkzip: ";

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "'PATH': REASON (not stored)" after its verb: PATH. The reason (an error
// text) holds no "': ", so the last one ends the path.
std::optional<std::string> QuotedNotStored(std::string_view rest) {
    constexpr std::string_view notStored = " (not stored)";
    if (rest.size() < 2 || rest.front() != '\'' || !EndsWith(rest, notStored))
        return std::nullopt;
    rest.remove_suffix(notStored.size());
    const std::size_t end = rest.rfind("': ");
    if (end == std::string_view::npos || end < 2)
        return std::nullopt;
    return std::string(rest.substr(1, end - 1));
}

// "PATH: REASON": PATH, which is Windows path text with its drive (or a
// "\\" path). The reason holds no ": ", so the last one ends the path.
std::optional<std::string> PlainPath(std::string_view rest) {
    const std::size_t end = rest.rfind(": ");
    if (end == std::string_view::npos || end == 0 || end + 2 == rest.size())
        return std::nullopt;
    const std::string_view path = rest.substr(0, end);
    const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
    if (!drive && !StartsWith(path, "\\\\"))
        return std::nullopt;
    return std::string(path);
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    return line;
}

} // namespace

std::optional<std::string> LeftOutName(std::string_view line) {
    line = WithoutLineEnd(line);
    if (!StartsWith(line, kZipPrefix))
        return std::nullopt;
    line.remove_prefix(kZipPrefix.size());
    if (StartsWith(line, "can't read '"))
        return QuotedNotStored(line.substr(11));
    if (StartsWith(line, "can't add '"))
        return QuotedNotStored(line.substr(10));
    if (StartsWith(line, "can't read folder "))
        return PlainPath(line.substr(18));
    if (StartsWith(line, "can't read "))
        return PlainPath(line.substr(11));
    constexpr std::string_view notMatched = "name not matched: ";
    if (StartsWith(line, notMatched)) {
        const std::string_view pattern = line.substr(notMatched.size());
        const std::size_t separator = pattern.rfind('\\');
        if (separator == std::string_view::npos || separator == 0)
            return std::nullopt;
        // A folder pattern ("C:\Data\*.*") names its folder; a drive root
        // keeps its backslash.
        const std::string_view last = pattern.substr(separator + 1);
        if (last.find_first_of("*?") == std::string_view::npos)
            return std::string(pattern);
        const std::string_view folder = pattern.substr(0, separator);
        return std::string(folder) + (folder.size() == 2 && folder[1] == ':' ? "\\" : "");
    }
    return std::nullopt;
}

std::string PlainLine(std::string_view line) {
    line = WithoutLineEnd(line);
    constexpr std::string_view notMatched = "rkzip: name not matched: ";
    if (!StartsWith(line, notMatched))
        return std::string(line);
    const std::optional<std::string> name = LeftOutName(line);
    if (!name)
        return std::string(line);
    const std::string_view pattern = line.substr(notMatched.size());
    const bool folder =
        pattern.substr(pattern.rfind('\\') + 1).find_first_of("*?") != std::string_view::npos;
    return (folder ? "the source folder " : "the source ") + *name + " does not exist";
}

void LeftOutFiles::Take(std::string_view line) {
    std::optional<std::string> name = LeftOutName(line);
    if (!name)
        return;
    ++count_;
    if (named_.size() < most_) {
        told_.push_back(StartsWith(line, "rkzip: name not matched: ") ? PlainLine(line) : *name);
        named_.push_back(std::move(*name));
    }
}

std::string_view LastLine(std::string_view text) {
    const std::size_t end = text.find_last_not_of("\r\n ");
    if (end == std::string_view::npos)
        return {};
    const std::size_t newline = text.find_last_of('\n', end);
    const std::size_t start = newline == std::string_view::npos ? 0 : newline + 1;
    return text.substr(start, end + 1 - start);
}

std::vector<std::string> MeaningfulLines(std::string_view text, std::size_t most) {
    std::vector<std::string> lines;
    while (!text.empty() && lines.size() < most) {
        const std::size_t lineEnd = text.find_last_not_of("\r\n");
        if (lineEnd == std::string_view::npos)
            break;
        text = text.substr(0, lineEnd + 1);
        const std::size_t start = text.rfind('\n');
        std::string_view line = text.substr(start == std::string_view::npos ? 0 : start + 1);
        text = text.substr(0, start == std::string_view::npos ? 0 : start);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            continue;
        if (StartsWith(line, "rkzip: not a regular file, not stored: "))
            continue;
        std::string plain = PlainLine(line.substr(0, line.find_last_not_of(" \t\r") + 1));
        // Read from the end: a line that a later one already says in full
        // ("the source folder C:\X does not exist") is not said twice.
        if (std::none_of(lines.begin(), lines.end(), [&plain](const std::string& later) {
                return later.find(plain) != std::string::npos;
            }))
            lines.push_back(std::move(plain));
    }
    return {lines.rbegin(), lines.rend()};
}

} // namespace rk
