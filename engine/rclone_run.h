#pragma once
// Running rclone, the program that carries a job's copy to other storage:
// found on PATH, started without any shell, with the user's own rclone
// configuration (RCLONE_CONFIG passes through when it is set). Its standard
// output and error are kept; its progress lines are read for the percent
// done, and a stop asked by the caller sends it SIGTERM.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// The program's name on PATH.
inline constexpr std::string_view kRcloneProgram = "rclone";

// What the user reads when rclone is not installed.
inline constexpr std::string_view kRcloneMissingText =
    "rclone is not installed: install it with \"sudo apt install rclone\" to keep a copy of the "
    "backups on other storage.";

// What the caller watches while rclone runs.
struct CopyWatch {
    // The percent of the bytes sent so far, as rclone's statistics tell it.
    std::function<void(int percent)> percent;
    // Asked between reads; true stops rclone (SIGTERM) once.
    std::function<bool()> stopRequested;
    // Called about every 50 ms while rclone runs.
    std::function<void()> whileWaiting;
};

struct RcloneOutcome {
    bool started = false;
    bool succeeded = false; // started, its end read, exit code 0
    bool stopped = false;   // stopped because the caller asked
    int exitCode = -1;
    std::string out; // its standard output, whole
    // Why it failed, in words for the user: rclone's own last error line,
    // or why it could not be started.
    std::string reason;
};

// Whether rclone is found on PATH.
bool RcloneInstalled();

// Runs rclone with `args` (without the program name), standard input
// `input`, watched by `watch`.
RcloneOutcome RunRclone(const std::vector<std::string>& args, const CopyWatch& watch = {},
                        std::string_view input = {});

// The percent of one of rclone's statistics lines ("... 2.861 MiB / 10 MiB,
// 28%, 1 MiB/s, ETA 7s"), or nothing for another line.
std::optional<int> StatisticsPercent(std::string_view line);

// rclone's last error line of `errors` without its date and level, or its
// last line when none says ERROR or Failed.
std::string RcloneReason(std::string_view errors);

// The lines of rclone's output without their ends and trailing blanks,
// blank lines left out.
std::vector<std::string_view> RcloneOutputLines(std::string_view text);

} // namespace rk
