#include "schedule/next_elapse.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace rk::schedule {

namespace {

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\n' &&
               text[i] != '\r')
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number of exactly `count` digits at `at`, or -1.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!IsDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::optional<std::time_t> EpochSeconds(std::string_view text) {
    const std::string digits(text.substr(1));
    if (digits.empty() || digits.size() > 18)
        return std::nullopt;
    for (const char c : digits)
        if (!IsDigit(c))
            return std::nullopt;
    const long long seconds = std::strtoll(digits.c_str(), nullptr, 10);
    if (seconds <= 0)
        return std::nullopt;
    return static_cast<std::time_t>(seconds);
}

// "yyyy-mm-dd" and "hh:mm:ss" (a fraction of a second allowed) into `tm`.
bool ParseDateAndTime(std::string_view date, std::string_view time, std::tm& tm) {
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return false;
    const int year = Digits(date, 0, 4);
    const int month = Digits(date, 5, 2);
    const int day = Digits(date, 8, 2);
    if (time.size() > 8 && time[8] == '.')
        time = time.substr(0, 8);
    if (time.size() != 8 || time[2] != ':' || time[5] != ':')
        return false;
    const int hour = Digits(time, 0, 2);
    const int minute = Digits(time, 3, 2);
    const int second = Digits(time, 6, 2);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    tm = {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return true;
}

// "+hhmm", "+hh:mm" or "+hh" (or with '-') as seconds east of UTC.
std::optional<long> NumericOffset(std::string_view zone) {
    if (zone.size() < 3 || (zone[0] != '+' && zone[0] != '-'))
        return std::nullopt;
    const int hours = Digits(zone, 1, 2);
    int minutes = 0;
    if (zone.size() == 5)
        minutes = Digits(zone, 3, 2);
    else if (zone.size() == 6 && zone[3] == ':')
        minutes = Digits(zone, 4, 2);
    else if (zone.size() != 3)
        return std::nullopt;
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
        return std::nullopt;
    const long seconds = hours * 3600L + minutes * 60L;
    return zone[0] == '-' ? -seconds : seconds;
}

std::optional<std::time_t> Checked(std::time_t when) {
    if (when == static_cast<std::time_t>(-1) || when <= 0)
        return std::nullopt;
    return when;
}

std::optional<std::time_t> LocalTime(std::tm tm, int isDaylightSaving) {
    tm.tm_isdst = isDaylightSaving;
    return Checked(std::mktime(&tm));
}

} // namespace

std::optional<std::time_t> ParseNextElapse(std::string_view text) {
    std::vector<std::string_view> words = Words(text);
    if (words.size() == 1 && words[0].size() > 1 && words[0][0] == '@')
        return EpochSeconds(words[0]);
    // The weekday that leads the date form says nothing the date does not.
    if (!words.empty() && !words[0].empty() && !IsDigit(words[0][0]))
        words.erase(words.begin());
    if (words.size() < 2 || words.size() > 3)
        return std::nullopt;
    std::tm tm{};
    if (!ParseDateAndTime(words[0], words[1], tm))
        return std::nullopt;
    if (words.size() == 2)
        return LocalTime(tm, -1);
    const std::string zone(words[2]);
    if (zone == "UTC" || zone == "GMT" || zone == "Z")
        return Checked(timegm(&tm));
    if (const std::optional<long> offset = NumericOffset(zone))
        return Checked(timegm(&tm) - *offset);
    tzset();
    const std::string standard = tzname[0] != nullptr ? tzname[0] : "";
    const std::string daylight = tzname[1] != nullptr ? tzname[1] : "";
    if (zone == standard && zone == daylight)
        return LocalTime(tm, -1);
    if (zone == standard)
        return LocalTime(tm, 0);
    if (zone == daylight)
        return LocalTime(tm, 1);
    return std::nullopt;
}

} // namespace rk::schedule
