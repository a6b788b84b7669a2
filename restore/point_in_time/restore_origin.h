#pragma once
// Where a backed-up file came from. Backups store each file's path without
// its drive ("C:\Data\a\f.txt" as "Data\a\f.txt"), so the drive is the one of
// the job's source folder that holds the name.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace rk::restore {

// The drive root ("C:\") the file of that listed name came from, by the
// source folders (Windows text) of its job; nothing when none holds it.
std::optional<std::string> OriginRoot(const std::string& listedName,
                                      const std::vector<std::string>& sourceFolders);

// The source folders of the job in `jobFolder`, as its settings list them.
std::vector<std::string> JobSourceFolders(const std::string& jobFolder);

} // namespace rk::restore
