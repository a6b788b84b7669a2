#include "backup_steps.h"

#include "support/sandbox.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

std::string SizeText(const fs::path& archive) {
    std::error_code ec;
    const auto size = fs::file_size(archive, ec);
    if (ec)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(size) / 1048576.0);
    return text;
}

} // namespace

void PrepareJob(const Layout& layout, const std::string& job, const std::string& source) {
    fs::create_directories(layout.host(job));
    fs::copy_file(rk::test::ProgramDir() / "excl.txt", layout.host(job) / "excl.txt",
                  fs::copy_options::overwrite_existing);
    std::ofstream list(layout.host(job) / "list.txt", std::ios::binary | std::ios::trunc);
    list << Layout::windows(source) << "\\*.*\r\n";
}

std::vector<std::string> BackupArguments(const std::string& mode, const std::string& job,
                                         const std::string& archive) {
    return {mode,
            "-P",
            "-r",
            "-whs",
            "-yp",
            "-^^",
            "-x@" + Layout::windows(job + "/excl.txt"),
            Layout::windows(job + "/" + archive),
            "@" + Layout::windows(job + "/list.txt")};
}

std::vector<TableRow> RootBackupRows(const Tools& tools, const Layout& layout,
                                     const std::string& label, const std::string& source,
                                     const std::string& job, const std::string& archive,
                                     const std::string& peerName, std::optional<double> limit) {
    fs::create_directories(layout.host("Peers"));
    const std::string zipName = "Peers/" + peerName + ".zip";
    const std::string sevenName = "Peers/" + peerName + "-7z.zip";

    // Each run writes a new archive.
    const auto removing = [&layout](const std::string& name) {
        return [&layout, name] { fs::remove(layout.host(name)); };
    };
    Progress(label + ": rkzip");
    const auto ours =
        MedianRun([&] { return Timed(tools.rkzip, BackupArguments("-a+", job, archive)); },
                  removing(job + "/" + archive));
    ReportFailure("rkzip", ours);
    Progress(label + ": Info-ZIP zip -r");
    const auto infoZip = MedianRun(
        [&] {
            return Timed(tools.zip, {"-q", "-r", zipName, source}, layout.c);
        },
        removing(zipName));
    ReportFailure("zip", infoZip);
    Progress(label + ": 7-Zip 7zz a -tzip");
    const auto sevenZip = MedianRun(
        [&] {
            return Timed(tools.sevenZip, {"a", "-tzip", "-bso0", "-bsp0", sevenName, source},
                         layout.c);
        },
        removing(sevenName));
    ReportFailure("7zz", sevenZip);

    TableRow times;
    times.task = label;
    times.cells = {Cell(tools.rkzip, ours), Cell(tools.zip, infoZip),
                   Cell(tools.sevenZip, sevenZip), "-", "-"};
    SetRatio(times, ours, infoZip, "Info-ZIP", limit);

    TableRow sizes;
    sizes.task = "  archive size";
    sizes.cells = {SizeText(layout.host(job + "/" + archive)),
                   tools.zip ? SizeText(layout.host(zipName)) : kNotInstalled,
                   tools.sevenZip ? SizeText(layout.host(sevenName)) : kNotInstalled, "-", "-"};
    return {times, sizes};
}

std::optional<Measure> StatWalk(const Tools& tools, const Layout& layout,
                                const std::string& source) {
    return MedianRun([&] {
        return Timed(tools.find, {source, "-type", "f", "-printf", "%T@ %s\\n"}, layout.c);
    });
}

TableRow IncrementalRow(const Tools& tools, const Layout& layout,
                        const std::vector<fs::path>& files, std::size_t count,
                        const std::string& source, const std::string& job,
                        const std::string& archive, const std::string& peerName) {
    const std::string label = "incremental, " + std::to_string(count) + " of " +
                              std::to_string(files.size()) + " changed";
    Progress(label + ": stat walk");
    const auto walk = StatWalk(tools, layout, source);
    ReportFailure("find", walk);
    Progress(label + ": rkzip -i");
    // Each run finds `count` newly changed files, and writes a new archive.
    unsigned round = 100;
    const auto ours =
        MedianRun([&] { return Timed(tools.rkzip, BackupArguments("-i", job, archive)); },
                  [&] {
                      ChangeFiles(files, count, round++);
                      fs::remove(layout.host(job + "/" + archive));
                  });
    ReportFailure("rkzip -i", ours);
    std::optional<Measure> infoZip;
    if (fs::exists(layout.host("Peers/" + peerName + ".zip"))) {
        Progress(label + ": Info-ZIP zip -r -DF");
        const std::string diff = "Peers/" + peerName + "-diff.zip";
        infoZip = MedianRun(
            [&] {
                return Timed(
                    tools.zip,
                    {"-q", "-r", "Peers/" + peerName + ".zip", source, "-DF", "--out", diff},
                    layout.c);
            },
            [&] { fs::remove(layout.host(diff)); });
        ReportFailure("zip -DF", infoZip);
    }

    TableRow row;
    row.task = label;
    row.cells = {Cell(tools.rkzip, ours), tools.zip ? CellText(infoZip) : kNotInstalled, "-", "-",
                 Cell(tools.find, walk)};
    SetRatio(row, ours, walk, "stat walk", 1.3);
    return row;
}

} // namespace rk::bench
