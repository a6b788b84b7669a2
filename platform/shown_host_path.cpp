#include "platform/shown_host_path.h"

#include "platform/drive_map.h"

#include <cstdlib>

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

} // namespace rk::platform
