#include "jobs/job_information.h"

#include "core/text.h"
#include "platform/file_system.h"

namespace rk::jobs {

ArchiveTotals AddArchive(const ArchiveTotals& totals, std::uint64_t length) {
    const double bytes = static_cast<double>(length);
    ArchiveTotals sum = totals;
    sum.count += 1;
    sum.kilobytes = RoundHalfEven(static_cast<double>(totals.kilobytes) + bytes / 1024.0);
    sum.megabytes = RoundHalfEven(static_cast<double>(totals.megabytes) + bytes / 1024.0 / 1024.0);
    return sum;
}

ArchiveTotals MeasureArchives(const Job& job) {
    const std::string folder = job.folderPath();
    ArchiveTotals totals;
    for (const std::string& name : job.archives()) {
        if (const auto length = platform::FileLength(folder + name))
            totals = AddArchive(totals, *length);
    }
    return totals;
}

std::string SourceText(double folderCount, const std::string& firstFolder) {
    if (folderCount < 1)
        return {};
    if (folderCount == 1)
        return firstFolder;
    return "(Multiple folders)";
}

std::string JobInformationText(const std::string& jobStoreFolder, const ArchiveTotals& totals,
                               bool rootBackupPresent) {
    return "Location: " + jobStoreFolder + "\r\n" + std::to_string(totals.count) +
           " backup file(s) " +
           (rootBackupPresent ? "(including root backup)" : "(root backup not found)") +
           "\r\nTotal size: " + std::to_string(totals.kilobytes) + "kb (" +
           std::to_string(totals.megabytes) + "mb)";
}

std::string LastBackupText(const LastBackup& last, const std::string& when) {
    if (last.outcome == "failed")
        return "Last backup failed " + when + ": " + last.reason;
    // A run the user stopped is no failure, and says so.
    if (last.outcome == "cancelled" && !last.reason.empty())
        return "Last backup cancelled " + when + ": " + last.reason;
    std::string result = "made";
    if (last.outcome == "partial")
        result = "made without some files";
    else if (last.outcome == "cancelled")
        result = "cancelled";
    return "Last backup: " + when + ", " + last.mode + ", " + result;
}

std::string SkippedRunText(const SkippedRun& skipped, const std::string& when) {
    return "Last backup skipped " + when + ": " + skipped.reason;
}

bool SkipIsNewer(const SkippedRun& skipped, const std::optional<LastBackup>& last) {
    if (!last)
        return true;
    const std::optional<std::time_t> skippedAt = RecordedTimeValue(skipped.time);
    const std::optional<std::time_t> lastAt = RecordedTimeValue(last->time);
    if (skippedAt && lastAt)
        return *skippedAt > *lastAt;
    // Both are written "yyyy-mm-dd hh:nn:ss", which sorts as text.
    return skipped.time > last->time;
}

} // namespace rk::jobs
