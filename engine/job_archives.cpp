#include "engine/job_archives.h"

#include "core/text.h"
#include "platform/file_system.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace rk {

std::vector<std::string> JobArchiveNames(const std::string& folder) {
    // Each name is lowered once: a folder may hold tens of thousands.
    std::vector<std::pair<std::string, std::string>> keyed;
    for (platform::FoundEntry& entry :
         platform::Enumerate(AddBackslash(folder) + "rk_*.zip", platform::kAttrNormal)) {
        std::string key = LowerCase(entry.name);
        keyed.emplace_back(std::move(key), std::move(entry.name));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& [key, name] : keyed)
        names.push_back(std::move(name));
    return names;
}

} // namespace rk
