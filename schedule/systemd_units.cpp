#include "schedule/systemd_units.h"

#include "core/listed_names.h"
#include "platform/unattended_run.h"

#include <cstdio>
#include <sstream>

namespace rk::schedule {

namespace {

constexpr std::string_view kUnitPrefix = "ravelkeep-backup-";
constexpr std::string_view kRetryPrefix = "ravelkeep-retry-";
// systemd's limit on a unit name, suffix included.
constexpr std::size_t kMaxUnitName = 255;

bool IsUnitNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '.';
}

// Removes the specifiers a free text such as Description= would expand.
std::string PercentDoubled(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}

std::string TwoDigits(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02d", value % 100);
    return text;
}

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return std::string(text);
}

// "HH:MM:00" or "HH:MM" with each number in range.
bool ParseClock(std::string_view text, int& hour, int& minute) {
    if (text.size() == 8 && text.substr(5) == ":00")
        text = text.substr(0, 5);
    if (text.size() != 5 || text[2] != ':')
        return false;
    auto number = [](std::string_view digits, int& value) {
        if (digits.size() != 2 || digits[0] < '0' || digits[0] > '9' || digits[1] < '0' ||
            digits[1] > '9')
            return false;
        value = (digits[0] - '0') * 10 + (digits[1] - '0');
        return true;
    };
    return number(text.substr(0, 2), hour) && number(text.substr(3, 2), minute) && hour <= 23 &&
           minute <= 59;
}

