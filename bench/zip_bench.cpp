// Times rkzip and rkunzip against Info-ZIP, 7-Zip and bsdtar on generated
// trees and prints one table: a root backup, an incremental run after a few
// files changed, and a restore of a range of archives newest first, each with
// its peak memory and Ravelkeep's ratio against the target for it.
//
//   rk_zip_bench [SIZE [FILES [SMALL_FILES [MILLION_FILES]]]]
//
// SIZE is the size of the mixed tree (bytes, or with K, M or G; default 1G),
// FILES its number of files (default 20000), SMALL_FILES the number of files
// of the small-file tree (default 100000), MILLION_FILES those of the tree
// of tiny files (default 1000000; 0 leaves it out). Each timed command runs
// three times and its median run is shown. The machine's load is printed
// before and after: figures taken on a busy machine are said to be unreliable.

#include "backup_steps.h"
#include "bench_context.h"
#include "encryption_steps.h"
#include "engine_steps.h"
#include "extraction_steps.h"
#include "scale_steps.h"
#include "support/sandbox.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace rk::bench;

namespace {

std::optional<std::uint64_t> ParseSize(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || value <= 0)
        return std::nullopt;
    const std::string unit = end;
    double factor = 1;
    if (unit == "K" || unit == "k")
        factor = 1024.0;
    else if (unit == "M" || unit == "m")
        factor = 1024.0 * 1024;
    else if (unit == "G" || unit == "g")
        factor = 1024.0 * 1024 * 1024;
    else if (!unit.empty())
        return std::nullopt;
    return static_cast<std::uint64_t>(value * factor);
}

std::optional<std::size_t> ParseCount(const std::string& text) {
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || value <= 0)
        return std::nullopt;
    return static_cast<std::size_t>(value);
}

int Usage() {
    std::fputs("usage: rk_zip_bench [SIZE [FILES [SMALL_FILES [MILLION_FILES]]]]\n"
               "  SIZE           size of the mixed tree: bytes, or with K, M or G (default 1G)\n"
               "  FILES          files of the mixed tree (default 20000)\n"
               "  SMALL_FILES    files of the small-file tree (default 100000)\n"
               "  MILLION_FILES  files of the tree of tiny files (default 1000000, 0: none)\n",
               stderr);
    return 2;
}

// The one-minute load average per core, or nothing when it cannot be read.
std::optional<double> LoadPerCore() {
    double load[1] = {0};
    if (getloadavg(load, 1) != 1)
        return std::nullopt;
    return load[0] / std::max(1u, std::thread::hardware_concurrency());
}

std::string LoadText(const std::optional<double>& load) {
    if (!load)
        return "unknown";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f per core", *load);
    return text;
}

std::string Thousands(std::size_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits;
}

std::string MegabyteText(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f MB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

// System calls per file of a root backup of `source` (strace -c -f), or
// nothing without strace.
std::optional<double> SyscallsPerFile(const Layout& layout, const Tools& tools,
                                      const std::string& job, std::size_t files) {
    const auto strace = FindOnPath("strace");
    if (!strace)
        return std::nullopt;
    const fs::path counts = layout.host("strace-counts.txt");
    std::vector<std::string> args = {*strace, "-f", "-c", "-o", counts.string(), tools.rkzip};
    const auto backup = BackupArguments("-a+", job, "counted.zip");
    args.insert(args.end(), backup.begin(), backup.end());
    const Measure run = RunMeasured(args);
    fs::remove(layout.host(job + "/counted.zip"));
    if (!run.started || run.exitCode != 0)
        return std::nullopt;
    // The summary's last line: "100.00 SECONDS USECS CALLS ERRORS total".
    std::ifstream in(counts);
    std::string line;
    std::string total;
    while (std::getline(in, line))
        if (line.find(" total") != std::string::npos)
            total = line;
    std::istringstream fields(total);
    double percent = 0;
    double seconds = 0;
    std::string usecs;
    double calls = 0;
    if (!(fields >> percent >> seconds >> usecs >> calls))
        return std::nullopt;
    return calls / static_cast<double>(std::max<std::size_t>(1, files));
}

} // namespace

