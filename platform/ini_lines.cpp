#include "platform/ini_lines.h"

#include "platform/ascii_text.h"

namespace rk::platform {

std::vector<std::string> SplitLines(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t position = 0;
    while (position < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", position);
        if (end == std::string_view::npos) {
            lines.emplace_back(content.substr(position));
            break;
        }
        lines.emplace_back(content.substr(position, end - position));
        position = end + 1;
        if (content[end] == '\r' && position < content.size() && content[position] == '\n')
            ++position;
    }
    return lines;
}

bool IsIniHeader(std::string_view line, const IniRules& rules) {
    const std::string_view trimmed = TrimFrom(line, rules.headerBlanks, rules.headerBlanks);
    return !trimmed.empty() && trimmed.front() == '[' &&
           (!rules.headerNeedsClosingBracket || trimmed.back() == ']');
}

bool IsIniHeaderOf(std::string_view line, std::string_view section, const IniRules& rules) {
    if (!IsIniHeader(line, rules))
        return false;
    const std::string_view trimmed = TrimFrom(line, rules.headerBlanks, rules.headerBlanks);
    return trimmed.size() == section.size() + 2 && trimmed.back() == ']' &&
           SameIgnoringAsciiCase(trimmed.substr(1, section.size()), section);
}

std::optional<std::string_view> IniEntryKey(std::string_view line, const IniRules& rules) {
    if (rules.comments) {
        const std::string_view trimmed = TrimFrom(line, rules.entryBlanks, rules.entryBlanks);
        if (!trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#'))
            return std::nullopt;
    }
    if (rules.headerNeedsClosingBracket && IsIniHeader(line, rules))
        return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return TrimFrom(line.substr(0, equals), rules.entryBlanks, rules.entryBlanks);
}

std::string_view IniEntryText(std::string_view line) {
    const std::size_t equals = line.find('=');
    return equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
}

std::optional<std::string> FindIniEntry(std::string_view content, std::string_view section,
                                        std::string_view key, const IniRules& rules) {
    const std::string_view wanted = TrimFrom(key, rules.entryBlanks, rules.entryBlanks);
    bool inSection = false;
    for (const std::string& line : SplitLines(content)) {
        if (IsIniHeader(line, rules)) {
            inSection = IsIniHeaderOf(line, section, rules);
            continue;
        }
        if (!inSection)
            continue;
        const auto found = IniEntryKey(line, rules);
        if (found && SameIgnoringAsciiCase(*found, wanted))
            return std::string(IniEntryText(line));
    }
    return std::nullopt;
}

} // namespace rk::platform
