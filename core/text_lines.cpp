#include "core/text_lines.h"

namespace rk {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n';
}

} // namespace

bool ReadTextLine(std::string_view content, std::size_t& position, std::string& line) {
    line.clear();
    if (position >= content.size())
        return false;
    const std::size_t start = position;
    while (position < content.size() && !IsBreak(content[position]))
        ++position;
    line.assign(content.substr(start, position - start));
    if (position < content.size()) {
        ++position; // the break character itself
        if (position < content.size() && IsBreak(content[position]))
            ++position; // a second break character belongs to the same break
    }
    return true;
}

std::vector<std::string> ReadTextLines(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t position = 0;
    std::string line;
    while (ReadTextLine(content, position, line))
        lines.push_back(line);
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    std::string text;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

} // namespace rk
