#pragma once
// The files of a job's copy, through rclone: listing them, sending one (to a
// temporary name, moved into place, then checked against the local file by
// its MD5 sum where the storage gives one, else by its size), deleting one,
// and comparing the copy with the local files.

#include "engine/copy_target.h"
#include "engine/rclone_run.h"
#include "platform/result.h"

#include <optional>
#include <string>
#include <vector>

namespace rk {

struct RemoteFile {
    std::string name;
    long long size = -1;
    std::string md5; // empty when the storage gives no MD5 sum
};

// The name a file has on the copy while it is being sent: "." + name +
// ".partial". A stopped or failed send leaves at most such a file.
std::string PartialName(const std::string& name);
bool IsPartialName(const std::string& name);

// The files of the target's folder (not its subfolders); none when the
// folder is not there yet.
[[nodiscard]] Result<std::vector<RemoteFile>> ListCopyFiles(const CopyTarget& target);

// One file of the folder, or nothing when it is not there.
[[nodiscard]] Result<std::optional<RemoteFile>> FindCopyFile(const CopyTarget& target,
                                                             const std::string& name);

// The MD5 sum of a local file (host path), as rclone reads it.
[[nodiscard]] Result<std::string> LocalMd5(const std::string& hostFile);

// Whether the copy's `name` holds what the local file holds: the same size,
// and the same MD5 sum when the storage gives one.
[[nodiscard]] Result<void> CheckCopyFile(const CopyTarget& target, const std::string& hostFile,
                                         const std::string& name);

// Sends the local file (host path) as `name`: to its partial name first,
// moved into place, then checked. A stop leaves at most the partial file.
[[nodiscard]] Result<void> SendFile(const CopyTarget& target, const std::string& hostFile,
                                    const std::string& name, const CopyWatch& watch);

// Deletes `name` from the copy; one that is not there is no failure.
[[nodiscard]] Result<void> DeleteCopyFile(const CopyTarget& target, const std::string& name);

// The differences between the local folder's `names` (host folder) and the
// copy: each name that is missing on the copy or differs from the local
// file, with why. Where the storage gives no MD5 sum, the copy's files are
// read back whole and compared byte for byte.
struct CopyDifference {
    std::string name;
    std::string what; // "is missing", "differs from the local file", "could not be read"
};
[[nodiscard]] Result<std::vector<CopyDifference>> CompareCopy(const CopyTarget& target,
                                                              const std::string& hostFolder,
                                                              const std::vector<std::string>& names,
                                                              const CopyWatch& watch = {});

// Fetches the copy's folder whole into the local host folder, then checks
// every file it fetched against the copy.
[[nodiscard]] Result<void> FetchFolder(const CopyTarget& target, const std::string& hostFolder,
                                       const CopyWatch& watch);

} // namespace rk
