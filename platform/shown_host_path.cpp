#include "platform/shown_host_path.h"

#include "platform/drive_map.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sys/stat.h>

namespace rk::platform {

std::string ShownHostPath(std::string_view windowsPath) {
    // Only whole paths with a drive: "C:\..." or "C:".
    if (windowsPath.size() < 2 || windowsPath[1] != ':')
        return {};
    const std::optional<std::string> host = ToHostPath(windowsPath);
    if (!host || host->empty())
        return {};
    std::string home;
    if (const char* value = std::getenv("HOME"); value != nullptr && value[0] == '/')
        home = value;
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    if (home.size() > 1 && host->compare(0, home.size(), home) == 0 &&
        (host->size() == home.size() || (*host)[home.size()] == '/'))
        return "~" + host->substr(home.size());
    return *host;
}

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string WithoutClosingPunctuation(std::string_view path) {
    while (path.size() > 3 && std::string_view(".,:;)").find(path.back()) != std::string_view::npos)
        path.remove_suffix(1);
    return std::string(path);
}

bool ExistsOnHost(const std::string& windowsPath) {
    const std::optional<std::string> host = ToHostPath(windowsPath);
    struct stat info {};
    return host && stat(host->c_str(), &info) == 0;
}

} // namespace

std::vector<std::string> WindowsPathsIn(std::string_view text) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i + 2 < text.size(); ++i) {
        if (!IsLetter(text[i]) || text[i + 1] != ':' || text[i + 2] != '\\' ||
            (i > 0 && std::isalnum(static_cast<unsigned char>(text[i - 1]))))
            continue;
        std::size_t limit = std::min(text.find_first_of("\"\r\n", i), text.size());
        // In single quotes ("can't read 'C:\x\it's.txt': ..."), the path ends
        // at the quote that a space, a colon, a stop or the end follows.
        bool singleQuoted = false;
        if (i > 0 && text[i - 1] == '\'')
            for (std::size_t j = i + 3; j < limit; ++j)
                if (text[j] == '\'' &&
                    (j + 1 == text.size() ||
                     std::string_view(" :;,.)\r\n").find(text[j + 1]) != std::string_view::npos)) {
                    limit = j;
                    singleQuoted = true;
                    break;
                }
        // The places where the path may end: each space, and the limit.
        std::vector<std::string> candidates;
        for (std::size_t j = i + 3; j <= limit; ++j)
            if (j == limit || text[j] == ' ')
                candidates.push_back(WithoutClosingPunctuation(text.substr(i, j - i)));
        // A quoted path is the whole text between the quotes.
        std::string chosen =
            i > 0 && (text[i - 1] == '"' || singleQuoted) ? candidates.back() : candidates.front();
        for (auto it = candidates.rbegin(); it != candidates.rend() && chosen != candidates.back();
             ++it)
            if (ExistsOnHost(*it)) {
                chosen = *it;
                break;
            }
        if (std::find(paths.begin(), paths.end(), chosen) == paths.end())
            paths.push_back(chosen);
        i += chosen.size() - 1;
    }
    return paths;
}

std::string HostPathsNote(std::string_view text) {
    std::string note;
    for (const std::string& path : WindowsPathsIn(text)) {
        const std::string shown = ShownHostPath(path);
        if (shown.empty())
            continue;
        if (!note.empty())
            note += '\n';
        note += path + " is " + shown + " on this computer.";
    }
    return note;
}

} // namespace rk::platform
