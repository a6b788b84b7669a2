#include "restore/point_in_time/restore_origin.h"

#include "core/job_files.h"
#include "core/text.h"
#include "platform/ascii_text.h"

namespace rk::restore {

std::optional<std::string> OriginRoot(const std::string& listedName,
                                      const std::vector<std::string>& sourceFolders) {
    std::optional<std::string> best;
    std::size_t bestLength = 0;
    for (const std::string& source : sourceFolders) {
        // "C:\Data" holds the names starting "Data\".
        if (source.size() < 2 || source[1] != ':')
            continue;
        std::string below = source.substr(2);
        while (!below.empty() && below.front() == '\\')
            below.erase(below.begin());
        if (!below.empty())
            below = AddBackslash(below);
        if (listedName.size() <= below.size() ||
            !platform::SameIgnoringAsciiCase(listedName.substr(0, below.size()), below))
            continue;
        if (!best || below.size() > bestLength) {
            best = source.substr(0, 2) + "\\";
            bestLength = below.size();
        }
    }
    return best;
}

std::vector<std::string> JobSourceFolders(const std::string& jobFolder) {
    std::vector<std::string> folders;
    const long long count = ListedFolderCount(DeclaredFolderCount(jobFolder));
    for (long long n = 1; n <= count && n <= kMostSourceFolders; ++n)
        if (std::string value = SourceFolderValue(jobFolder, n); !value.empty())
            folders.push_back(std::move(value));
    return folders;
}

} // namespace rk::restore
