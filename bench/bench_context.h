#pragma once
// What every step of the benchmark shares: the tools it runs, the sandbox
// folders it works in, and how it runs one measured command.

#include "generated_tree.h"
#include "measured_run.h"
#include "result_table.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rk::bench {

struct Tools {
    std::string rkzip;
    std::string rkunzip;
    std::optional<std::string> zip;
    std::optional<std::string> unzip;
    std::optional<std::string> sevenZip;
    std::optional<std::string> bsdtar;
    std::optional<std::string> find;
};

// The built utilities and the peers found on PATH.
Tools FindTools();

struct BenchPlan {
    TreeShape big;
    TreeShape small;
    std::size_t incrementalChanges = 10;
    unsigned rangeArchives = 10;
    std::size_t changesPerRangeArchive = 1000;
};

// Host folders below the sandbox's drive C: and the Windows names the
// utilities are given for them.
struct Layout {
    std::filesystem::path c; // host path of C:
    std::filesystem::path host(const std::string& relative) const { return c / relative; }
    static std::string windows(const std::string& relative);
};

// Runs a measured command when its tool is there: writes are flushed to disk
// first (untimed), so no run pays for the one before.
std::optional<Measure> Timed(const std::optional<std::string>& tool,
                             std::vector<std::string> arguments,
                             const std::filesystem::path& folder = {});

// How often each timed command runs; its row shows the run of median time.
inline constexpr int kRunsPerFigure = 3;

// Runs `once` kRunsPerFigure times, `prepare` (untimed) before each, and gives
// the run of median time; nothing when `once` gives nothing.
std::optional<Measure> MedianRun(const std::function<std::optional<Measure>()>& once,
                                 const std::function<void()>& prepare = {});

// A cell for a tool's run: "not installed" when the tool is missing.
std::string Cell(const std::optional<std::string>& tool, const std::optional<Measure>& measure);

// Says on stderr what the benchmark is doing, and names a failed run.
void Progress(const std::string& text);
void ReportFailure(const std::string& what, const std::optional<Measure>& measure);

} // namespace rk::bench
