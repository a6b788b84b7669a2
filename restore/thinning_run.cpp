#include "restore/thinning_run.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "engine/last_backup.h"
#include "engine/temporary_folders.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "restore/command_dates.h"
#include "restore/extraction_cleanup.h"
#include "restore/restore_request.h"
#include "restore/silent_run.h"

#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace rk::restore {

namespace {

constexpr std::string_view kFolderPrefix = "rkthin-";

QDate ToQDate(CalendarDay day) {
    return QDate(static_cast<int>(day.year()), static_cast<int>(static_cast<unsigned>(day.month())),
                 static_cast<int>(static_cast<unsigned>(day.day())));
}

long long ArchiveBytes(const Job& job, const std::vector<std::string>& names) {
    long long total = 0;
    for (const std::string& name : names)
        total += static_cast<long long>(platform::FileLength(job.folderPath() + name).value_or(0));
    return total;
}

// Removes the extraction folders of thinning runs that were killed: folders
// "rkthin-PID" of the temporary folder whose process is gone.
void RemoveKilledRunsFolders() {
    const std::string temp = GetTempFolder();
    const auto host = temp.empty() ? std::nullopt : platform::ToHostPath(temp);
    if (!host)
        return;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(*host, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kFolderPrefix, 0) != 0 || entry.is_symlink(error) ||
            !entry.is_directory(error))
            continue;
        const std::string digits = name.substr(kFolderPrefix.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stoll(digits));
        if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH)
            RemoveTree(entry.path());
    }
}

std::string OutcomeWord(RunStatus status) {
    return status == RunStatus::Partial ? "incomplete" : "failed";
}

} // namespace

CalendarDay LocalToday() {
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    return CalendarDay{std::chrono::year{local.tm_year + 1900},
                       std::chrono::month{static_cast<unsigned>(local.tm_mon + 1)},
                       std::chrono::day{static_cast<unsigned>(local.tm_mday)}};
}

ThinningEnd ThinJob(const Installation& installation, const Job& job, ProgressDisplay& progress,
                    CalendarDay today) {
    ThinningEnd end;
    const std::optional<KeepPolicy> policy = ReadKeepPolicy(job);
    if (!policy)
        return end;
    end.hasPolicy = true;
    RemoveKilledRunsFolders();

    const std::vector<std::string> before = job.archives();
    const long long bytesBefore = ArchiveBytes(job, before);
    const ThinningPlan plan = PlanThinning(before, *policy, today);
    LastThin& record = end.record;
    record.before = static_cast<long long>(before.size());
    record.outcome = plan.periods.empty() ? "nothing" : "thinned";

    const std::string temp = GetTempFolder();
    const std::string destination =
        temp.empty() ? std::string()
                     : AddBackslash(temp) + std::string(kFolderPrefix) + std::to_string(getpid());
    const auto destinationHost =
        destination.empty() ? std::nullopt : platform::ToHostPath(destination);
    if (!plan.periods.empty() && !destinationHost) {
        record.outcome = "failed";
        record.reason = TempFolderProblem();
    }
    NoConversation conversation;
    NoPicker picker;
    for (std::size_t i = 0; destinationHost && i < plan.periods.size(); ++i) {
        const ThinningPeriod& period = plan.periods[i];
        const std::string archive = ConsolidatedArchiveName(period.archives.back());
        progress.SetStatusText("Thinning " + job.name() + ": " + archive);
        // Thinning never writes into an archive that is there already: a
        // failed run would leave its files nowhere sound.
        if (PathExists(job.folderPath() + archive)) {
            record.outcome = "failed";
            record.reason = "The consolidated backup " + archive + " exists already.";
            break;
        }
        RestoreInputs inputs;
        inputs.action = ExtractAction::Consolidate;
        inputs.source = job.folder();
        inputs.destination = destination;
        inputs.start = ToQDate(period.firstDay);
        inputs.end = ToQDate(period.lastDay);
        inputs.deleteReplaced = true;
        inputs.silent = true;
        const RestoreRequest request = MakeRestoreRequest(inputs);
        const ExtractOutcome outcome =
            RunRestore(installation, request, progress, conversation, picker);
        // Each period's copy goes as soon as it has served.
        RemoveTree(*destinationHost);
        if (outcome.status != RunStatus::Done) {
            record.outcome = OutcomeWord(outcome.status);
            record.reason = outcome.reason;
            break;
        }
    }
    if (destinationHost)
        RemoveTree(*destinationHost);

    const std::vector<std::string> after = job.archives();
    record.after = static_cast<long long>(after.size());
    record.bytesFreed = bytesBefore - ArchiveBytes(job, after);
    const std::time_t now = platform::Now();
    std::tm local{};
    localtime_r(&now, &local);
    record.time = RecordedTime(local);
    RecordLastThin(job, record);
    progress.SetStatusText(end.Failed() ? "Could not complete last action" : "Done");
    return end;
}

std::string ThinningExample(const Job& job, const KeepPolicy& policy, CalendarDay today) {
    const std::vector<std::string> archives = job.archives();
    const ThinningPlan plan = PlanThinning(archives, policy, today);
    std::string text = "Today " + std::to_string(archives.size()) + " backup" +
                       (archives.size() == 1 ? "" : "s") + "; after thinning " +
                       std::to_string(plan.remaining.size()) + " would remain";
    for (const std::string& name : plan.remaining)
        if (const std::optional<CalendarDay> date = ArchiveDate(name)) {
            text += ", the oldest from " + ShortDateText(ToQDate(*date));
            break;
        }
    return text + ".";
}

} // namespace rk::restore
