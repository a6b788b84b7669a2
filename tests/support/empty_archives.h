#pragma once
// Many backup archives in a job folder, made fast: each is an empty zip
// archive (its 22-byte end record alone; all are links to one file), named as a backup run names
// them, one an hour from a given moment.

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace rk::test {

// The name a backup run gives an archive made at this UTC moment.
std::string BackupNameAt(std::time_t utc);

// Writes `count` empty archives into the folder, one an hour from `firstUtc`
// on, and gives their names, oldest first.
std::vector<std::string> WriteEmptyArchives(const std::filesystem::path& folder, int count,
                                            std::time_t firstUtc);

} // namespace rk::test
