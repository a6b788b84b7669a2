#include "engine/file_list_gathering.h"

#include "core/text.h"
#include "engine/utility_failure.h"

#include <utility>

namespace rk {

namespace {

GatherOutcome ListingFailed(const std::string& archiveName, std::string reason) {
    GatherOutcome failed = GatherOutcome::Ended(RunStatus::Failed, std::move(reason));
    failed.details.failedArchive = archiveName;
    return failed;
}

} // namespace

GatherOutcome GatherFileLists(const Installation& installation, const std::string& sourceFolder,
                              const std::vector<std::string>& archiveNames,
                              const std::string& listingPath, ProgressDisplay& progress,
                              MergedFileList& files) {
    progress.SetStatusText("Gathering list of backups");
    progress.SetProgressMinimum(0);
    progress.SetProgressMaximum(static_cast<int>(archiveNames.size()));
    int n = 0;
    for (const std::string& name : archiveNames) {
        const std::string archivePath = AddBackslash(sourceFolder) + name;
        progress.SetStatusText("Creating file list for " + name);
        const ToolOutcome listing = WriteArchiveListing(installation, archivePath, listingPath);
        if (!ListingMade(listing, listingPath)) {
            progress.SetProgressValue(0);
            return ListingFailed(name, UtilityFailureReason(listing));
        }
        progress.SetStatusText("Reading file list for " + name);
        const bool read = ReadArchiveListing(files, archivePath, listingPath);
        DeleteFileQuietly(listingPath);
        if (!read) {
            progress.SetProgressValue(0);
            return ListingFailed(name, "its listing \"" + listingPath + "\" could not be read");
        }
        progress.SetProgressValue(++n);
    }
    progress.SetProgressValue(0);
    return GatherOutcome::Ended(RunStatus::Done);
}

} // namespace rk
