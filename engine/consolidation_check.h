#pragma once
// Before any backup it replaces is deleted, a consolidated archive must be
// shown to read back correctly (every entry with its size and CRC) and to
// hold every file that was extracted for it.

#include "platform/result.h"

#include <string>
#include <vector>

namespace rk {

struct Installation;

// The names of every file under the folder (hidden and system files
// included), relative to it, in the listed form a listing gives them
// (core/listed_names.h). Sorted.
std::vector<std::string> FilesUnder(const std::string& folder);

// Tests the archive through the installation's unzip utility (every entry read back), then
// lists it into `listingPath` and checks that every one of `expectedNames` is
// stored in it (letter case ignored). A failure says why not, in words for
// the user.
[[nodiscard]] Result<void> CheckArchiveHolds(const Installation& installation,
                                             const std::string& archivePath,
                                             const std::vector<std::string>& expectedNames,
                                             const std::string& listingPath);

} // namespace rk
