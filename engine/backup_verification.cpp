#include "engine/backup_verification.h"

#include "core/job_files.h"
#include "core/settings.h"
#include "core/text.h"
#include "engine/archive_encryption.h"
#include "engine/job.h"
#include "engine/job_passwords.h"
#include "engine/last_backup.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/clock.h"
#include "platform/file_system.h"

#include <algorithm>
#include <ctime>

namespace rk {

namespace {

void RecordVerification(const Job& job, const VerificationOutcome& outcome) {
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    const SettingsPlace place = job.section(JobSection::LastVerify);
    WriteSetting(std::nullopt, std::nullopt, place);
    WriteSetting("time", RecordedTime(local), place);
    WriteSetting("tested", std::to_string(outcome.details.tested), place);
    WriteSetting("failed", std::to_string(outcome.details.failed.size()), place);
}

} // namespace

VerificationOutcome VerifyBackups(const Installation& installation, const Job& job,
                                  ProgressDisplay& progress,
                                  const std::function<void()>& keepResponsive) {
    const std::string jobFolder = job.folderPath();
    // Newest first.
    std::vector<std::string> names = job.archives();
    std::reverse(names.begin(), names.end());

    // Encrypted archives are tested with the job's passwords, which checks
    // their authentication codes; without a password they cannot be.
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back(jobFolder + name);
    Result<ToolPasswords> passwords = PasswordsForArchives(job.folder(), paths, false);
    const std::string passwordProblem = passwords ? std::string() : passwords.reason();
    const ToolPasswordScope passwordScope(passwords ? std::move(*passwords) : ToolPasswords{});

    VerificationOutcome outcome;
    progress.SetProgressMinimum(0);
    progress.SetProgressMaximum(static_cast<int>(names.size()));
    for (const std::string& name : names) {
        progress.SetStatusText("Verifying " + name);
        const std::string archive = jobFolder + name;
        std::string reason;
        if (auto refusal = ArchiveRefusal(archive, "unzip utility")) {
            reason = std::move(*refusal);
        } else if (!passwordProblem.empty() && AnyArchiveEncrypted({archive})) {
            reason = passwordProblem;
        } else {
            const Result<void> tested =
                UtilityResult(RunTool(TestCommandLine(installation.unzipUtility, archive)));
            reason = tested.reason();
        }
        ++outcome.details.tested;
        if (!reason.empty())
            outcome.details.failed.push_back({name, reason});
        progress.SetProgressValue(static_cast<int>(outcome.details.tested));
        if (keepResponsive)
            keepResponsive();
    }
    progress.SetProgressValue(0);
    outcome.status = outcome.details.failed.empty() ? RunStatus::Done : RunStatus::Failed;
    if (outcome.status == RunStatus::Failed)
        outcome.reason = VerificationText(job.name(), outcome);
    RecordVerification(job, outcome);
    return outcome;
}

std::string VerificationText(const std::string& jobName, const VerificationOutcome& outcome) {
    if (outcome.details.failed.empty())
        return "All " + std::to_string(outcome.details.tested) + " backups of the job \"" +
               jobName + "\" read back correctly.";
    std::string text = std::to_string(outcome.details.failed.size()) + " of the " +
                       std::to_string(outcome.details.tested) + " backups of the job \"" + jobName +
                       "\" do not read back correctly:";
    for (const VerifiedArchive& archive : outcome.details.failed)
        text += "\r\n" + archive.name + ": " + archive.reason;
    return text;
}

} // namespace rk
