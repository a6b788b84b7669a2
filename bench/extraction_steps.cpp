#include "extraction_steps.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

using Extractor = std::vector<std::string> (*)(const Layout&, const std::string& archive,
                                               const std::string& destination);

std::vector<std::string> RkunzipArguments(const Layout&, const std::string& archive,
                                          const std::string& destination) {
    return {"-d",
            "-Jhrs",
            "-o-",
            "-yo",
            "-^^",
            Layout::windows(archive),
            Layout::windows(destination) + "\\"};
}

std::vector<std::string> UnzipArguments(const Layout& layout, const std::string& archive,
                                        const std::string& destination) {
    return {"-q", "-n", layout.host(archive).string(), "-d", layout.host(destination).string()};
}

std::vector<std::string> BsdtarArguments(const Layout& layout, const std::string& archive,
                                         const std::string& destination) {
    return {"-xk", "-f", layout.host(archive).string(), "-C", layout.host(destination).string()};
}

std::vector<std::string> SevenZipArguments(const Layout& layout, const std::string& archive,
                                           const std::string& destination) {
    return {"x",
            "-y",
            "-aos",
            "-bso0",
            "-bsp0",
            layout.host(archive).string(),
            "-o" + layout.host(destination).string()};
}

// One tool's extraction of every archive into `destination`, made empty.
std::optional<Measure> ExtractOnce(const std::optional<std::string>& tool, Extractor arguments,
                                   const Layout& layout, const std::vector<std::string>& archives,
                                   const std::string& destination) {
    if (!tool)
        return std::nullopt;
    fs::create_directories(layout.host(destination));
    Measure total;
    for (const auto& archive : archives)
        Accumulate(total, *Timed(tool, arguments(layout, archive, destination)));
    return total;
}

struct Extraction {
    const std::optional<std::string>* tool;
    Extractor arguments;
    std::string suffix;
    std::string title;
    std::vector<Measure> runs;
    bool failed = false;
    std::optional<Measure> failure;
};

// The run of median time, or the failed run.
std::optional<Measure> Figure(const Extraction& extraction) {
    if (!*extraction.tool)
        return std::nullopt;
    if (extraction.failed)
        return extraction.failure;
    std::vector<Measure> runs = extraction.runs;
    std::sort(runs.begin(), runs.end(),
              [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

// Every file below `root` with its size, sorted.
std::vector<std::pair<std::string, std::uintmax_t>> FilesBelow(const fs::path& root) {
    std::vector<std::pair<std::string, std::uintmax_t>> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec))
            files.emplace_back(fs::relative(it->path(), root).string(), it->file_size(ec));
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TableRow ExtractionRow(const Tools& tools, const Layout& layout, const std::string& label,
                       const std::vector<std::string>& archives, const std::string& name,
                       std::optional<double> limit, std::optional<Measure>* oursOut) {
    const std::string base = "Out/" + name;
    // Every run writes into a folder of its own, and nothing is deleted until
    // all have run: a file system that has just freed many files slows the
    // next writer down, and that must not fall on one tool. The tools take
    // turns going first.
    const std::optional<std::string> rkunzip = tools.rkunzip;
    std::vector<Extraction> extractions{
        {&rkunzip, RkunzipArguments, "-rk", "rkunzip", {}, false, {}},
        {&tools.unzip, UnzipArguments, "-unzip", "Info-ZIP unzip -n", {}, false, {}},
        {&tools.sevenZip, SevenZipArguments, "-7z", "7-Zip 7zz x -aos", {}, false, {}},
        {&tools.bsdtar, BsdtarArguments, "-tar", "bsdtar -xk", {}, false, {}}};
    for (int round = 0; round < kRunsPerFigure; ++round) {
        for (std::size_t turn = 0; turn < extractions.size(); ++turn) {
            Extraction& extraction = extractions[(turn + round) % extractions.size()];
            if (!*extraction.tool || extraction.failed)
                continue;
            Progress(label + ": " + extraction.title + " (run " + std::to_string(round + 1) + ")");
            const std::string folder =
                base + extraction.suffix + (round == 0 ? "" : "-" + std::to_string(round + 1));
            const auto run =
                ExtractOnce(*extraction.tool, extraction.arguments, layout, archives, folder);
            if (!run || !run->started || run->exitCode != 0) {
                extraction.failed = true;
                extraction.failure = run;
                ReportFailure(extraction.title, run);
                continue;
            }
            extraction.runs.push_back(*run);
        }
    }
    const auto ours = Figure(extractions[0]);
    const auto unzip = Figure(extractions[1]);
    const auto sevenZip = Figure(extractions[2]);
    const auto bsdtar = Figure(extractions[3]);
    if (oursOut != nullptr)
        *oursOut = ours;

    if (tools.unzip) {
        const auto ourFiles = FilesBelow(layout.host(base + "-rk"));
        const auto theirFiles = FilesBelow(layout.host(base + "-unzip"));
        if (ourFiles != theirFiles)
            Progress(label + ": rkunzip's files differ from unzip's (" +
                     std::to_string(ourFiles.size()) + " against " +
                     std::to_string(theirFiles.size()) + ")");
        else
            Progress(label + ": rkunzip and unzip wrote the same " +
                     std::to_string(ourFiles.size()) + " files");
    }

    for (const auto& extraction : extractions)
        for (int round = 1; round < kRunsPerFigure; ++round)
            fs::remove_all(layout.host(base + extraction.suffix + "-" + std::to_string(round + 1)));

    TableRow row;
    row.task = label;
    row.cells = {Cell(tools.rkunzip, ours), Cell(tools.unzip, unzip),
                 Cell(tools.sevenZip, sevenZip), Cell(tools.bsdtar, bsdtar), "-"};
    SetRatio(row, ours, unzip, "unzip -n", limit);
    return row;
}

} // namespace rk::bench
