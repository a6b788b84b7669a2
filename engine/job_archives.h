#pragma once
// The backup archives of a job folder, listed in one place with one rule: the
// main window counts and measures them, the extract dialog lists them, the
// restore runs and "c" take their range from them and verification reads
// them back, so every part of the program sees the same archives.

#include <string>
#include <vector>

namespace rk {

// The plain "rk_*.zip" files of the folder (Windows path text): hidden and
// system files and folders are not archives of the job. Sorted by name
// without regard to case (names of the same letters by their bytes), which
// is oldest first for the names the backup run gives. Every archive is
// there, however many the folder holds; a missing or unreadable folder gives
// none.
std::vector<std::string> JobArchiveNames(const std::string& folder);

} // namespace rk
