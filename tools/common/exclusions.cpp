#include "tools/common/exclusions.h"

#include "platform/ascii_text.h"
#include "platform/file_system.h"

#include <string>

namespace rk::tools {

bool IsExclusionComment(std::string_view line) {
    return !line.empty() && line.front() == ';';
}

namespace {

using rk::platform::LowerAscii;

bool EndsWith(std::string_view text, std::string_view suffix) {
    return suffix.size() <= text.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The longest run without "*" or "?" that every name the pattern matches
// holds. "name.*" also matches "name", so its last ".*" is left out.
std::string_view LongestPlainRun(std::string_view pattern) {
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        pattern.remove_suffix(2);
    std::string_view longest;
    size_t start = 0;
    while (start < pattern.size()) {
        size_t end = pattern.find_first_of("*?", start);
        if (end == std::string_view::npos)
            end = pattern.size();
        if (end - start > longest.size())
            longest = pattern.substr(start, end - start);
        start = end + 1;
    }
    return longest;
}

bool Holds(std::string_view text, std::string_view part) {
    return part.empty() || text.find(part) != std::string_view::npos;
}

} // namespace

Exclusions::Exclusions(const std::vector<std::string>& patterns) {
    for (const auto& p : patterns)
        Add(p);
}

void Exclusions::Add(std::string_view pattern) {
    std::string text;
    for (char c : pattern)
        text += (c == '/') ? '\\' : c;
    if (text.empty())
        return;
    Pattern entry;
    entry.matchesName = text.find('\\') == std::string::npos;
    // "*.tmp" needs no wildcard engine; "*.*" and "name.*" keep their Windows
    // meaning through WildcardMatch.
    const std::string_view rest = std::string_view(text).substr(1);
    entry.suffixOnly = text.size() > 1 && text[0] == '*' &&
                       rest.find_first_of("*?") == std::string_view::npos && text != "*." &&
                       rest.back() != '*';
    const std::string_view middle =
        text.size() > 2 ? std::string_view(text).substr(1, text.size() - 2) : std::string_view();
    entry.containsOnly = !entry.matchesName && text.front() == '*' && text.back() == '*' &&
                         !middle.empty() && middle.find_first_of("*?") == std::string_view::npos;
    entry.plain = text.find_first_of("*?") == std::string::npos;
    if (entry.suffixOnly)
        entry.lowerPart = LowerAscii(std::string_view(text).substr(1));
    else if (entry.containsOnly)
        entry.lowerPart = LowerAscii(std::string_view(text).substr(1, text.size() - 2));
    else if (entry.plain)
        entry.lowerPart = LowerAscii(text);
    else
        entry.lowerPart = LowerAscii(LongestPlainRun(text));
    entry.text = std::move(text);
    patterns_.push_back(std::move(entry));
}

bool Exclusions::ExcludesFile(std::string_view windowsPath, std::string_view name) const {
    // Lower-cased once for every plain suffix and search pattern.
    const std::string lowerPath = LowerAscii(windowsPath);
    const bool nameEndsPath = EndsWith(windowsPath, name);
    const std::string nameApart = nameEndsPath ? std::string() : LowerAscii(name);
    const std::string_view lowerName =
        nameEndsPath ? std::string_view(lowerPath).substr(lowerPath.size() - name.size())
                     : std::string_view(nameApart);
    for (const auto& p : patterns_) {
        if (p.suffixOnly) {
            if (EndsWith(p.matchesName ? lowerName : std::string_view(lowerPath), p.lowerPart))
                return true;
            continue;
        }
        if (p.containsOnly) {
            if (lowerPath.find(p.lowerPart) != std::string::npos)
                return true;
            continue;
        }
        if (p.plain) {
            if ((p.matchesName && lowerName == p.lowerPart) || lowerPath == p.lowerPart)
                return true;
            continue;
        }
        // Only a text holding the pattern's longest plain run can match it.
        if (p.matchesName && Holds(lowerName, p.lowerPart) &&
            rk::platform::WildcardMatch(name, p.text))
            return true;
        if (Holds(lowerPath, p.lowerPart) && rk::platform::WildcardMatch(windowsPath, p.text))
            return true;
    }
    return false;
}

bool Exclusions::ExcludesFolder(std::string_view windowsFolderPath) const {
    std::string withSeparator(windowsFolderPath);
    if (withSeparator.empty() || withSeparator.back() != '\\')
        withSeparator += '\\';
    for (const auto& p : patterns_) {
        if (p.suffixOnly || p.matchesName)
            continue;
        if (rk::platform::WildcardMatch(withSeparator, p.text))
            return true;
    }
    return false;
}

} // namespace rk::tools
