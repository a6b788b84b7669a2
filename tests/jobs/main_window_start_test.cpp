// The real program's interactive life on a platform without a display that
// was asked for by name: the main window comes up, and the program ends with
// 0 when it is asked to stop.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// True once the process catches `signal` (its handler is installed).
bool Catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) != 0)
            continue;
        const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
        return (mask >> (signal - 1) & 1ULL) != 0;
    }
    return false;
}

// The exit status once the process has ended within `limit`, else nothing.
std::optional<int> WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
}

TEST(MainWindowStart, ShownOnTheOffscreenPlatformAndEndedBySigterm) {
    Sandbox sandbox;
    const fs::path program = sandbox.c() / "prog" / "rkbak";
    fs::create_directories(program.parent_path());
    fs::copy_file(ProgramDir() / "rkbak", program);
    sandbox.write(program.parent_path() / "rkzip", "zip");
    sandbox.write(program.parent_path() / "rkunzip", "unzip");
    sandbox.write(sandbox.c() / "Store" / "Weekly" / "rkjob.ini", "[settings]\r\n");
    sandbox.write(program.parent_path() / "rkbak.ini",
                  "[settings]\r\nziputil=C:\\prog\\rkzip\r\nunziputil=C:\\prog\\rkunzip\r\n"
                  "jobs=C:\\Store\r\n");

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind("DISPLAY=", 0) != 0 && text.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            text.rfind("QT_QPA_PLATFORM=", 0) != 0)
            environment.push_back(text);
    }
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};

    const fs::path errors = sandbox.root() / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    // The program takes SIGTERM only once its window is up and its event
    // loop about to run.
    const auto end = std::chrono::steady_clock::now() + 30s;
    std::optional<int> early;
    while (!Catches(pid, SIGTERM) && std::chrono::steady_clock::now() < end) {
        if ((early = WaitFor(pid, 20ms)))
            break;
    }
    ASSERT_FALSE(early) << "ended by itself: " << sandbox.read(errors);
    ASSERT_TRUE(Catches(pid, SIGTERM)) << sandbox.read(errors);

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    const std::optional<int> status = WaitFor(pid, 20s);
    if (!status) {
        kill(pid, SIGKILL);
        WaitFor(pid, 5s);
        FAIL() << "did not end on SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(*status)) << "killed by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0) << sandbox.read(errors);
    EXPECT_EQ(sandbox.read(errors).find("rkbak:"), std::string::npos) << sandbox.read(errors);
    // Nobody could answer the first-start offer: it was not recorded as made.
    EXPECT_EQ(sandbox.read(program.parent_path() / "rkbak.ini").find("autopromptshown"),
              std::string::npos);
}

} // namespace
} // namespace rk::test
