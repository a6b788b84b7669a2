#pragma once
// Runs one program without a shell and measures it: wall-clock seconds, exit
// status and its peak resident memory (from wait4's resource usage, taken by
// the small rk_bench_spawn beside the benchmark, which starts the program).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace rk::bench {

struct Measure {
    bool started = false;
    int exitCode = -1;
    double seconds = 0;
    long peakKb = 0;       // largest resident set of the run, in KiB
    std::string errorTail; // the last of its stderr, for a report
};

// Runs `args` (args[0] a full path) in `folder` (the current one when empty),
// with standard input and output on /dev/null.
Measure RunMeasured(const std::vector<std::string>& args, const std::filesystem::path& folder = {});

// Several runs taken as one: seconds add up, the peak is the largest, the
// exit code is the first that is not zero.
void Accumulate(Measure& total, const Measure& one);

// The full path of `name` on PATH, or nothing when it is not installed.
std::optional<std::string> FindOnPath(const std::string& name);

} // namespace rk::bench
