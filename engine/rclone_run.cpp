#include "engine/rclone_run.h"

#include "platform/host_program.h"
#include "platform/spawned_process.h"

#include <cctype>

namespace rk {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// rclone's log lines begin "yyyy/mm/dd hh:mm:ss ": the date goes.
std::string_view WithoutDate(std::string_view line) {
    if (line.size() > 20 && IsDigit(line[0]) && line[4] == '/' && line[7] == '/' &&
        line[10] == ' ' && line[13] == ':' && line[16] == ':' && line[19] == ' ')
        line.remove_prefix(20);
    return line;
}

// "ERROR : " and the like go too.
std::string_view WithoutLevel(std::string_view line) {
    for (const std::string_view level : {"ERROR", "NOTICE", "INFO", "DEBUG", "CRITICAL"}) {
        if (line.rfind(level, 0) != 0)
            continue;
        const std::size_t colon = line.find(": ");
        if (colon != std::string_view::npos &&
            line.substr(level.size(), colon - level.size()).find_first_not_of(' ') ==
                std::string_view::npos)
            return line.substr(colon + 2);
    }
    return line;
}

} // namespace

bool RcloneInstalled() {
    return platform::HostProgramExists(std::string(kRcloneProgram));
}

std::optional<int> StatisticsPercent(std::string_view line) {
    // The first "N%," after the sizes "A / B, ".
    const std::size_t sizes = line.find(" / ");
    if (sizes == std::string_view::npos)
        return std::nullopt;
    const std::size_t comma = line.find(", ", sizes);
    if (comma == std::string_view::npos)
        return std::nullopt;
    std::size_t i = comma + 2;
    int percent = 0;
    const std::size_t first = i;
    while (i < line.size() && IsDigit(line[i]) && i - first < 3)
        percent = percent * 10 + (line[i++] - '0');
    if (i == first || i >= line.size() || line[i] != '%' || percent > 100)
        return std::nullopt;
    return percent;
}

std::string RcloneReason(std::string_view errors) {
    const std::vector<std::string_view> lines = RcloneOutputLines(errors);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const std::string_view line = WithoutDate(*it);
        if (line.rfind("ERROR", 0) == 0 || line.rfind("CRITICAL", 0) == 0 ||
            line.rfind("Failed", 0) == 0)
            return std::string(WithoutLevel(line));
    }
    return lines.empty() ? std::string() : std::string(WithoutLevel(WithoutDate(lines.back())));
}

RcloneOutcome RunRclone(const std::vector<std::string>& args, const CopyWatch& watch,
                        std::string_view input) {
    platform::ProcessStart start;
    start.args.emplace_back(kRcloneProgram);
    start.args.insert(start.args.end(), args.begin(), args.end());
    start.searchPath = true;
    start.feedInput = !input.empty();
    start.input = input;
    start.keepOutput = true;
    start.keepErrors = true;
    platform::ProcessWatch processWatch;
    processWatch.whileWaiting = watch.whileWaiting;
    processWatch.stopRequested = watch.stopRequested;
    if (watch.percent)
        processWatch.errorLine = [&watch](std::string_view line) {
            if (const std::optional<int> percent = StatisticsPercent(line))
                watch.percent(*percent);
        };
    const platform::ProcessOutcome process = platform::SpawnAndWait(start, processWatch);
    RcloneOutcome outcome;
    outcome.started = process.started;
    outcome.succeeded = platform::ProcessSucceeded(process);
    outcome.stopped = process.stopped;
    outcome.exitCode = process.exitCode;
    outcome.out = process.out;
    if (!process.started)
        outcome.reason = process.startError;
    else if (!process.endError.empty())
        outcome.reason = process.endError;
    else if (!outcome.succeeded) {
        outcome.reason = RcloneReason(process.err);
        if (outcome.reason.empty())
            outcome.reason = "rclone ended with exit code " + std::to_string(process.exitCode);
    }
    return outcome;
}

std::vector<std::string_view> RcloneOutputLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        if (!line.empty())
            lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace rk
