#pragma once
// What the unzip utility tells of archives for restoring the state of a
// moment (their point records, "-R@"): the files and links each holds with
// their size and time, the kind of run that made it, and the names its
// deletion record says were gone when it was made. Names are in their
// listed form (core/listed_names.h), the form of listings and "@" lists.

#include "engine/tool_runner.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct Installation;

// What made a backup: a root (every file) or incremental run, or a
// consolidation of several backups; Unknown for an archive without a
// deletion record (made before archives carried one).
enum class PointKind { Root, Incremental, Consolidated, Unknown };

struct RecordedFile {
    std::string name; // listed form
    std::uint64_t size = 0;
    std::int64_t mtime = 0; // seconds since 1970, UTC
};

struct PointRecord {
    std::vector<RecordedFile> files;
    PointKind kind = PointKind::Unknown;
    // Whether the archive carries a deletion record at all.
    bool hasDeletionRecord = false;
    // Names gone since the backup before it (folders end with "\").
    std::vector<std::string> goneNames;
};

// The records a point record file's text holds, one per archive in the
// order named, or nothing when the text is not one.
std::optional<std::vector<PointRecord>> ParsePointRecords(std::string_view text);

// Runs the installation's unzip utility to write the point records of the
// archives into `recordPath`, and waits for it. As WriteArchiveListing: a
// path that cannot go into the command line starts nothing; what the name
// held before is removed first; a run that fails leaves no file.
ToolOutcome WritePointRecords(const Installation& installation,
                              const std::vector<std::string>& archivePaths,
                              const std::string& recordPath);

// The point records of the archives (names in `folder`, oldest first),
// written by the unzip utility, many archives a run, into a private
// temporary file and read.
struct PointRecordsOutcome {
    bool complete = false;
    // The archive whose record could not be had, and why.
    std::string failedArchive;
    std::string reason;
    std::vector<PointRecord> records; // one per archive, when complete
};
PointRecordsOutcome ReadPointRecords(const Installation& installation, const std::string& folder,
                                     const std::vector<std::string>& archiveNames);

} // namespace rk
