#pragma once
// Backup jobs on disk. A job is a direct subfolder of the job store folder
// that holds "rkjob.ini"; everything about it lives in that folder.

#include <string>
#include <vector>

namespace rk {

inline constexpr const char* ExclusionTemplateName = "excl.txt";
// The characters a job name may not hold: \ / : * ? < > | and the double quote.
inline constexpr const char* RefusedJobNameCharacters = "\\/:*?<>|\"";

// The job names of a job store folder (ending with a backslash), in the order
// the folder lists them. A hidden "rkjob.ini" still makes a job.
std::vector<std::string> ListJobs(const std::string& jobStoreFolder);

// True when some direct subfolder holds a plain (not hidden, not system)
// "rkjob.ini".
bool FolderHasJobs(const std::string& folder);

// True when `name` names a job of the job store: its folder holds "rkjob.ini".
bool JobExists(const std::string& name);

// Makes the job `name` in JobStoreFolder: its folder, "rkjob.ini" with
// "created", and "excl.ini" copied from the template beside the program.
// Refuses bad or taken names with a message; a job that cannot be made
// completely is reported and removed again. True when the job was made.
bool MakeJob(const std::string& name);

// Offers to make a job for the user's documents folder (first start).
void OfferMyDocumentsJob();

// The folder the current user's shell folder value names, or empty text.
std::string GetShellFolder(const std::string& valueName);

// Deletes the files of a job folder (read-only and hidden ones too) and the
// folder itself; a subfolder stays, and so does the folder then. Errors are
// ignored.
void DeleteJobFolder(const std::string& path);

// The local date and time as the system writes them: short date, a space,
// long time.
std::string SystemDateTimeText();

} // namespace rk
