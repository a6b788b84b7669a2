#include "engine/last_backup.h"

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/settings.h"
#include "core/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace rk {

namespace {

SettingsPlace Place(const std::string& jobFolder) {
    return JobSettingsPlace(jobFolder, JobSection::LastBackup);
}

std::string OutcomeWord(const BackupOutcome& outcome) {
    switch (outcome.status) {
    case RunStatus::Done:
        return "made";
    case RunStatus::Partial:
        return "partial";
    case RunStatus::Cancelled:
        return "cancelled";
    case RunStatus::Failed:
    case RunStatus::Refused:
        break;
    }
    return "failed";
}

} // namespace

void RecordLastBackup(const std::string& jobFolder, BackupMode mode, const BackupOutcome& outcome,
                      const std::tm& ended) {
    if (!FolderExists(jobFolder))
        return;
    const std::string time = RecordedTime(ended);
    const std::string reason = OneLineReason(outcome.reason);
    const SettingsPlace place = Place(jobFolder);
    // The section is written anew, so no key of an earlier run stays.
    WriteSetting(std::nullopt, std::nullopt, place);
    WriteSetting("time", time, place);
    WriteSetting("mode", mode == BackupMode::Root ? "root" : "incremental", place);
    WriteSetting("outcome", OutcomeWord(outcome), place);
    WriteSetting("archive", outcome.details.archiveName, place);
    if (!reason.empty())
        WriteSetting("reason", reason, place);
    if (outcome.status == RunStatus::Partial) {
        const BackupDetails& details = outcome.details;
        WriteSetting("leftcount", std::to_string(details.leftOutCount), place);
        for (std::size_t i = 0; i < details.leftOut.size() && i < kMostNamedLeftOut; ++i)
            WriteSetting("left" + std::to_string(i + 1), details.leftOut[i], place);
    }
}

std::string OneLineReason(std::string_view reason) {
    std::string line;
    while (!reason.empty()) {
        const std::size_t end = reason.find_first_of("\r\n");
        std::string piece = Trim(reason.substr(0, end));
        reason.remove_prefix(end == std::string_view::npos ? reason.size() : end + 1);
        if (piece.empty())
            continue;
        if (!line.empty())
            line += line.back() == ':' ? " " : "; ";
        line += piece;
    }
    return line;
}

std::string LastBackupDetail(const LastBackup& last) {
    if (last.outcome != "partial" || last.leftOut.empty())
        return last.reason;
    const long long count =
        std::max(last.leftOutCount, static_cast<long long>(last.leftOut.size()));
    std::string text = "The backup " + last.archive +
                       " was made, but some files could not be read and were left out (" +
                       std::to_string(count) + " in all):";
    for (const std::string& name : last.leftOut)
        text += "\n" + name;
    if (count > static_cast<long long>(last.leftOut.size()))
        text += "\n...";
    return text;
}

std::string RecordedTime(const std::tm& local) {
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::optional<LastBackup> ReadLastBackup(const std::string& jobFolder) {
    const SettingsPlace place = Place(jobFolder);
    LastBackup last;
    last.time = ReadSetting("time", "", place);
    if (last.time.empty())
        return std::nullopt;
    last.mode = ReadSetting("mode", "", place);
    last.outcome = ReadSetting("outcome", "", place);
    last.archive = ReadSetting("archive", "", place);
    last.reason = ReadSetting("reason", "", place);
    last.leftOutCount = std::atoll(ReadSetting("leftcount", "0", place).c_str());
    for (std::size_t i = 1; i <= kMostNamedLeftOut; ++i) {
        std::string name = ReadSetting("left" + std::to_string(i), "", place);
        if (name.empty())
            break;
        last.leftOut.push_back(std::move(name));
    }
    return last;
}

std::optional<std::time_t> RecordedTimeValue(const std::string& recorded) {
    std::tm local{};
    char end = 0;
    if (std::sscanf(recorded.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &local.tm_year, &local.tm_mon,
                    &local.tm_mday, &local.tm_hour, &local.tm_min, &local.tm_sec, &end) != 6)
        return std::nullopt;
    local.tm_year -= 1900;
    local.tm_mon -= 1;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1))
        return std::nullopt;
    return when;
}

} // namespace rk
