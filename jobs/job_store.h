#pragma once
// Making and offering backup jobs in the job store, with the messages the
// user reads. The job store folder itself (listing, deleting a job) is
// engine/job_store_folder.h, a job's files engine/job.h.

#include "engine/job.h"
#include "engine/job_store_folder.h"

#include <string>
#include <vector>

namespace rk {

inline constexpr const char* ExclusionTemplateName = "excl.txt";

// True when `name` names a job of JobStoreFolder (Job::exists).
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

// The local date and time as the system writes them: short date, a space,
// long time.
std::string SystemDateTimeText();

} // namespace rk
