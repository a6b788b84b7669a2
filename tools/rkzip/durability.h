#pragma once
// Getting a finished archive onto the disk before success is reported.

#include <string>

namespace rk::tools {

// Flushes the file and then the folder holding it. False (and `error`, an
// errno value) when either cannot be flushed.
bool FlushFileAndFolder(const std::string& fileHost, int& error);

} // namespace rk::tools
