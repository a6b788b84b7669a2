#pragma once
// When a job's incremental backup runs by itself: never, every hour at a
// minute, every day at a time, or every week on a day at a time.

#include <ctime>
#include <optional>
#include <string>

namespace rk::schedule {

enum class Frequency { None, Hourly, Daily, Weekly };

struct Schedule {
    Frequency frequency = Frequency::None;
    int hour = 0;    // 0..23; unused when hourly
    int minute = 0;  // 0..59
    int weekday = 1; // 1 Monday .. 7 Sunday; used when weekly

    bool operator==(const Schedule& other) const;
};

// Whether the numbers are in range.
bool IsValid(const Schedule& schedule);

// The schedule as a person reads it: "never", "every hour at 15 minutes past",
// "every day at 02:00", "every Monday at 02:00".
std::string Describe(const Schedule& schedule);

// The English name of a weekday 1..7 (Monday..Sunday).
std::string WeekdayName(int weekday);

// How long the schedule waits between runs, in seconds; 0 for none.
long long PeriodSeconds(const Schedule& schedule);

// The first local time after `now` at which the schedule runs.
std::optional<std::time_t> NextRun(const Schedule& schedule, std::time_t now);

// Whether a scheduled job has gone without a backup for clearly longer than
// its period (a quarter of the period's slack, so a run that starts on time
// and takes a while is not counted): `since` is the end of its last backup,
// or when the schedule was set up if it has never run.
bool IsOverdue(const Schedule& schedule, std::time_t since, std::time_t now);

// A local time as the window shows it: "dd/mm/yyyy hh:nn".
std::string ShownTime(std::time_t when);

} // namespace rk::schedule