constexpr const char* kShortDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string EscapedUnitName(std::string_view prefix, std::string_view jobName) {
    std::string out(prefix);
    for (std::size_t i = 0; i < jobName.size(); ++i) {
        const auto c = static_cast<unsigned char>(jobName[i]);
        if (IsUnitNameChar(c) && !(c == '.' && i == 0)) {
            out += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

std::string Assignment(const char* name, std::string_view value) {
    return std::string(name) + "=" + std::string(value);
}

// The service of the backup or of its retry: the environment of an
// unattended run, then the command.
std::string ServiceOf(std::string_view description, std::string_view jobName,
                      const BackupCommand& command, bool retry) {
    std::ostringstream text;
    text << "# Written by Ravelkeep's Schedule dialog: " << description << ".\n"
         << "[Unit]\n"
         << "Description="
         << PercentDoubled(
                (retry ? "Retry of the Ravelkeep backup of job " : "Ravelkeep backup of job ") +
                std::string(jobName))
         << "\n\n"
         << "[Service]\n"
         << "Type=oneshot\n";
    if (!command.driveMap.empty())
        text << "Environment="
             << QuotedUnitValue(Assignment("RAVELKEEP_DRIVES", command.driveMap), false) << '\n';
    text << "Environment=" << QuotedUnitValue(Assignment(platform::kUnattendedVariable, "1"), false)
         << '\n';
    if (retry)
        text << "Environment=" << QuotedUnitValue(Assignment(platform::kRetryVariable, "1"), false)
             << '\n';
    // The program's path is not expanded for variables, its arguments are.
    text << "ExecStart=" << QuotedUnitValue(command.programHostPath, false) << ' '
         << QuotedUnitValue("/ib/" + std::string(jobName), true) << '\n';
    return text.str();
}

} // namespace

std::string UnitBaseName(std::string_view jobName) {
    return EscapedUnitName(kUnitPrefix, jobName);
}

std::string RetryUnitBaseName(std::string_view jobName) {
    return EscapedUnitName(kRetryPrefix, jobName);
}

Result<void> CheckScheduleName(std::string_view jobName) {
    for (const char c : jobName)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return Result<void>::Failure("the job name holds a control character, which a schedule "
                                         "cannot carry");
    if (!IsValidUtf8(jobName))
        return Result<void>::Failure(
            "the job name is not valid UTF-8, which a schedule cannot carry");
    if (UnitBaseName(jobName).size() + std::string_view(".service").size() > kMaxUnitName)
        return Result<void>::Failure("the job name is too long for the name of a systemd timer");
    return {};
}

std::string QuotedUnitValue(std::string_view value, bool forCommand) {
    std::string out = "\"";
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        else if (c == '%')
            out += '%';
        else if (c == '$' && forCommand)
            out += '$';
        out += c;
    }
    out += '"';
    return out;
}

std::string ServiceText(std::string_view jobName, const BackupCommand& command) {
    return ServiceOf("the incremental backup of one job", jobName, command, false);
}

std::string RetryServiceText(std::string_view jobName, const BackupCommand& command) {
    return ServiceOf("the retry of one job's backup skipped for a disk not connected", jobName,
                     command, true);
}

std::string CalendarExpression(const Schedule& schedule) {
    const std::string minute = TwoDigits(schedule.minute);
    switch (schedule.frequency) {
    case Frequency::None:
        return {};
    case Frequency::Hourly:
        return "*-*-* *:" + minute + ":00";
    case Frequency::Daily:
        return "*-*-* " + TwoDigits(schedule.hour) + ":" + minute + ":00";
    case Frequency::Weekly:
        break;
    }
    const int day = schedule.weekday >= 1 && schedule.weekday <= 7 ? schedule.weekday : 1;
    return std::string(kShortDays[day - 1]) + " *-*-* " + TwoDigits(schedule.hour) + ":" + minute +
           ":00";
}

std::string TimerText(std::string_view jobName, const Schedule& schedule) {
    std::ostringstream text;
    text << "# Written by Ravelkeep's Schedule dialog: when the backup of one job runs.\n"
         << "[Unit]\n"
         << "Description="
         << PercentDoubled("Schedule of the Ravelkeep backup of job " + std::string(jobName))
         << "\n\n"
         << "[Timer]\n"
         << "OnCalendar=" << CalendarExpression(schedule) << '\n'
         << "Persistent=true\n\n"
         << "[Install]\n"
         << "WantedBy=timers.target\n";
    return text.str();
}

std::string RetryTimerText(std::string_view jobName) {
    std::ostringstream text;
    text << "# Written by Ravelkeep's Schedule dialog: when a skipped backup of one job is "
            "tried again.\n"
         << "[Unit]\n"
         << "Description="
         << PercentDoubled("Retry schedule of the Ravelkeep backup of job " + std::string(jobName))
         << "\n\n"
         << "[Timer]\n"
         << "OnCalendar=" << kRetryCalendar << '\n'
         << "Persistent=false\n\n"
         << "[Install]\n"
         << "WantedBy=timers.target\n";
    return text.str();
}

std::optional<Schedule> ScheduleOfTimer(std::string_view timerText) {
    std::optional<std::string> calendar;
    std::istringstream lines{std::string(timerText)};
    std::string line;
    bool inTimer = false;
    while (std::getline(lines, line)) {
        const std::string trimmed = Trimmed(line);
        if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';')
            continue;
        if (trimmed[0] == '[') {
            inTimer = trimmed == "[Timer]";
            continue;
        }
        if (!inTimer)
            continue;
        const std::size_t equals = trimmed.find('=');
        if (equals == std::string::npos || Trimmed(trimmed.substr(0, equals)) != "OnCalendar")
            continue;
        if (calendar)
            return std::nullopt; // several calendars: not one of ours
        calendar = Trimmed(trimmed.substr(equals + 1));
    }
    if (!calendar)
        return std::nullopt;
    const std::string& value = *calendar;
    if (value == "hourly")
        return Schedule{Frequency::Hourly, 0, 0, 1};
    if (value == "daily")
        return Schedule{Frequency::Daily, 0, 0, 1};
    if (value == "weekly")
        return Schedule{Frequency::Weekly, 0, 0, 1};
    std::string_view rest = value;
    int weekday = 0;
    for (int day = 1; day <= 7; ++day) {
        const std::string prefix = std::string(kShortDays[day - 1]) + " ";
        if (rest.substr(0, prefix.size()) == prefix) {
            weekday = day;
            rest.remove_prefix(prefix.size());
        }
    }
    if (rest.substr(0, 6) != "*-*-* ")
        return std::nullopt;
    rest.remove_prefix(6);
    int hour = 0;
    int minute = 0;
    if (weekday == 0 && rest.substr(0, 2) == "*:") {
        const std::string clock = "00" + std::string(rest.substr(1));
        if (!ParseClock(clock, hour, minute))
            return std::nullopt;
        return Schedule{Frequency::Hourly, 0, minute, 1};
    }
    if (!ParseClock(rest, hour, minute))
        return std::nullopt;
    return Schedule{weekday == 0 ? Frequency::Daily : Frequency::Weekly, hour, minute,
                    weekday == 0 ? 1 : weekday};
}

} // namespace rk::schedule
