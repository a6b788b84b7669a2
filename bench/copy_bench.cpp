// rk_copy_bench [MEGABYTES]: a job's copy to a WebDAV server against a plain
// "rclone copy" of the same archive. rclone's own WebDAV server is started on
// 127.0.0.1 (by PID, stopped by it) in a folder of its own, with a private
// rclone configuration; an archive of MEGABYTES of random bytes (default 300)
// is sent by both ways five times each, taking turns, into empty folders;
// the medians are printed with their ratio (target: at most 1.1 x).

#include "engine/copy_record.h"
#include "engine/job_copy.h"
#include "support/rclone_config.h"
#include "support/sandbox.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Each way is timed this often, taking turns; the medians are compared.
constexpr int kRounds = 5;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// rclone's WebDAV server in `folder`, its output in `log`; its address.
pid_t StartServer(const fs::path& folder, const fs::path& log, std::string& url) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> args = {"rclone", "serve",       "webdav",
                                     "--addr", "127.0.0.1:0", folder.string()};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "rclone", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    for (int i = 0; i < 150; ++i) {
        const std::string port = rk::test::ServedPort(ReadAll(log));
        if (!port.empty()) {
            url = "http://127.0.0.1:" + port + "/";
            return pid;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Stops the server however the benchmark ends.
struct ServerGuard {
    pid_t pid;
    ~ServerGuard() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

bool SameSize(const fs::path& a, const fs::path& b) {
    std::error_code error;
    const auto size = fs::file_size(a, error);
    return !error && size == fs::file_size(b, error) && !error;
}

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int RunBench(int argc, char** argv) {
    const long long megabytes = argc > 1 ? std::stoll(argv[1]) : 300;
    if (!rk::test::HaveRclone()) {
        std::fprintf(stderr, "rk_copy_bench: rclone is not installed\n");
        return 2;
    }
    rk::test::Sandbox box;
    rk::test::PrivateRcloneConfig rclone(box.root() / "rclone" / "rclone.conf");
    const fs::path served = box.root() / "served";
    fs::create_directories(served);
    std::string url;
    const pid_t server = StartServer(served, box.root() / "webdav.log", url);
    if (server < 0) {
        std::fprintf(stderr, "rk_copy_bench: the WebDAV server did not start\n");
        return 1;
    }
    const ServerGuard guard{server};
    rclone.AddWebDavRemote("dav", url);

    const fs::path job = box.c() / "Backups" / "Job";
    const std::string archive = "rk_2026_01_01_12_00_00.zip";
    std::printf("writing a %lld MB archive...\n", megabytes);
    {
        fs::create_directories(job);
        std::ofstream(job / "rkjob.ini", std::ios::binary) << "[settings]\r\ncreated=today\r\n";
        std::ofstream out(job / archive, std::ios::binary);
        std::mt19937_64 random(1);
        std::vector<std::uint64_t> block(1 << 17);
        for (long long written = 0; written < megabytes * 1024 * 1024;
             written += static_cast<long long>(block.size() * sizeof(std::uint64_t))) {
            for (std::uint64_t& word : block)
                word = random();
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * sizeof(std::uint64_t)));
        }
    }
    const std::string jobFolder = "C:\\Backups\\Job";

    std::vector<double> plain;
    std::vector<double> ours;
    bool sound = true;
    for (int round = 0; round < kRounds && sound; ++round) {
        // New folders each round: the server is not changed behind its back.
        const std::string plainFolder = "plain" + std::to_string(round);
        const std::string oursFolder = "ours" + std::to_string(round);
        if (!rk::WriteCopyRemote(jobFolder, "dav:" + oursFolder)) {
            std::fprintf(stderr, "rk_copy_bench: the copy setting could not be written\n");
            return 1;
        }
        Clock::time_point start = Clock::now();
        const rk::test::RunResult copied = rk::test::Run(
            {"/usr/bin/rclone", "copy", (job / archive).string(), "dav:" + plainFolder});
        plain.push_back(Seconds(start));
        sound = copied.exitCode == 0 && SameSize(served / plainFolder / archive, job / archive);
        if (!sound)
            std::fprintf(stderr, "rk_copy_bench: rclone copy ended with %d: %s\n", copied.exitCode,
                         copied.err.c_str());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        start = Clock::now();
        const rk::CopyEnd end = rk::CopyJob(jobFolder, {}, std::time(nullptr));
        ours.push_back(Seconds(start));
        sound = sound && end.complete && SameSize(served / oursFolder / archive, job / archive);
        if (!end.complete)
            std::fprintf(stderr, "rk_copy_bench: %s\n", end.PendingLine().c_str());
    }
    if (!sound) {
        std::fprintf(stderr, "rk_copy_bench: a copy failed\n");
        return 1;
    }
    const double plainTime = Median(plain);
    const double oursTime = Median(ours);
    std::printf("%-44s %10s %10s %8s\n", "copy to WebDAV (127.0.0.1)", "rclone", "Ravelkeep",
                "ratio");
    std::printf(
        "%-44s %9.2fs %9.2fs %7.2fx  (target <= 1.10x)\n",
        (std::to_string(megabytes) + " MB archive, median of " + std::to_string(kRounds)).c_str(),
        plainTime, oursTime, oursTime / plainTime);
    return 0;
}

} // namespace

// A size that is not a number, or a folder of the sandbox that cannot be
// made, ends the benchmark with its reason instead of an abort.
int main(int argc, char** argv) {
    try {
        return RunBench(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "rk_copy_bench: %s\n", error.what());
        return 1;
    }
}
