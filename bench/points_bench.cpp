// rk_points_bench [ARCHIVES [FILES]]: the points in time of a job of ARCHIVES
// backups (default 400) of FILES files (default 100,000), made by the real
// rkzip as the backup runs make them (a root run, then incremental runs that
// each change 50 files, delete 5 and make 5 new ones), and the time from
// nothing to the tree of the newest point: every archive's point record read
// through the real rkunzip (LoadJobPoints), then TreeAt. A second row is
// the "Restore Files" window itself (offscreen): from opening it to its tree
// of the newest point drawn.

#include "engine/job.h"
#include "engine/job_points.h"
#include "platform/drive_map.h"
#include "restore/point_in_time/frm_restore_files.h"
#include "support/sandbox.h"

#include <QApplication>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

fs::path FileOf(const fs::path& data, int which) {
    return data / ("d" + std::to_string(which % 500)) / ("f" + std::to_string(which) + ".txt");
}

} // namespace

int main(int argc, char** argv) {
    const int archives = argc > 1 ? std::stoi(argv[1]) : 400;
    const int files = argc > 2 ? std::stoi(argv[2]) : 100000;
    rk::test::Sandbox box;
    // The window is made inside the sandbox: Qt's caches go to its HOME.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const fs::path program = rk::test::ProgramDir();
    const fs::path job = box.c() / "Backups" / "Daily";
    const fs::path data = box.c() / "Data";
    fs::create_directories(job);
    Write(box.root() / "list.txt", "C:\\Data\\*.*\r\n");
    const std::string list = "@" + rk::platform::ToWindowsPath((box.root() / "list.txt").string());

    std::printf("making %d backups of %d files...\n", archives, files);
    for (int f = 0; f < files; ++f)
        Write(FileOf(data, f), "file " + std::to_string(f) + "\n");
    int next = files;
    for (int i = 0; i < archives; ++i) {
        if (i > 0) {
            for (int c = 0; c < 50; ++c)
                Write(FileOf(data, (i * 50 + c) % files), "changed in run " + std::to_string(i));
            for (int d = 0; d < 5; ++d)
                fs::remove(FileOf(data, (i * 7919 + d * 101) % files));
            for (int n = 0; n < 5; ++n)
                Write(FileOf(data, next++), "new in run " + std::to_string(i));
        }
        char name[64];
        std::snprintf(name, sizeof name, "rk_2026_%02d_%02d_%02d_%02d_00.zip", 1 + i / 100 % 12,
                      1 + i / 4 % 25, i % 24, i % 60);
        const rk::test::RunResult made =
            rk::test::Run({(program / "rkzip").string(), i == 0 ? "-a+" : "-i", "-P", "-r", "-whs",
                           "-^^", rk::platform::ToWindowsPath((job / name).string()), list});
        if (made.exitCode != 0) {
            std::fprintf(stderr, "rkzip failed: %s\n", made.err.c_str());
            return 1;
        }
    }

    rk::Installation installation;
    installation.programFolder = "C:\\";
    installation.jobStore = "C:\\Backups\\";
    installation.zipUtility = rk::platform::ToWindowsPath((program / "rkzip").string());
    installation.unzipUtility = rk::platform::ToWindowsPath((program / "rkunzip").string());
    const auto start = steady_clock::now();
    const rk::JobPointsOutcome loaded = rk::LoadJobPoints(installation, "C:\\Backups\\Daily");
    const auto recordsRead = steady_clock::now();
    if (!loaded.complete) {
        std::fprintf(stderr, "%s: %s\n", loaded.failedArchive.c_str(), loaded.reason.c_str());
        return 1;
    }
    const auto tree = loaded.points.TreeAt(static_cast<int>(loaded.points.Points().size()) - 1);
    const auto shown = steady_clock::now();
    std::printf(
        "| points in time | %zu archives | %zu files in the tree | records %.2f s | "
        "tree %.3f s | total %.2f s |\n",
        loaded.points.Points().size(), tree.size(), duration<double>(recordsRead - start).count(),
        duration<double>(shown - recordsRead).count(), duration<double>(shown - start).count());

    const auto opened = steady_clock::now();
    rk::restore::frmRestoreFiles form(installation, "C:\\Backups\\Daily");
    if (!form.LoadPoints())
        return 1;
    form.show();
    QApplication::processEvents();
    const auto drawn = steady_clock::now();
    std::printf("| restore window | %zu archives | %zu files in the tree | opened to tree drawn "
                "%.2f s |\n",
                form.Points().Points().size(), tree.size(),
                duration<double>(drawn - opened).count());
    return 0;
}
