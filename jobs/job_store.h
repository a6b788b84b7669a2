#pragma once
// Making backup jobs in the job store; a job that is not made gives the
// message the user reads, which the window shows. The job store folder
// itself (listing, deleting a job) is engine/job_store_folder.h, a job's
// files engine/job.h.

#include "engine/job.h"
#include "engine/job_store_folder.h"
#include "platform/result.h"

#include <string>
#include <vector>

namespace rk {

inline constexpr const char* ExclusionTemplateName = "excl.txt";

// True when `name` names a job of JobStoreFolder (Job::exists).
bool JobExists(const std::string& name);

// Makes the job `name` in JobStoreFolder: its folder, "rkjob.ini" with
// "created", and "excl.ini" copied from the template beside the program.
// Refuses bad or taken names; a job that cannot be made completely is
// removed again. The failure is the message for the user.
[[nodiscard]] Result<void> MakeJob(const std::string& name);

// Makes the job for the user's documents folder (the first-start offer),
// named after that folder, with it as the job's one source folder; refuses a
// taken name as MakeJob does.
[[nodiscard]] Result<void> MakeMyDocumentsJob();

// The folder the current user's shell folder value names, or empty text.
std::string GetShellFolder(const std::string& valueName);

// The local date and time as the system writes them: short date, a space,
// long time.
std::string SystemDateTimeText();

} // namespace rk
