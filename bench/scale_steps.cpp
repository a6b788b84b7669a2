#include "scale_steps.h"

#include "backup_steps.h"
#include "platform/drive_map.h"

#include <cstdio>
#include <unistd.h>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

std::string Count(std::size_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits;
}

} // namespace

std::vector<TableRow> PickerRows(const Tools& tools, const Layout& layout,
                                 const std::string& archive, std::size_t names, unsigned copies) {
    const std::string label =
        "picker: list, merge, show " + std::to_string(copies) + " x " + Count(names) + " names";
    fs::create_directories(layout.host("Picker"));
    std::vector<std::string> arguments = {
        (fs::read_symlink("/proc/self/exe").parent_path() / "rk_picker_bench").string(),
        platform::ToWindowsPath(tools.rkunzip), Layout::windows(""), Layout::windows("Picker")};
    for (unsigned i = 1; i <= copies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "rk_2026_12_%02u_02_00_00.zip", i);
        fs::remove(layout.host("Picker") / name);
        fs::create_hard_link(layout.host(archive), layout.host("Picker") / name);
        arguments.push_back(name);
    }
    Progress(label);
    const auto picked = MedianRun([&]() -> std::optional<Measure> {
        sync();
        return RunMeasured(arguments);
    });
    ReportFailure("rk_picker_bench", picked);
    return {TimeLimitRow(label, picked, 2.0)};
}

std::vector<TableRow> MillionRows(const Tools& tools, const Layout& layout, std::size_t files) {
    if (files == 0)
        return {};
    Progress("making the tree of " + Count(files) + " small files");
    const auto made = MakeTree(layout.host("Million"), {files * 200, files, 0, 200}, 3);
    PrepareJob(layout, "MillionJob", "Million");
    std::vector<TableRow> rows;

    const std::string root = "root backup, " + Count(files) + " small files";
    Progress(root + ": rkzip");
    const auto ours = MedianRun(
        [&] { return Timed(tools.rkzip, BackupArguments("-a+", "MillionJob", "m01.zip")); },
        [&] { fs::remove(layout.host("MillionJob/m01.zip")); });
    ReportFailure("rkzip", ours);
    // The target is 300 MB for a million files; a smaller tree is held to
    // its share of that.
    rows.push_back(
        MemoryLimitRow(root + ", memory", ours, 300.0 * static_cast<double>(files) / 1e6));

    rows.push_back(
        IncrementalRow(tools, layout, made, 10, "Million", "MillionJob", "m02.zip", "million"));

    const auto walk = StatWalk(tools, layout, "Million");
    TableRow perMillion;
    perMillion.task = "stat walk per million files";
    perMillion.cells = {"-", "-", "-", "-", "-"};
    if (walk && walk->started && walk->exitCode == 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f s",
                      walk->seconds * 1e6 / static_cast<double>(files));
        perMillion.cells[kStatWalk] = text;
    }
    perMillion.ratio = "the floor";
    rows.push_back(perMillion);
    return rows;
}

} // namespace rk::bench
