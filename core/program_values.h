#pragma once
// The four program-wide values, set at start-up and read everywhere.

#include <string>

namespace rk {

// The program folder, with one trailing backslash.
extern std::string AppFolder;
// The job store folder (setting "jobs"), with one trailing backslash.
extern std::string JobStoreFolder;
// Full paths of the zip and unzip utilities, as typed.
extern std::string ZipUtilPath;
extern std::string UnzipUtilPath;

} // namespace rk
