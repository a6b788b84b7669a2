// The copy step of "rkbak /ib" with the real rclone: a copy that cannot be
// made leaves the backup made (exit 0) and says so on standard error; the
// desktop is told once copies have been pending for a day, and not again at
// the next run.

#include "support/rclone_config.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

std::string RecordedHoursAgo(int hours) {
    const std::time_t then = std::time(nullptr) - hours * 3600;
    std::tm local{};
    localtime_r(&then, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class CopyLife : public ::testing::Test {
  protected:
    Sandbox box;
    PrivateRcloneConfig rclone{box.root() / "rclone" / "rclone.conf"};
    fs::path program = box.c() / "prog";
    fs::path job = box.c() / "Store" / "Daily";
    fs::path notifications = box.root() / "notifications.log";

    void SetUp() override {
        if (!HaveRclone())
            GTEST_SKIP() << "rclone is not installed";
        InstallProgramCopy(box, program, "C:\\prog", "C:\\Store");
        box.write(job / "excl.ini", "*.tmp\r\n");
        box.write(box.c() / "Data" / "a.txt", "alpha");
    }
    void Settings(const std::string& copyLines) const {
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                     "folder1=C:\\Data\r\n[copy]\r\nremote=gone:backups/Daily\r\n" +
                                         copyLines);
    }
    RunResult OnSessionBus(const std::string& argument) const {
        return rk::test::Run({"/usr/bin/dbus-run-session", "--",
                              (ProgramDir() / "rk_fake_notifier").string(), notifications.string(),
                              (program / "rkbak").string(), argument},
                             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                              "DBUS_SESSION_BUS_ADDRESS", "RAVELKEEP_UNATTENDED=1"});
    }
};

TEST_F(CopyLife, APendingCopyLeavesTheBackupMadeAndIsToldAfterADayOnce) {
    const std::string since = RecordedHoursAgo(25);
    Settings("pendingsince=" + since + "\r\npendingreason=offline\r\n");
    const RunResult run = OnSessionBus("/ib/Daily");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("rkbak: job \"Daily\": Copy to gone:backups/Daily pending: rclone has "
                           "no remote named \"gone\" (make it with rclone config)\n"),
              std::string::npos)
        << run.err;
    const std::string sent = box.read(notifications);
    EXPECT_NE(sent.find("summary=The copy of \"Daily\" to gone:backups/Daily has been pending "
                        "since " +
                        since +
                        "\nbody=Copy to gone:backups/Daily pending: rclone has no remote "
                        "named \"gone\" (make it with rclone config)"),
              std::string::npos)
        << sent;
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("\r\npendingsince=" + since + "\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\nnotified="), std::string::npos) << settings;

    // The next run says it again on standard error, but tells nobody.
    const RunResult again = OnSessionBus("/ib/Daily");
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.err.find("Copy to gone:backups/Daily pending: "), std::string::npos);
    EXPECT_EQ(Count(box.read(notifications), "summary="), 1u) << box.read(notifications);
}

TEST_F(CopyLife, CopiesPendingForLessThanADayTellNobody) {
    Settings("pendingsince=" + RecordedHoursAgo(2) + "\r\npendingreason=offline\r\n");
    const RunResult run = OnSessionBus("/ib/Daily");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Copy to gone:backups/Daily pending: "), std::string::npos) << run.err;
    EXPECT_EQ(Count(box.read(notifications), "summary="), 0u) << box.read(notifications);
}

TEST_F(CopyLife, ACopyThatGoesThroughClearsWhatWasPending) {
    rclone.AddLocalRemote("gone");
    const fs::path remote = box.root() / "remote" / "Daily";
    box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                 "folder1=C:\\Data\r\n[copy]\r\nremote=gone:" +
                                     remote.string() + "\r\npendingsince=" + RecordedHoursAgo(30) +
                                     "\r\npendingreason=offline\r\n");
    const RunResult run = OnSessionBus("/ib/Daily");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("pending"), std::string::npos) << run.err;
    EXPECT_EQ(Count(box.read(notifications), "summary="), 0u) << box.read(notifications);
    EXPECT_EQ(box.read(job / "rkjob.ini").find("pendingsince"), std::string::npos);
    std::size_t archives = 0;
    for (const auto& entry : fs::directory_iterator(remote))
        archives += entry.path().extension() == ".zip" ? 1 : 0;
    EXPECT_EQ(archives, 1u);
}

} // namespace
} // namespace rk::test
