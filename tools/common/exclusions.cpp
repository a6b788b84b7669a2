#include "tools/common/exclusions.h"

#include "platform/file_system.h"

#include <cctype>

namespace rk::tools {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (suffix.size() > text.size())
        return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    }
    return true;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size())
        return false;
    for (size_t start = 0; start + part.size() <= text.size(); ++start)
        if (EndsWithNoCase(text.substr(0, start + part.size()), part))
            return true;
    return false;
}

} // namespace

Exclusions::Exclusions(std::vector<std::string> patterns) {
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
    entry.text = std::move(text);
    patterns_.push_back(std::move(entry));
}

bool Exclusions::ExcludesFile(std::string_view windowsPath, std::string_view name) const {
    for (const auto& p : patterns_) {
        if (p.suffixOnly) {
            const std::string_view suffix = std::string_view(p.text).substr(1);
            if (EndsWithNoCase(p.matchesName ? name : windowsPath, suffix))
                return true;
            continue;
        }
        if (p.containsOnly) {
            const std::string_view part = std::string_view(p.text).substr(1, p.text.size() - 2);
            if (ContainsNoCase(windowsPath, part))
                return true;
            continue;
        }
        if (p.matchesName && rk::platform::WildcardMatch(name, p.text))
            return true;
        if (rk::platform::WildcardMatch(windowsPath, p.text))
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
