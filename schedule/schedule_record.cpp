#include "schedule/schedule_record.h"

#include "core/job_files.h"
#include "core/settings.h"
#include "engine/last_backup.h"
#include "schedule/crontab_entry.h"
#include "schedule/systemd_units.h"

#include <cstdio>
#include <cstdlib>

namespace rk::schedule {

namespace {

constexpr const char* kTimerKind = "systemd timer";
constexpr const char* kCrontabKind = "crontab";

SettingsPlace RecordPlace(const std::string& jobFolder) {
    return JobSettingsPlace(jobFolder, JobSection::Schedule);
}

std::string FrequencyWord(Frequency frequency) {
    switch (frequency) {
    case Frequency::None:
        break;
    case Frequency::Hourly:
        return "hourly";
    case Frequency::Daily:
        return "daily";
    case Frequency::Weekly:
        return "weekly";
    }
    return "never";
}

std::optional<Frequency> FrequencyOf(const std::string& word) {
    if (word == "hourly")
        return Frequency::Hourly;
    if (word == "daily")
        return Frequency::Daily;
    if (word == "weekly")
        return Frequency::Weekly;
    return std::nullopt;
}

// The five time fields that lead a crontab line.
std::string CrontabTimes(const std::string& line) {
    std::string times;
    std::size_t i = 0;
    for (int field = 0; field < 5; ++field) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (start == i)
            break;
        if (!times.empty())
            times += ' ';
        times += line.substr(start, i - start);
    }
    return times;
}

// The installation time in the form the job's other records use.
std::string TimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return RecordedTime(local);
}

std::optional<int> Number(const std::string& text, int lowest, int highest) {
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    for (const char c : text)
        if (c < '0' || c > '9')
            return std::nullopt;
    const int value = std::atoi(text.c_str());
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace

ScheduleRecord RecordOfInstall(Place place, const Schedule& schedule, std::time_t now) {
    ScheduleRecord record;
    record.place = place;
    record.schedule = schedule;
    record.calendar = place == Place::SystemdTimer
                          ? CalendarExpression(schedule)
                          : CrontabTimes(CrontabLine("", schedule, BackupCommand{}));
    record.installedAt = now;
    return record;
}

ScheduleRecord RecordOfInstalled(const InstalledSchedule& installed,
                                 std::optional<std::time_t> installedAt) {
    ScheduleRecord record;
    record.place = installed.place;
    record.schedule = installed.schedule;
    record.calendar = installed.place == Place::Crontab ? CrontabTimes(installed.installedText)
                                                        : installed.installedText;
    record.installedAt = installed.installedAt ? installed.installedAt : installedAt;
    return record;
}

bool SameSchedule(const ScheduleRecord& recorded, const ScheduleRecord& installed) {
    return recorded.place == installed.place && recorded.schedule == installed.schedule &&
           recorded.calendar == installed.calendar;
}

void WriteScheduleRecord(const std::string& jobFolder, const ScheduleRecord& record) {
    const SettingsPlace place = RecordPlace(jobFolder);
    // The section is written anew, so no key of an earlier schedule stays.
    WriteSetting(std::nullopt, std::nullopt, place);
    WriteSetting("kind", record.place == Place::SystemdTimer ? kTimerKind : kCrontabKind, place);
    if (record.schedule && record.schedule->frequency != Frequency::None) {
        const Schedule& schedule = *record.schedule;
        WriteSetting("frequency", FrequencyWord(schedule.frequency), place);
        WriteSetting("hour", std::to_string(schedule.hour), place);
        WriteSetting("minute", std::to_string(schedule.minute), place);
        WriteSetting("weekday", std::to_string(schedule.weekday), place);
    }
    WriteSetting("calendar", record.calendar, place);
    if (record.installedAt)
        WriteSetting("installed", TimeText(*record.installedAt), place);
}

std::optional<ScheduleRecord> ReadScheduleRecord(const std::string& jobFolder) {
    const SettingsPlace place = RecordPlace(jobFolder);
    const std::string kind = ReadSetting("kind", "", place);
    ScheduleRecord record;
    if (kind == kTimerKind)
        record.place = Place::SystemdTimer;
    else if (kind == kCrontabKind)
        record.place = Place::Crontab;
    else
        return std::nullopt;
    record.calendar = ReadSetting("calendar", "", place);
    record.installedAt = RecordedTimeValue(ReadSetting("installed", "", place));
    const std::optional<Frequency> frequency = FrequencyOf(ReadSetting("frequency", "", place));
    const std::optional<int> hour = Number(ReadSetting("hour", "0", place), 0, 23);
    const std::optional<int> minute = Number(ReadSetting("minute", "", place), 0, 59);
    const std::optional<int> weekday = Number(ReadSetting("weekday", "1", place), 1, 7);
    if (frequency && hour && minute && weekday)
        record.schedule = Schedule{*frequency, *hour, *minute, *weekday};
    return record;
}

void RemoveScheduleRecord(const std::string& jobFolder) {
    const SettingsPlace place = RecordPlace(jobFolder);
    if (!ReadSetting("kind", "", place).empty() || !ReadSetting("calendar", "", place).empty())
        WriteSetting(std::nullopt, std::nullopt, place);
}

} // namespace rk::schedule
