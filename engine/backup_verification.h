#pragma once
// Verify Backups: every archive of a job read back by the unzip utility's
// test (-t), newest first, with progress; the end is kept with the job in a
// section of its own ("lastverify" of its "rkjob.ini").

#include "engine/progress_display.h"
#include "engine/run_result.h"

#include <functional>
#include <string>
#include <vector>

namespace rk {

struct Installation;
class Job;

struct VerifiedArchive {
    std::string name;
    std::string reason; // why it does not read back
};

// What a verification adds to its RunResult. Its status: Done when every
// archive read back, Failed when some did not (the reason is then the
// VerificationText naming them).
struct VerificationDetails {
    std::size_t tested = 0;
    std::vector<VerifiedArchive> failed; // newest first
};

using VerificationOutcome = RunResult<VerificationDetails>;

// Tests the job's archives with the installation's unzip utility;
// `keepResponsive` is called between two of them.
VerificationOutcome VerifyBackups(const Installation& installation, const Job& job,
                                  ProgressDisplay& progress,
                                  const std::function<void()>& keepResponsive = {});

// "All 3 backups of the job "Weekly" read back correctly." or the list of
// those that do not, one per line with the reason.
std::string VerificationText(const std::string& jobName, const VerificationOutcome& outcome);

} // namespace rk
