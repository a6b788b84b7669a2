#include "rkbak/password_at_hand.h"

#include "app/main.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "engine/job.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "engine/last_backup.h"
#include "engine/skipped_run.h"
#include "platform/clock.h"

#include <ctime>
#include <ostream>

namespace rk {

namespace {

std::string NowRecorded() {
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    return RecordedTime(local);
}

// Why nobody's password can be had now, or nothing when it can.
std::optional<std::string> WhyNotAtHand(const Job& job, const JobEncryption& encryption) {
    JobPasswordLookup lookup = LookUpJobPasswords(job.folder());
    if (!lookup.passwords.empty())
        return std::nullopt;
    if (!lookup.problem.empty())
        return lookup.problem;
    if (encryption.askEachRun)
        return "the job asks for its password at each run, so it has no unattended runs";
    return "no password for it is stored in the desktop's keyring";
}

} // namespace

std::string PasswordNotAtHandText(const std::string& jobName, const std::string& cause) {
    return "The password of the encrypted backups of \"" + jobName + "\" is not at hand (" + cause +
           "); the backup runs when it is.";
}

std::optional<int> AnswerBeforeEncryptedBackup(const std::string& jobName, bool retry,
                                               std::ostream& errors, const DesktopNotice& notify) {
    const Job job(JobStoreFolder, jobName);
    if (!job.exists())
        return std::nullopt;
    const JobEncryption encryption = ReadJobEncryption(job);
    if (!encryption.encrypt)
        return std::nullopt;
    const std::optional<std::string> cause = WhyNotAtHand(job, encryption);
    if (!cause)
        return std::nullopt;
    const std::string line = PasswordNotAtHandText(jobName, *cause);
    ReportLine(errors, line);
    if (retry)
        return app::ExitFailed;
    if (!RecordSkippedRun(job.folder(), {NowRecorded(), line, std::string()}))
        ReportLine(errors, "the skipped run could not be recorded in " + SkippedRunFolder());
    if (notify)
        notify("The backup of \"" + jobName + "\" was skipped: its password is not at hand", line);
    return app::ExitFailed;
}

} // namespace rk
