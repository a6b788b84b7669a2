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

std::optional<Measure> ExtractAll(const std::optional<std::string>& tool, Extractor arguments,
                                  const Layout& layout, const std::vector<std::string>& archives,
                                  const std::string& destination) {
    if (!tool)
        return std::nullopt;
    // Each run restores into an empty folder.
    return MedianRun(
        [&]() -> std::optional<Measure> {
            Measure total;
            for (const auto& archive : archives)
                Accumulate(total, *Timed(tool, arguments(layout, archive, destination)));
            return total;
        },
        [&] {
            fs::remove_all(layout.host(destination));
            fs::create_directories(layout.host(destination));
        });
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
    Progress(label + ": rkunzip");
    const auto ours = ExtractAll(tools.rkunzip, RkunzipArguments, layout, archives, base + "-rk");
    ReportFailure("rkunzip", ours);
    if (oursOut != nullptr)
        *oursOut = ours;
    Progress(label + ": Info-ZIP unzip -n");
    const auto unzip = ExtractAll(tools.unzip, UnzipArguments, layout, archives, base + "-unzip");
    ReportFailure("unzip", unzip);
    Progress(label + ": 7-Zip 7zz x -aos");
    const auto sevenZip =
        ExtractAll(tools.sevenZip, SevenZipArguments, layout, archives, base + "-7z");
    ReportFailure("7zz", sevenZip);
    Progress(label + ": bsdtar -xk");
    const auto bsdtar = ExtractAll(tools.bsdtar, BsdtarArguments, layout, archives, base + "-tar");
    ReportFailure("bsdtar", bsdtar);

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

    TableRow row;
    row.task = label;
    row.cells = {Cell(tools.rkunzip, ours), Cell(tools.unzip, unzip),
                 Cell(tools.sevenZip, sevenZip), Cell(tools.bsdtar, bsdtar), "-"};
    SetRatio(row, ours, unzip, "unzip -n", limit);
    return row;
}

} // namespace rk::bench
