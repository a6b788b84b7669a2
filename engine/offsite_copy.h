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

// The folder files go to while they are being sent: beside the copy's
// folder, named after it (".rk-incoming-Docs" for "backups/Docs"), so a
// stopped or failed send leaves at most files there, never a cut file under
// an archive's name. Nothing when the target names no folder (the remote's
// top), which cannot hold a job's copy.
std::optional<CopyTarget> IncomingFolder(const CopyTarget& target);

// The files of the target's folder (not its subfolders); none when the
// folder is not there yet.
[[nodiscard]] Result<std::vector<RemoteFile>> ListCopyFiles(const CopyTarget& target);

// The MD5 sum of a local file (host path), as rclone reads it.
[[nodiscard]] Result<std::string> LocalMd5(const std::string& hostFile);

// Sends the files `names` of the local host folder: all into the incoming
// folder in one transfer, then moved into place, then each checked against
// the local file (its size, and its MD5 sum where the storage gives one).
// Files of the same name and size on the copy are replaced all the same.
[[nodiscard]] Result<void> SendFiles(const CopyTarget& target, const std::string& hostFolder,
                                     const std::vector<std::string>& names, const CopyWatch& watch);

// Removes the incoming folder with what a stopped or failed send left there.
void RemoveIncoming(const CopyTarget& target);

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
