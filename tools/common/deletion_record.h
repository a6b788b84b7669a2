#pragma once
// The deletion record an archive carries: the names of the files and folders
// that existed at the backup before it and were gone when it was made (for a
// consolidated archive, those gone by the end of its period). It lets a
// restore give back the tree of one moment, deleted files left out, and it
// travels with the archive to a copy or another computer.
//
// It is one entry of the archive under a reserved name that no file of a
// backup can ever be stored under (see kDeletionRecordName). rkzip writes it
// through the entry writer like any file (compressed, encrypted when the
// archive is); rkunzip never lists, extracts, picks or counts it, and gives
// it to the program only through its point record (-R@).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

// Stored names are built from a Windows path normalised by the drive map
// ("." and ".." resolved, repeated separators collapsed) with its drive
// taken off, or from names a folder walk read from disk below such a
// folder, which are never "." or "..". So no stored name of a backed-up file
// ever has "." as a component, least of all as its first, and "./" cannot
// begin one. Other zip tools read "./NAME" as NAME at the archive's top.
inline constexpr std::string_view kDeletionRecordName = "./ravelkeep-deleted.txt";

// True for the reserved entry's name.
bool IsDeletionRecordName(std::string_view storedName);

// What kind of run made the archive.
enum class RecordedRun { Root, Incremental, Consolidated };

struct DeletionRecord {
    RecordedRun run = RecordedRun::Incremental;
    // Stored names ("/" between folders; folders end with "/").
    std::vector<std::string> goneNames;
};

// The entry's text: a first line naming the record and the run, then one
// name per line in its listed form (core/listed_names.h), which carries any
// byte of a name (line breaks, backslashes, bytes that are not UTF-8) and
// never holds a line break itself. Lines end with LF.
std::string DeletionRecordText(const DeletionRecord& record);

// The record the text holds, or nothing when it is not one.
std::optional<DeletionRecord> ReadDeletionRecordText(std::string_view text);

// "root", "incremental", "consolidated".
std::string_view RecordedRunWord(RecordedRun run);

} // namespace rk::tools
