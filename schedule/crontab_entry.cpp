#include "schedule/crontab_entry.h"

#include "platform/unattended_run.h"

#include <sstream>
#include <vector>

namespace rk::schedule {

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::vector<std::string> Fields(std::string_view line, std::size_t count) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (fields.size() < count) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        fields.emplace_back(line.substr(start, i - start));
    }
    return fields;
}

std::optional<int> Number(const std::string& text, int highest) {
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > highest)
        return std::nullopt;
    return value;
}

std::string CronEscaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '%')
            out += '\\';
        out += c;
    }
    return out;
}

// The environment and command of the job's lines, after the times.
std::string CommandPart(std::string_view jobName, const BackupCommand& command, bool retry) {
    std::ostringstream text;
    text << platform::kUnattendedVariable << "=1 ";
    if (retry)
        text << platform::kRetryVariable << "=1 ";
    if (!command.driveMap.empty())
        text << "RAVELKEEP_DRIVES=" << CronEscaped(ShellQuoted(command.driveMap)) << ' ';
    text << CronEscaped(ShellQuoted(command.programHostPath)) << ' '
         << CronEscaped(ShellQuoted("/ib/" + std::string(jobName)));
    return text.str();
}

} // namespace

std::string CrontabMarker(std::string_view jobName) {
    return " # " + UnitBaseName(jobName);
}

std::string CrontabRetryMarker(std::string_view jobName) {
    return " # " + RetryUnitBaseName(jobName);
}

std::string ShellQuoted(std::string_view word) {
    std::string out = "'";
    for (const char c : word) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    out += '\'';
    return out;
}

std::string CrontabLine(std::string_view jobName, const Schedule& schedule,
                        const BackupCommand& command) {
    std::ostringstream line;
    line << schedule.minute << ' ';
    if (schedule.frequency == Frequency::Hourly)
        line << "* * * *";
    else if (schedule.frequency == Frequency::Daily)
        line << schedule.hour << " * * *";
    else
        line << schedule.hour << " * * " << (schedule.weekday % 7);
    line << ' ' << CommandPart(jobName, command, false) << CrontabMarker(jobName);
    return line.str();
}

std::string CrontabRetryLine(std::string_view jobName, const BackupCommand& command) {
    return "*/15 * * * * " + CommandPart(jobName, command, true) + CrontabRetryMarker(jobName);
}

std::string CrontabWith(std::string_view crontab, std::string_view jobName,
                        const std::vector<std::string>& newLines) {
    const std::string marker = CrontabMarker(jobName);
    const std::string retryMarker = CrontabRetryMarker(jobName);
    std::string out;
    std::istringstream lines{std::string(crontab)};
    std::string line;
    while (std::getline(lines, line)) {
        if (EndsWith(line, marker) || EndsWith(line, retryMarker))
            continue;
        out += line;
        out += '\n';
    }
    for (const std::string& newLine : newLines) {
        out += newLine;
        out += '\n';
    }
    return out;
}

std::optional<std::string> FindCrontabLine(std::string_view crontab, std::string_view jobName) {
    const std::string marker = CrontabMarker(jobName);
    std::istringstream lines{std::string(crontab)};
    std::string line;
    while (std::getline(lines, line))
        if (EndsWith(line, marker) && !line.empty() && line[0] != '#')
            return line;
    return std::nullopt;
}

std::optional<Schedule> ScheduleOfCrontabLine(std::string_view line) {
    const std::vector<std::string> f = Fields(line, 5);
    if (f.size() != 5 || f[2] != "*" || f[3] != "*")
        return std::nullopt;
    const std::optional<int> minute = Number(f[0], 59);
    if (!minute)
        return std::nullopt;
    if (f[1] == "*")
        return f[4] == "*" ? std::optional(Schedule{Frequency::Hourly, 0, *minute, 1})
                           : std::nullopt;
    const std::optional<int> hour = Number(f[1], 23);
    if (!hour)
        return std::nullopt;
    if (f[4] == "*")
        return Schedule{Frequency::Daily, *hour, *minute, 1};
    const std::optional<int> day = Number(f[4], 7);
    if (!day)
        return std::nullopt;
    return Schedule{Frequency::Weekly, *hour, *minute, *day == 0 ? 7 : *day};
}

} // namespace rk::schedule
