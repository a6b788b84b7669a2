#pragma once
// The job store folder: a job is a direct subfolder that holds "rkjob.ini";
// everything about it lives in that folder.

#include <string>
#include <vector>

namespace rk {

// The job names of a job store folder (ending with a backslash), in the order
// the folder lists them. A hidden "rkjob.ini" still makes a job.
std::vector<std::string> ListJobs(const std::string& jobStoreFolder);

// True when some direct subfolder holds a plain (not hidden, not system)
// "rkjob.ini".
bool FolderHasJobs(const std::string& folder);

// True when the folder holds "rkjob.ini", of whatever attributes.
bool HoldsJobSettings(const std::string& jobFolder);

// Deletes the files of a job folder (read-only and hidden ones too) and the
// folder itself; a subfolder stays, and so does the folder then. Errors are
// ignored.
void DeleteJobFolder(const std::string& path);

} // namespace rk
