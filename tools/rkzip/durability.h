#pragma once
// Getting a finished archive onto the disk before success is reported.

#include <string>

namespace rk::tools {

// Flushes the file and then the folder holding it. False (and `error`, an
// errno value) when either cannot be flushed.
bool FlushFileAndFolder(const std::string& fileHost, int& error);

// Writes an archive holding no entries (a lone end-of-central-directory
// record) under a temporary name beside `archiveHost`, flushes it and renames
// it into place. libzip writes no file for an archive without entries.
bool WriteEmptyArchive(const std::string& archiveHost, int& error);

} // namespace rk::tools
