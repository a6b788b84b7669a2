#include "engine/temporary_folders.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "platform/system_folders.h"

namespace rk {

std::string GetTempFolder(std::string_view prefix) {
    std::string path = TrimAtNull(platform::TempPath());
    // Without a safe temporary folder there is no folder in it either: never
    // "\\rk0", which would be the root of the current drive.
    if (path.empty())
        return {};
    if (path.back() != '\\')
        path += '\\';
    if (!prefix.empty()) {
        for (unsigned long long n = 0;; ++n) {
            const std::string candidate = std::string(prefix) + std::to_string(n);
            if (!FolderExists(path + candidate)) {
                path += candidate;
                break;
            }
        }
    }
    if (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string TempFolderProblem() {
    return platform::TempPathProblem();
}

std::string GetShortPath(std::string_view path) {
    return platform::ShortPath(path);
}

} // namespace rk
