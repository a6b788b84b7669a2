#pragma once
// A real component a system test starts (cron, dbus-daemon, Xvfb, the
// systemd user manager, the program itself): spawned without a shell, its
// output in a log file, known by its PID and stopped by it.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace rk::test {

struct StartOptions {
    // "NAME=value" added to the test's environment; "NAME" alone removes it.
    std::vector<std::string> environment;
    // Standard output and error go here (appended); /dev/null when empty.
    std::filesystem::path log;
    // A cgroup2 folder the process is moved into before it runs the program.
    std::filesystem::path cgroup;
};

class StartedProcess {
  public:
    StartedProcess() = default;
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    // Starts the program (an absolute path); the reason when it could not.
    std::optional<std::string> Start(const std::vector<std::string>& arguments,
                                     const StartOptions& options = {});

    // What the next Start writes to the process's standard input, which is
    // then closed (at most a pipe's buffer); without it, /dev/null.
    void GiveInput(std::string input) { input_ = std::move(input); }

    pid_t pid() const { return pid_; }
    bool Running();

    // Waits for the end; its exit code (128 + signal when killed), or
    // nothing when it was still running after `limit`.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);

    // SIGTERM, then SIGKILL after `grace`; waits for the end.
    void Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  private:
    pid_t pid_ = -1;
    std::optional<int> exitCode_;
    std::string input_;
};

// Polls `done` every 100 ms until it holds or `limit` passes; whether it held.
template <typename Check> bool WaitUntil(std::chrono::milliseconds limit, Check done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        struct timespec pause {
            0, 100'000'000
        };
        nanosleep(&pause, nullptr);
    }
}

} // namespace rk::test
