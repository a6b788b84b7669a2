// rk_thin_bench [ARCHIVES [FILES]]: thinning ARCHIVES daily archives
// (default 400) of a job of FILES files (default 10,000) with the proposed
// keep policy, through the real rkzip and rkunzip in a folder of its own:
// the time it takes and the peak disk space of the job folder and the
// temporary folder together, sampled while it runs. The first archive holds
// every file, each later one 10 changed files.

#include "core/program_values.h"
#include "engine/job.h"
#include "engine/keep_policy.h"
#include "engine/progress_display.h"
#include "platform/drive_map.h"
#include "restore/thinning_run.h"
#include "support/sandbox.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

std::uintmax_t BytesUnder(const fs::path& folder) {
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file(error))
            total += it->file_size(error);
    return total;
}

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int archives = argc > 1 ? std::stoi(argv[1]) : 400;
    const int files = argc > 2 ? std::stoi(argv[2]) : 10000;
    rk::test::Sandbox box;
    const fs::path program = fs::path(rk::test::ProgramDir());
    const fs::path job = box.c() / "Backups" / "Daily";
    const fs::path tree = box.root() / "tree";
    Write(job / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
    rk::AppFolder = "C:\\";
    rk::JobStoreFolder = "C:\\Backups\\";
    rk::ZipUtilPath = rk::platform::ToWindowsPath((program / "rkzip").string());
    rk::UnzipUtilPath = rk::platform::ToWindowsPath((program / "rkunzip").string());
    const rk::CalendarDay today = rk::restore::LocalToday();

    std::printf("making %d daily archives of %d files...\n", archives, files);
    for (int i = 0; i < archives; ++i) {
        const year_month_day day{sys_days{today} - days{archives - 1 - i}};
        char name[64];
        std::snprintf(name, sizeof name, "rk_%04d_%02u_%02u_12_00_00.zip",
                      static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                      static_cast<unsigned>(day.day()));
        const fs::path staging = box.root() / "staging";
        fs::remove_all(staging);
        for (int f = 0; f < (i == 0 ? files : 10); ++f) {
            const int which = i == 0 ? f : (i * 10 + f) % files;
            Write(staging / ("d" + std::to_string(which % 100)) / ("f" + std::to_string(which)),
                  std::string(name) + " file " + std::to_string(which) + "\n" +
                      std::string(200, static_cast<char>('a' + which % 26)));
        }
        const rk::test::RunResult made =
            rk::test::Run({(program / "rkzip").string(), "-a", "-p", "-r", "-^^",
                           rk::platform::ToWindowsPath((job / name).string()),
                           rk::platform::ToWindowsPath(staging.string()) + "\\*.*"});
        if (made.exitCode != 0) {
            std::fprintf(stderr, "rkzip failed for %s: %s\n", name, made.err.c_str());
            return 1;
        }
    }
    rk::WriteKeepPolicy(rk::Job("C:\\Backups\\", "Daily"), rk::kProposedKeepPolicy);

    std::atomic<bool> running = true;
    std::uintmax_t peak = 0;
    const std::uintmax_t start = BytesUnder(job) + BytesUnder(box.root() / "tmp");
    std::thread sampler([&] {
        while (running) {
            peak = std::max(peak, BytesUnder(job) + BytesUnder(box.root() / "tmp"));
            std::this_thread::sleep_for(milliseconds(20));
        }
    });
    rk::NoProgress progress;
    const auto begun = steady_clock::now();
    const rk::restore::ThinningEnd end = rk::restore::ThinJob(
        rk::CurrentInstallation(), rk::Job("C:\\Backups\\", "Daily"), progress, today);
    const double seconds = duration<double>(steady_clock::now() - begun).count();
    running = false;
    sampler.join();
    std::printf("| task | time | peak disk (job + temporary) | archives | freed |\n");
    std::printf("| thinning %d daily archives of a %d-file job | %.2f s | %.1f MB (%.1f MB "
                "before) | %lld to %lld | %.1f MB |\n",
                archives, files, seconds, static_cast<double>(peak) / 1048576.0,
                static_cast<double>(start) / 1048576.0, end.record.before, end.record.after,
                static_cast<double>(end.record.bytesFreed) / 1048576.0);
    if (end.Failed())
        std::fprintf(stderr, "thinning failed: %s\n", end.record.reason.c_str());
    return end.Failed() ? 1 : 0;
}
