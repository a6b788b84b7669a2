#include "engine/copy_record.h"

#include "core/job_files.h"
#include "core/settings.h"
#include "engine/last_backup.h"

#include <algorithm>
#include <charconv>

namespace rk {

namespace {

SettingsPlace Place(const std::string& jobFolder) {
    return JobSettingsPlace(jobFolder, kCopySection);
}

std::string Recorded(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    return RecordedTime(local);
}

// The first failure of several writes, or success.
Result<void> FirstFailure(std::initializer_list<Result<void>> writes) {
    for (const Result<void>& write : writes)
        if (!write)
            return write;
    return {};
}

} // namespace

CopyRecord ReadCopyRecord(const std::string& jobFolder) {
    const SettingsPlace place = Place(jobFolder);
    CopyRecord record;
    record.remote = ReadWholeSetting("remote", "", place);
    record.pendingSince = ReadSetting("pendingsince", "", place);
    record.pendingReason = ReadSetting("pendingreason", "", place);
    record.notified = ReadSetting("notified", "", place);
    const std::string countText = ReadSetting("replacedcount", "0", place);
    long long count = 0;
    std::from_chars(countText.data(), countText.data() + countText.size(), count);
    for (long long n = 1; n <= std::min(count, 100000LL); ++n) {
        const std::string name = ReadSetting("replaced" + std::to_string(n), "", place);
        if (!name.empty())
            record.replaced.push_back(name);
    }
    return record;
}

Result<void> WriteCopyRemote(const std::string& jobFolder, const std::string& remote) {
    const SettingsPlace place = Place(jobFolder);
    if (remote.empty())
        return WriteSetting(std::nullopt, std::nullopt, place);
    if (!SettingCanHold(remote))
        return Result<void>::Failure("\"" + remote + "\" cannot be kept as a setting");
    // A new place starts a new copy: nothing recorded for the old one holds.
    if (ReadWholeSetting("remote", "", place) != remote) {
        if (Result<void> cleared = WriteSetting(std::nullopt, std::nullopt, place); !cleared)
            return cleared;
    }
    return WriteSetting("remote", remote, place);
}

Result<void> RecordCopyPending(const std::string& jobFolder, const std::string& reason,
                               std::time_t now) {
    const SettingsPlace place = Place(jobFolder);
    const std::string oneLine = OneLineReason(reason);
    if (ReadSetting("pendingsince", "", place).empty()) {
        if (Result<void> since = WriteSetting("pendingsince", Recorded(now), place); !since)
            return since;
    }
    return WriteSetting("pendingreason", oneLine, place);
}

Result<void> ClearCopyPending(const std::string& jobFolder) {
    const SettingsPlace place = Place(jobFolder);
    return FirstFailure({WriteSetting("pendingsince", std::nullopt, place),
                         WriteSetting("pendingreason", std::nullopt, place),
                         WriteSetting("notified", std::nullopt, place)});
}

Result<void> RecordCopyNotice(const std::string& jobFolder, std::time_t now) {
    return WriteSetting("notified", Recorded(now), Place(jobFolder));
}

Result<void> RecordReplacedArchives(const std::string& jobFolder,
                                    const std::vector<std::string>& names) {
    const CopyRecord record = ReadCopyRecord(jobFolder);
    if (record.remote.empty() || names.empty())
        return {};
    std::vector<std::string> replaced = record.replaced;
    for (const std::string& name : names)
        if (std::find(replaced.begin(), replaced.end(), name) == replaced.end())
            replaced.push_back(name);
    return WriteReplacedArchives(jobFolder, replaced);
}

Result<void> WriteReplacedArchives(const std::string& jobFolder,
                                   const std::vector<std::string>& names) {
    const SettingsPlace place = Place(jobFolder);
    const long long before = static_cast<long long>(ReadCopyRecord(jobFolder).replaced.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        if (Result<void> written =
                WriteSetting("replaced" + std::to_string(i + 1), names[i], place);
            !written)
            return written;
    for (long long n = static_cast<long long>(names.size()) + 1; n <= before; ++n)
        if (Result<void> removed =
                WriteSetting("replaced" + std::to_string(n), std::nullopt, place);
            !removed)
            return removed;
    if (names.empty())
        return WriteSetting("replacedcount", std::nullopt, place);
    return WriteSetting("replacedcount", std::to_string(names.size()), place);
}

bool CopyNoticeDue(const CopyRecord& record, std::time_t now) {
    if (!record.pending())
        return false;
    const std::optional<std::time_t> since = RecordedTimeValue(record.pendingSince);
    if (!since || now - *since < kCopyPendingNoticeAfter)
        return false;
    const std::optional<std::time_t> told = RecordedTimeValue(record.notified);
    return !told || now - *told >= kCopyPendingNoticeAfter;
}

std::string CopyPendingText(const CopyRecord& record) {
    if (!record.pending())
        return {};
    return "Copy to " + record.remote + " pending: " + record.pendingReason;
}

} // namespace rk
