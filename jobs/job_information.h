#pragma once
// What the main window shows about one job: its source text, its archives
// counted and measured, and the three lines of job information.

#include "engine/job.h"
#include "engine/last_backup.h"
#include "engine/skipped_run.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rk::jobs {

// The count and the running totals of a job's backup archives. The totals are
// rounded after each archive (halves to the even neighbour) and are 64-bit,
// so archives over 2 GiB count correctly.
struct ArchiveTotals {
    std::int64_t count = 0;
    std::int64_t kilobytes = 0;
    std::int64_t megabytes = 0;
};

// Adds one archive of `length` bytes to the totals.
ArchiveTotals AddArchive(const ArchiveTotals& totals, std::uint64_t length);

// The job's archives as Job::archives lists them (the list every restore
// sees), counted and measured in that order. An archive that is gone before
// its length can be read is left out.
ArchiveTotals MeasureArchives(const Job& job);

// The source text for "foldercount" N: empty below 1, "folder1" at exactly 1,
// "(Multiple folders)" above.
std::string SourceText(double folderCount, const std::string& firstFolder);

// "Location: " + job store folder, CR LF, "<count> backup file(s) " + the root
// backup state, CR LF, "Total size: <kb>kb (<mb>mb)".
std::string JobInformationText(const std::string& jobStoreFolder, const ArchiveTotals& totals,
                               bool rootBackupPresent);

// The line about the last backup run: "Last backup: <when>, incremental,
// made" (or "made without some files", or "cancelled"), "Last backup failed
// <when>: <reason>" or "Last backup cancelled <when>: <reason>"; `when` is its
// date and time as the window writes them.
std::string LastBackupText(const LastBackup& last, const std::string& when);

// The line about a scheduled run skipped because its backup disk was not
// connected: "Last backup skipped <when>: <reason>".
std::string SkippedRunText(const SkippedRun& skipped, const std::string& when);

// Whether the skip record is newer than the last run recorded (a run made
// after the disk came back wins).
bool SkipIsNewer(const SkippedRun& skipped, const std::optional<LastBackup>& last);

} // namespace rk::jobs
