// Installing, reading back and removing a job's schedule through the
// stand-in systemctl and crontab: the files written and the exact calls.

#include "platform/host_program.h"
#include "schedule/installed_schedule.h"
#include "support/sandbox.h"
#include "support/scheduler_stand_ins.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rk::schedule {
namespace {

namespace fs = std::filesystem;
using test::SchedulerStandIns;

const BackupCommand kCommand{"/opt/rk/rkbak", "C=/home/u"};
const Schedule kDaily{Frequency::Daily, 2, 0, 1};

TEST(InstalledSchedule, SystemdTimerIsWrittenEnabledAndReadBack) {
    test::Sandbox box;
    SchedulerStandIns standIns(box);
    const std::string job = "-Fotos \xc3\xbc";
    const std::string unit = "ravelkeep-backup-\\x2dFotos\\x20\\xc3\\xbc";

    ASSERT_EQ(InstallSchedule(job, kDaily, kCommand), std::nullopt);
    EXPECT_TRUE(fs::exists(standIns.UnitFolder() / (unit + ".timer")));
    EXPECT_NE(box.read(standIns.UnitFolder() / (unit + ".service"))
                  .find("ExecStart=\"/opt/rk/rkbak\" \"/ib/-Fotos \xc3\xbc\""),
              std::string::npos);
    EXPECT_EQ(standIns.Calls(), (std::vector<std::string>{
                                    "systemctl [--user] [show-environment]",
                                    "systemctl [--user] [daemon-reload]",
                                    "systemctl [--user] [enable] [" + unit + ".timer]",
                                    "systemctl [--user] [restart] [" + unit + ".timer]",
                                    "crontab [-l]",
                                }));

    const InstalledSchedule installed = ReadInstalledSchedule(job);
    EXPECT_EQ(installed.place, Place::SystemdTimer);
    EXPECT_EQ(installed.schedule, kDaily);
    EXPECT_TRUE(installed.enabled);
    EXPECT_EQ(installed.nextRun, std::optional<std::time_t>(1796601600));
    EXPECT_EQ(installed.problem, "");

    // A schedule changed by hand is shown as installed, not as ours.
    box.write(standIns.UnitFolder() / (unit + ".timer"),
              "[Timer]\nOnCalendar=Mon..Fri 08:00\n[Install]\nWantedBy=timers.target\n");
    const InstalledSchedule edited = ReadInstalledSchedule(job, false);
    EXPECT_EQ(edited.place, Place::SystemdTimer);
    EXPECT_FALSE(edited.schedule);
    EXPECT_EQ(edited.installedText, "Mon..Fri 08:00");

    standIns.ClearCalls();
    ASSERT_EQ(InstallSchedule(job, Schedule{}, kCommand), std::nullopt);
    EXPECT_FALSE(fs::exists(standIns.UnitFolder() / (unit + ".timer")));
    EXPECT_FALSE(fs::exists(standIns.UnitFolder() / (unit + ".service")));
    EXPECT_EQ(standIns.Calls(), (std::vector<std::string>{
                                    "systemctl [--user] [show-environment]",
                                    "systemctl [--user] [disable] [--now] [" + unit + ".timer]",
                                    "systemctl [--user] [daemon-reload]",
                                    "crontab [-l]",
                                }));
    EXPECT_EQ(ReadInstalledSchedule(job).place, Place::None);
}

TEST(InstalledSchedule, CrontabLineWhereSystemdIsNotRunning) {
    test::Sandbox box;
    SchedulerStandIns standIns(box, false);
    standIns.ClearCalls();
    const std::string other = "MAILTO=me\n15 3 * * * /usr/bin/true\n";
    ASSERT_EQ(platform::RunHostProgram({"crontab", "-"}, other).exitCode, 0);

    const Schedule weekly{Frequency::Weekly, 23, 30, 5};
    ASSERT_EQ(InstallSchedule("Weekly Job", weekly, kCommand), std::nullopt);
    const std::string line = "30 23 * * 5 RAVELKEEP_DRIVES='C=/home/u' '/opt/rk/rkbak' "
                             "'/ib/Weekly Job' # ravelkeep-backup-Weekly\\x20Job";
    EXPECT_EQ(standIns.Crontab(), other + line + "\n");
    // Installing again replaces the line instead of adding one.
    ASSERT_EQ(InstallSchedule("Weekly Job", weekly, kCommand), std::nullopt);
    EXPECT_EQ(standIns.Crontab(), other + line + "\n");

    const InstalledSchedule installed = ReadInstalledSchedule("Weekly Job");
    EXPECT_EQ(installed.place, Place::Crontab);
    EXPECT_EQ(installed.schedule, weekly);
    EXPECT_EQ(installed.installedText, line);
    ASSERT_TRUE(installed.nextRun);
    EXPECT_FALSE(fs::exists(standIns.UnitFolder()));

    ASSERT_EQ(RemoveSchedule("Weekly Job"), std::nullopt);
    EXPECT_EQ(standIns.Crontab(), other);
    EXPECT_EQ(ReadInstalledSchedule("Weekly Job").place, Place::None);
}

TEST(InstalledSchedule, RefusalsSayWhy) {
    test::Sandbox box;
    {
        SchedulerStandIns standIns(box, false, false);
        EXPECT_EQ(InstallSchedule("two\nlines", kDaily, kCommand),
                  "the job name holds a control character, which a schedule cannot carry");
        EXPECT_EQ(InstallSchedule("Job", {Frequency::Daily, 24, 0, 1}, kCommand),
                  "the schedule's day or time is out of range");
        EXPECT_TRUE(standIns.Calls().empty());
        EXPECT_EQ(InstallSchedule("Job", kDaily, kCommand),
                  "neither systemd's user manager nor crontab is available");
    }
    // A timer left behind while the user manager is away still reads back,
    // with what stops it from running.
    SchedulerStandIns standIns(box, true, false);
    ASSERT_EQ(InstallSchedule("Job", kDaily, kCommand), std::nullopt);
    setenv("RK_FAKE_SYSTEMD", "absent", 1);
    const InstalledSchedule away = ReadInstalledSchedule("Job");
    EXPECT_EQ(away.place, Place::SystemdTimer);
    EXPECT_EQ(away.problem, "systemd's user manager is not running, so the timer does not run");
    EXPECT_FALSE(away.nextRun);
}

} // namespace
} // namespace rk::schedule
