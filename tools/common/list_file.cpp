#include "tools/common/list_file.h"

#include "platform/ascii_text.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace rk::tools {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    return rk::platform::TrimFrom(text, rk::platform::kBlanks, rk::platform::kBlanksAndCr);
}

} // namespace

std::vector<std::string> SplitListText(std::string_view text, ListLines lines) {
    std::vector<std::string> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (lines == ListLines::Patterns)
            line = TrimBlanks(line);
        if (line.size() >= 2 && line.front() == '"' && line.back() == '"') {
            line = line.substr(1, line.size() - 2);
            if (lines == ListLines::Patterns)
                line = TrimBlanks(line);
        }
        if (!line.empty())
            entries.emplace_back(line);
    }
    return entries;
}

std::optional<std::vector<std::string>> ReadListFile(const std::string& hostPath, ListLines lines,
                                                     int* error) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        if (error != nullptr)
            *error = errno;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        if (error != nullptr)
            *error = EIO;
        return std::nullopt;
    }
    return SplitListText(text.str(), lines);
}

} // namespace rk::tools
