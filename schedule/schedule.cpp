#include "schedule/schedule.h"

#include <array>
#include <cstdio>

namespace rk::schedule {

bool Schedule::operator==(const Schedule& other) const {
    if (frequency != other.frequency)
        return false;
    switch (frequency) {
    case Frequency::None:
        return true;
    case Frequency::Hourly:
        return minute == other.minute;
    case Frequency::Daily:
        return hour == other.hour && minute == other.minute;
    case Frequency::Weekly:
        break;
    }
    return hour == other.hour && minute == other.minute && weekday == other.weekday;
}

bool IsValid(const Schedule& schedule) {
    return schedule.hour >= 0 && schedule.hour <= 23 && schedule.minute >= 0 &&
           schedule.minute <= 59 && schedule.weekday >= 1 && schedule.weekday <= 7;
}

std::string WeekdayName(int weekday) {
    static constexpr std::array<const char*, 7> names = {
        "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    if (weekday < 1 || weekday > 7)
        return "?";
    return names[static_cast<std::size_t>(weekday - 1)];
}

namespace {

std::string ClockTime(int hour, int minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", hour % 100, minute % 100);
    return text;
}

} // namespace

std::string Describe(const Schedule& schedule) {
    switch (schedule.frequency) {
    case Frequency::None:
        return "never";
    case Frequency::Hourly:
        return schedule.minute == 0
                   ? "every hour on the hour"
                   : "every hour at " + std::to_string(schedule.minute) + " minutes past";
    case Frequency::Daily:
        return "every day at " + ClockTime(schedule.hour, schedule.minute);
    case Frequency::Weekly:
        break;
    }
    return "every " + WeekdayName(schedule.weekday) + " at " +
           ClockTime(schedule.hour, schedule.minute);
}

long long PeriodSeconds(const Schedule& schedule) {
    switch (schedule.frequency) {
    case Frequency::None:
        return 0;
    case Frequency::Hourly:
        return 3600;
    case Frequency::Daily:
        return 86400;
    case Frequency::Weekly:
        break;
    }
    return 7 * 86400;
}

std::optional<std::time_t> NextRun(const Schedule& schedule, std::time_t now) {
    if (schedule.frequency == Frequency::None || !IsValid(schedule))
        return std::nullopt;
    std::tm local{};
    localtime_r(&now, &local);
    // Candidates are tried forward, one hour or one day at a time, through
    // mktime so that daylight saving changes are honoured.
    for (int step = 0; step <= 8 * 24; ++step) {
        std::tm candidate = local;
        candidate.tm_sec = 0;
        candidate.tm_isdst = -1;
        candidate.tm_min = schedule.minute;
        if (schedule.frequency == Frequency::Hourly) {
            candidate.tm_hour = local.tm_hour + step;
        } else {
            if (step > 7)
                break;
            candidate.tm_mday = local.tm_mday + step;
            candidate.tm_hour = schedule.hour;
        }
        const std::time_t when = mktime(&candidate);
        if (when == static_cast<std::time_t>(-1) || when <= now)
            continue;
        if (schedule.frequency == Frequency::Weekly) {
            const int weekday = candidate.tm_wday == 0 ? 7 : candidate.tm_wday;
            if (weekday != schedule.weekday)
                continue;
        }
        return when;
    }
    return std::nullopt;
}

bool IsOverdue(const Schedule& schedule, std::time_t since, std::time_t now) {
    const long long period = PeriodSeconds(schedule);
    if (period == 0)
        return false;
    return static_cast<long long>(now - since) > period + period / 4;
}

std::string ShownTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M", &local);
    return text;
}

} // namespace rk::schedule
