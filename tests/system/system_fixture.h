#pragma once
// What every system test shares: a sandbox, a private mount namespace with
// its own /run, root's home and /media, the built program installed in the
// sandbox with a job store, and a real session bus whose notification
// service is the stand-in rk_fake_notifier.

#include "started_process.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace rk::test {

class SystemTest : public ::testing::Test {
  protected:
    Sandbox box;
    // Where the program is installed, and its settings.
    std::filesystem::path program = box.c() / "Program Files" / "rk";
    // The job store: host path and Windows text (a test may move it before
    // InstallProgram).
    std::filesystem::path store = box.c() / "My Store";
    std::string storeText = "C:\\My Store";
    std::filesystem::path notificationLog = box.root() / "notifications.log";

    void SetUp() override;
    void TearDown() override;

    // The runtime folder a login would give this user: /run/user/<uid>.
    static std::string RuntimeFolder();
    // The session bus address in it.
    static std::string UserBus();

    // Copies rkbak, rkzip, rkunzip and excl.txt into `program` and configures
    // them with the job store `storeText`.
    void InstallProgram();
    // A job in `store` that backs up `sourceText` (Windows text).
    void AddJob(const std::string& name, const std::string& sourceText) const;
    // The archives in the job's folder, sorted.
    std::vector<std::filesystem::path> Archives(const std::string& job) const;
    // The outcome [lastbackup] records for the job; empty when none.
    std::string LastOutcome(const std::string& job) const;

    // Starts dbus-daemon --session on UserBus() and the stand-in
    // notification service on it; fails the test when they do not start.
    void StartSessionBus();
    // What the stand-in was sent so far.
    std::string Notifications() const;

    // A real component's executable, or skips the test naming what is
    // missing.
    bool Have(const std::string& executable);

    // Polls every 100 ms for up to `limit`.
    template <typename Check> static bool Eventually(std::chrono::milliseconds limit, Check done) {
        return WaitUntil(limit, done);
    }

  private:
    StartedProcess sessionBus_;
    StartedProcess notifier_;
};

} // namespace rk::test