int main(int argc, char** argv) {
    BenchPlan plan;
    plan.big = {1ull << 30, 20000, 4, 50};
    plan.small = {0, 100000, 1, 100};
    std::size_t millionFiles = 1000000;
    if (argc > 5 || (argc > 1 && std::string(argv[1]).rfind('-', 0) == 0))
        return Usage();
    if (argc > 1) {
        const auto size = ParseSize(argv[1]);
        if (!size)
            return Usage();
        plan.big.bytes = *size;
    }
    if (argc > 2) {
        const auto files = ParseCount(argv[2]);
        if (!files)
            return Usage();
        plan.big.files = *files;
    }
    if (argc > 3) {
        const auto files = ParseCount(argv[3]);
        if (!files)
            return Usage();
        plan.small.files = *files;
    }
    if (argc > 4) {
        if (std::string(argv[4]) == "0") {
            millionFiles = 0;
        } else {
            const auto files = ParseCount(argv[4]);
            if (!files)
                return Usage();
            millionFiles = *files;
        }
    }
    // Small files of about 1.5 KB on average.
    plan.small.bytes = plan.small.files * 1536;

    const std::optional<double> loadBefore = LoadPerCore();
    const auto started = std::chrono::steady_clock::now();
    rk::test::Sandbox box;
    const Layout layout{box.c()};
    const Tools tools = FindTools();

    Progress("making the mixed tree: " + MegabyteText(plan.big.bytes) + " in " +
             Thousands(plan.big.files) + " files");
    MakeTree(layout.host("Mixed"), plan.big, 1);
    Progress("making the small-file tree: " + Thousands(plan.small.files) + " files");
    const auto smallFiles = MakeTree(layout.host("Small"), plan.small, 2);
    // Files of 1-64 KB, half of them gzip-compressed, as in /usr/share/doc.
    const std::size_t packedFiles = std::max<std::size_t>(1, plan.small.files / 5);
    Progress("making the tree of compressed small files: " + Thousands(packedFiles) + " files");
    MakeSmallCompressedTree(layout.host("Packed"), packedFiles, 3);
    PrepareJob(layout, "MixedJob", "Mixed");
    PrepareJob(layout, "SmallJob", "Small");
    PrepareJob(layout, "PackedJob", "Packed");

    std::vector<TableRow> rows;
    const auto mixedRows = RootBackupRows(tools, layout,
                                          "root backup, " + MegabyteText(plan.big.bytes) + " in " +
                                              Thousands(plan.big.files),
                                          "Mixed", "MixedJob", "b01.zip", "mixed", 0.25);
    rows.insert(rows.end(), mixedRows.begin(), mixedRows.end());
    const auto encryptedRows = EncryptedBackupRows(tools, layout, "  the same, encrypted (AES-256)",
                                                   "MixedJob", "b01.zip", plan.big.files, 1.15);
    rows.insert(rows.end(), encryptedRows.begin(), encryptedRows.end());
    const auto smallRows = RootBackupRows(
        tools, layout, "root backup, " + Thousands(plan.small.files) + " small files", "Small",
        "SmallJob", "b01.zip", "small", 0.5);
    rows.insert(rows.end(), smallRows.begin(), smallRows.end());
    const auto packedRows = RootBackupRows(
        tools, layout, "root backup, " + Thousands(packedFiles) + " files of 1-64 KB, half .gz",
        "Packed", "PackedJob", "b01.zip", "packed", 0.7);
    rows.insert(rows.end(), packedRows.begin(), packedRows.end());
    Progress("system calls of that backup: strace -c -f");
    const std::optional<double> syscalls = SyscallsPerFile(layout, tools, "PackedJob", packedFiles);
    rows.push_back(IncrementalRow(tools, layout, smallFiles, plan.incrementalChanges, "Small",
                                  "SmallJob", "b02.zip", "small"));

    // The rest of the range: incremental runs after more changes, untimed.
    std::vector<std::string> range = {"SmallJob/b01.zip", "SmallJob/b02.zip"};
    for (unsigned round = 2; round < plan.rangeArchives; ++round) {
        ChangeFiles(smallFiles, plan.changesPerRangeArchive, round);
        char name[16];
        std::snprintf(name, sizeof name, "b%02u.zip", round + 1);
        Progress(std::string("making the range: ") + name);
        const auto made = Timed(tools.rkzip, BackupArguments("-i", "SmallJob", name));
        ReportFailure("rkzip -i", made);
        range.push_back("SmallJob/" + std::string(name));
    }
    std::reverse(range.begin(), range.end());
    rows.push_back(ExtractionRow(
        tools, layout, "restore " + std::to_string(range.size()) + " archives newest first", range,
        "range", 0.5));
    rows.push_back(ExtractionRow(tools, layout, "extract the mixed root archive",
                                 {"MixedJob/b01.zip"}, "mixed", std::nullopt));
    std::optional<Measure> smallRestore;
    rows.push_back(ExtractionRow(tools, layout,
                                 "extract " + Thousands(plan.small.files) + " entries",
                                 {"SmallJob/b01.zip"}, "small", std::nullopt, &smallRestore));
    rows.push_back(MemoryLimitRow("  memory of that restore", smallRestore, 48));
    const auto picker = PickerRows(tools, layout, "SmallJob/b01.zip", plan.small.files, 10);
    rows.insert(rows.end(), picker.begin(), picker.end());
    const auto million = MillionRows(tools, layout, millionFiles);
    rows.insert(rows.end(), million.begin(), million.end());

    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    char title[256];
    std::snprintf(title, sizeof title,
                  "rkzip and rkunzip against their peers (%u cores; seconds and peak memory; "
                  "whole run %.0f s)",
                  std::max(1u, std::thread::hardware_concurrency()), took.count());
    PrintTable(title, rows);
    if (syscalls)
        std::printf("\nsystem calls per file of the root backup of the compressed small files "
                    "(strace -c -f): %.1f (target <= 5)\n",
                    *syscalls);
    else
        std::printf("\nsystem calls per file: not counted (strace not installed)\n");

    // The backup engines, on a home-like tree: the mixed tree's size and
    // files, a fifth of them held twice.
    const auto engineStarted = std::chrono::steady_clock::now();
    Progress("making the home-like tree: " + MegabyteText(plan.big.bytes) + " in " +
             Thousands(plan.big.files) + " files, a fifth of them twice");
    const auto homeFiles = MakeTree(layout.host("Home/Documents"), plan.big, 4);
    AddDuplicates(layout.host("Home/Documents"), homeFiles, layout.host("Home/Copies"));
    const std::size_t changes =
        std::min<std::size_t>(220, std::max<std::size_t>(1, plan.big.files / 10));
    const auto engineRows = EngineRows(tools, layout, "Home", homeFiles, changes);
    const std::chrono::duration<double> engineTook =
        std::chrono::steady_clock::now() - engineStarted;
    const auto headings = EngineHeadings();
    std::snprintf(title, sizeof title,
                  "Ravelkeep against the backup engines (seconds and peak memory; ratio: the "
                  "fastest engine's time to Ravelkeep's; %.0f s)",
                  engineTook.count());
    PrintTable(title, engineRows, &headings);
    const std::optional<double> loadAfter = LoadPerCore();
    // The load after the run includes the benchmark's own work; the machine
    // is judged by the load it found.
    std::printf("\nload average: %s before, %s after (with the benchmark's own work)\n",
                LoadText(loadBefore).c_str(), LoadText(loadAfter).c_str());
    if (loadBefore && *loadBefore > 0.5)
        std::printf("busy machine, figures unreliable\n");
    return 0;
}
