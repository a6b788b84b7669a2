#include "restore/run/shadowed_versions.h"

#include "core/listed_names.h"
#include "core/text.h"
#include "engine/archive_listing.h"
#include "engine/consolidation_check.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"

#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace rk::restore {

namespace {

namespace fs = std::filesystem;

// "2026_12_01_10_00_00" of "...\rk_2026_12_01_10_00_00.zip".
std::string StampOf(const std::string& archivePath) {
    std::string name = GetPathPart(archivePath, PathPartBaseName);
    if (name.rfind("rk_", 0) == 0)
        name.erase(0, 3);
    return name;
}

bool IsFolderNoLink(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The stored name's place in the extraction folder: its own path when that
// is free, else the path with the first clashing component stamped.
std::string FreeName(const fs::path& root, const std::string& stored, const std::string& stamp) {
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= stored.size();) {
        std::size_t end = stored.find('/', start);
        if (end == std::string::npos)
            end = stored.size();
        parts.push_back(stored.substr(start, end - start));
        start = end + 1;
    }
    fs::path at = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const fs::path next = at / parts[i];
        if (last ? Exists(next) : (Exists(next) && !IsFolderNoLink(next))) {
            parts[i] += "~" + stamp;
            break;
        }
        at = next;
    }
    std::string name;
    for (const std::string& part : parts)
        name += (name.empty() ? "" : "/") + part;
    return name;
}

// The listed names an archive holds, or nothing when it cannot be listed.
[[nodiscard]] Result<std::vector<std::string>> NamesIn(const Installation& installation,
                                                       const std::string& archive,
                                                       const std::string& listingPath) {
    const ToolOutcome listing = WriteArchiveListing(installation, archive, listingPath);
    const auto content = ListingMade(listing, listingPath) ? platform::ReadFile(listingPath)
                                                           : std::optional<std::string>();
    DeleteFileQuietly(listingPath);
    if (!content)
        return Result<std::vector<std::string>>::Failure(
            "the backup " + GetPathPart(archive, PathPartFileName) +
            " could not be listed: " + UtilityFailureReason(listing));
    return ListingFields(*content);
}

} // namespace

Result<std::vector<std::string>>
KeepShadowedVersions(const Installation& installation, const std::vector<std::string>& archivePaths,
                     const std::string& extractionFolder, const std::string& workFolder,
                     const std::string& listingPath, const std::string& listPath) {
    using Kept = Result<std::vector<std::string>>;
    std::vector<std::string> keptNames;
    const std::vector<std::string> extracted = FilesUnder(extractionFolder);
    const std::set<std::string> present(extracted.begin(), extracted.end());
    // Each name that is missing, with the newest archive holding it.
    std::map<std::size_t, std::vector<std::string>> missing;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < archivePaths.size(); ++i) {
        const auto names = NamesIn(installation, archivePaths[i], listingPath);
        if (!names)
            return Kept::Failure(names.reason());
        for (const std::string& name : *names)
            if (seen.insert(name).second && present.count(name) == 0)
                missing[i].push_back(name);
    }
    if (missing.empty())
        return keptNames;

    const auto rootHost = platform::ToHostPath(extractionFolder);
    const auto workHost = platform::ToHostPath(workFolder);
    if (!rootHost || !workHost)
        return Kept::Failure("the extraction folder has no place here");
    const fs::path root = *rootHost;
    const fs::path work = *workHost;
    std::string failure;
    for (const auto& [index, names] : missing) {
        const std::string& archive = archivePaths[index];
        std::error_code ignored;
        fs::remove_all(work, ignored);
        platform::CreatePrivateFolder(workFolder);
        std::string list;
        for (const std::string& name : names)
            list += name + "\r\n";
        const std::string target = AddBackslash(workFolder);
        if (!platform::ReplaceWithNewFile(listPath, list)) {
            failure = "the list file \"" + listPath + "\" could not be written";
            break;
        }
        const Result<void> run = UtilityResult(RunTool(
            ExtractListedCommandLine(installation.unzipUtility, archive, listPath, target)));
        if (!run) {
            failure = "the backup " + GetPathPart(archive, PathPartFileName) +
                      " could not be extracted: " + run.reason();
            break;
        }
        for (const std::string& name : names) {
            const auto stored = StoredNameOf(name);
            const std::string keptAs = stored ? FreeName(root, *stored, StampOf(archive)) : "";
            std::error_code error;
            if (!keptAs.empty()) {
                fs::create_directories((root / keptAs).parent_path(), error);
                if (!error)
                    fs::rename(work / *stored, root / keptAs, error);
            }
            if (keptAs.empty() || error) {
                failure = "the version of \"" + name + "\" in the backup " +
                          GetPathPart(archive, PathPartFileName) + " could not be kept";
                break;
            }
            keptNames.push_back(ListedName(keptAs));
        }
        if (!failure.empty())
            break;
    }
    DeleteFileQuietly(listPath);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    if (!failure.empty())
        return Kept::Failure(failure);
    return keptNames;
}

} // namespace rk::restore
