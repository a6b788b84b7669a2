#include "engine/consolidation_check.h"

#include "core/text.h"
#include "engine/archive_listing.h"
#include "engine/utility_failure.h"
#include "platform/file_system.h"

#include <algorithm>

namespace rk {

namespace {

void Collect(const std::string& folder, const std::string& prefix,
             std::vector<std::string>& names) {
    const unsigned everything =
        platform::kAttrHidden | platform::kAttrSystem | platform::kAttrDirectory;
    for (const platform::FoundEntry& entry :
         platform::Enumerate(AddBackslash(folder) + "*.*", everything)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        if ((entry.attributes & platform::kAttrDirectory) != 0)
            Collect(AddBackslash(folder) + entry.name, prefix + entry.name + "\\", names);
        else
            names.push_back(prefix + entry.name);
    }
}

} // namespace

std::vector<std::string> FilesUnder(const std::string& folder) {
    std::vector<std::string> names;
    Collect(folder, "", names);
    std::sort(names.begin(), names.end());
    return names;
}

ArchiveCheck CheckArchiveHolds(const std::string& archivePath,
                               const std::vector<std::string>& expectedNames,
                               const std::string& listingPath) {
    DeleteFileQuietly(listingPath);
    const ToolOutcome listing = WriteArchiveListing(archivePath, listingPath);
    if (!ListingMade(listing, listingPath))
        return {false, "it could not be listed: " + UtilityFailureReason(listing)};
    MergedFileList stored;
    if (!ReadArchiveListing(stored, archivePath, listingPath))
        return {false, "its listing \"" + listingPath + "\" could not be read"};
    std::vector<std::string> missing;
    for (const std::string& name : expectedNames)
        if (stored.Find(name) == nullptr)
            missing.push_back(name);
    if (missing.empty())
        return {true, {}};
    return {false, "it does not hold " + std::to_string(missing.size()) + " of the " +
                       std::to_string(expectedNames.size()) + " extracted files, among them \"" +
                       missing.front() + "\""};
}

} // namespace rk
