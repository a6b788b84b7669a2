#include "engine/consolidation_check.h"

#include "core/listed_names.h"
#include "core/text.h"
#include "engine/archive_listing.h"
#include "engine/job.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"

#include <algorithm>
#include <filesystem>

namespace rk {

namespace {

// Adds the files, links and other non-folders below the host folder, by the
// names they take in a listing of an archive made of the folder.
void Collect(const std::filesystem::path& folder, const std::string& stored,
             std::vector<std::string>& names) {
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const std::string below = stored.empty() ? name : stored + '/' + name;
        if (it->is_directory(error) && !it->is_symlink(error))
            Collect(it->path(), below, names);
        else
            names.push_back(ListedName(below));
    }
}

} // namespace

std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> names;
    if (const auto host = platform::ToHostPath(folder))
        Collect(*host, "", names);
    std::sort(names.begin(), names.end());
    return names;
}

Result<void> CheckArchiveHolds(const Installation& installation, const std::string& archivePath,
                               const std::vector<std::string>& expectedNames,
                               const std::string& listingPath) {
    using Failure = Result<void>;
    // First by content: every entry reads back with its size and CRC.
    if (auto refusal = ArchiveRefusal(archivePath, "unzip utility"))
        return Failure::Failure(std::move(*refusal));
    if (const Result<void> tested =
            UtilityResult(RunTool(TestCommandLine(installation.unzipUtility, archivePath)));
        !tested)
        return Failure::Failure("it does not read back correctly: " + tested.reason());
    const ToolOutcome listing = WriteArchiveListing(installation, archivePath, listingPath);
    if (!ListingMade(listing, listingPath))
        return Failure::Failure("it could not be listed: " + UtilityFailureReason(listing));
    MergedFileList stored;
    const bool read = ReadArchiveListing(stored, archivePath, listingPath);
    DeleteFileQuietly(listingPath);
    if (!read)
        return Failure::Failure("its listing \"" + listingPath + "\" could not be read");
    std::vector<std::string> missing;
    for (const std::string& name : expectedNames)
        if (stored.Find(name) == nullptr)
            missing.push_back(name);
    if (missing.empty())
        return {};
    return Failure::Failure("it does not hold " + std::to_string(missing.size()) + " of the " +
                            std::to_string(expectedNames.size()) +
                            " extracted files, among them \"" + missing.front() + "\"");
}

} // namespace rk
