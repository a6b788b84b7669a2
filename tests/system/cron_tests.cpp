// The real Debian cron daemon, in the test's private namespace with a spool,
// /etc/cron.d and /etc/crontab of its own, running the crontab lines that
// schedule::InstallSchedule writes where no systemd user manager runs. One
// minute serves two jobs: one that backs up, one whose source folder is
// missing. Cron gives its runs neither DBUS_SESSION_BUS_ADDRESS nor
// XDG_RUNTIME_DIR; the user's bus is at /run/user/<uid>/bus.

#include "private_namespace.h"
#include "schedule/installed_schedule.h"
#include "support/failure_reason.h"
#include "system_fixture.h"

#include <grp.h>

#include <chrono>
#include <ctime>
#include <thread>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class CronTest : public SystemTest {
  protected:
    StartedProcess cron;
    std::time_t fireTime = 0;

    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(Have("/usr/sbin/cron"));
        ASSERT_TRUE(Have("/usr/bin/crontab"));
        // Root's crontab in a spool of the namespace's own, and no system
        // crontab lines: only what the test installs runs.
        const group* crontabGroup = getgrnam("crontab");
        ASSERT_NE(crontabGroup, nullptr) << "the crontab group is missing";
        ASSERT_EQ(MountEmptyFolder("/var/spool/cron/crontabs",
                                   "mode=1730,gid=" + std::to_string(crontabGroup->gr_gid)),
                  std::nullopt);
        ASSERT_EQ(MountEmptyFolder("/etc/cron.d"), std::nullopt);
        box.write("/run/empty-crontab", "");
        ASSERT_EQ(BindMount("/run/empty-crontab", "/etc/crontab"), std::nullopt);

        InstallProgram();
        AddJob("Good Job", "C:\\Data Folder");
        AddJob("Lost Source", "C:\\Gone Folder");
        box.write(box.c() / "Data Folder" / "a.txt", "alpha");
        box.write(box.c() / "Data Folder" / "sub" / "b.txt", "beta");
    }

    void TearDown() override {
        cron.Stop();
        SystemTest::TearDown();
    }

    // Installs both jobs' schedules for the coming minute (the one after,
    // when this one is nearly over), as the Schedule dialog does.
    void ScheduleBothForTheNextMinute() {
        std::time_t now = std::time(nullptr);
        if (now % 60 >= 55) {
            std::this_thread::sleep_for(std::chrono::seconds(61 - now % 60));
            now = std::time(nullptr);
        }
        fireTime = now - now % 60 + 60;
        std::tm local{};
        localtime_r(&fireTime, &local);
        const schedule::Schedule daily{schedule::Frequency::Daily, local.tm_hour, local.tm_min, 1};
        const schedule::BackupCommand command{(program / "rkbak").string(),
                                              std::getenv("RAVELKEEP_DRIVES")};
        for (const char* job : {"Good Job", "Lost Source"})
            ASSERT_EQ(test::FailureReason(
                          schedule::InstallSchedule(job, daily, command, schedule::Place::Crontab)),
                      std::nullopt)
                << job;
        const RunResult listed = rk::test::Run({"/usr/bin/crontab", "-l"});
        ASSERT_EQ(listed.exitCode, 0) << listed.err;
        ASSERT_NE(listed.out.find("/ib/Good Job"), std::string::npos) << listed.out;
        ASSERT_NE(listed.out.find("/ib/Lost Source"), std::string::npos) << listed.out;
    }

    // Cron reads the spool when it starts, so the lines are there before the
    // minute it runs them (a change made in the very second cron read the
    // spool could go unseen until cron's next reading).
    void StartCronAndWaitForBothRuns() {
        ASSERT_EQ(cron.Start({"/usr/sbin/cron", "-f"}, {{}, box.root() / "cron.log", {}}),
                  std::nullopt);
        const auto untilFire = std::chrono::seconds(fireTime - std::time(nullptr));
        const bool ran = Eventually(untilFire + 75s, [&] {
            return !LastOutcome("Good Job").empty() && !LastOutcome("Lost Source").empty();
        });
        ASSERT_TRUE(cron.Running()) << "cron ended: " << box.read(box.root() / "cron.log");
        ASSERT_TRUE(ran) << "cron did not run both jobs within 75 s of "
                         << schedule::ShownTime(fireTime) << "; crontab:\n"
                         << rk::test::Run({"/usr/bin/crontab", "-l"}).out;
    }
};

TEST_F(CronTest, OneMinuteBacksUpOneJobAndRecordsTheOtherJobsFailure) {
    ScheduleBothForTheNextMinute();
    StartCronAndWaitForBothRuns();
    ASSERT_EQ(Archives("Good Job").size(), 1u);
    EXPECT_EQ(ArchiveNames(Archives("Good Job")[0]),
              (std::vector<std::string>{"Data Folder/a.txt", "Data Folder/sub/b.txt"}));
    EXPECT_EQ(LastOutcome("Good Job"), "made");
    EXPECT_EQ(LastOutcome("Lost Source"), "failed");
    EXPECT_TRUE(Archives("Lost Source").empty());
}

TEST_F(CronTest, AFailedRunTellsTheDesktopFoundThroughTheUsersRuntimeFolder) {
    StartSessionBus();
    ScheduleBothForTheNextMinute();
    // The lines mark their runs unattended, and a retry line runs the job
    // again every 15 minutes.
    const std::string crontab = rk::test::Run({"/usr/bin/crontab", "-l"}).out;
    EXPECT_NE(crontab.find("RAVELKEEP_UNATTENDED=1"), std::string::npos) << crontab;
    EXPECT_NE(crontab.find("RAVELKEEP_RETRY=1"), std::string::npos) << crontab;
    StartCronAndWaitForBothRuns();
    EXPECT_EQ(LastOutcome("Good Job"), "made");
    EXPECT_EQ(LastOutcome("Lost Source"), "failed");
    // The notification may follow the record by a moment.
    Eventually(5s, [&] { return Notifications().find("Lost Source") != std::string::npos; });
    const std::string sent = Notifications();
    EXPECT_NE(sent.find("Lost Source"), std::string::npos) << "no notification: " << sent;
    // Its body names the cause: the missing source folder.
    EXPECT_NE(sent.find("Gone Folder"), std::string::npos) << sent;
    // The job that went well notifies nothing.
    EXPECT_EQ(sent.find("Good Job"), std::string::npos) << sent;
}

} // namespace
} // namespace rk::test
