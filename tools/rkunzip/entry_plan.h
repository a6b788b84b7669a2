#pragma once
// Which entries of an archive an extraction (or a test, which reads them as
// an extraction of everything with -d would) takes, and why the ones it
// refuses are refused: a name leading out of the destination, a name
// holding a NUL byte, a file entry naming nothing, and a path this archive
// holds both as a file (or link) and as a folder: the later of the two is
// refused, never passed over.

#include "tools/common/command_line.h"
#include "tools/common/stored_names.h"
#include "tools/rkunzip/entry_info.h"
#include "tools/rkunzip/entry_selection.h"
#include "tools/rkunzip/safe_output.h"

#include <cstdint>
#include <string>
#include <vector>
#include <zip.h>

namespace rk::tools {

// Kept for every entry, so small: messages are few and kept apart.
inline constexpr std::uint32_t kNoProblem = 0xffffffffu;

// One entry to extract (read again by the worker that takes it), or the
// message saying why it is not.
struct PlannedEntry {
    zip_uint64_t index = 0;
    std::uint32_t problem = kNoProblem; // among the plan's problems
};

struct EntryPlan {
    std::vector<PlannedEntry> entries; // in the archive's order
    std::vector<std::string> problems;
    std::size_t work = 0; // entries without a problem
    // Set once every file is in place; the first entry for a folder wins.
    FolderEntries folderEntries;
    // No entry depends on another: they may be extracted in any order.
    bool anyOrder = false;
};

EntryPlan PlanEntries(zip_t* archive, const UnzipCommand& command, const EntrySelection& selection,
                      const NamesWithNul& namesWithNul);

// Whether an entry read from the archive is to be extracted: false when it
// is not, true when it is or when `problem` says why it cannot be.
bool ChooseEntry(const EntryInfo& info, const UnzipCommand& command,
                 const EntrySelection& selection, CheckedName& checked, std::string& problem);

// Reads entry `index`; false (and `problem`) when it cannot be read.
bool ReadPlannedEntry(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                      const NamesWithNul& namesWithNul, std::string& problem);

} // namespace rk::tools
