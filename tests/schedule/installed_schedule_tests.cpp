// Installing, reading back and removing a job's schedule through the
// stand-in systemctl and crontab: the files written and the exact calls.

#include "platform/host_program.h"
#include "schedule/crontab_entry.h"
#include "schedule/installed_schedule.h"
#include "support/failure_reason.h"
#include "support/sandbox.h"
#include "support/scheduler_stand_ins.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
    const std::string retry = "ravelkeep-retry-\\x2dFotos\\x20\\xc3\\xbc";

    ASSERT_EQ(test::FailureReason(InstallSchedule(job, kDaily, kCommand, Place::SystemdTimer)),
              std::nullopt);
    EXPECT_TRUE(fs::exists(standIns.UnitFolder() / (unit + ".timer")));
    EXPECT_NE(box.read(standIns.UnitFolder() / (unit + ".service"))
                  .find("ExecStart=\"/opt/rk/rkbak\" \"/ib/-Fotos \xc3\xbc\""),
              std::string::npos);
    // The retry beside it: its own timer and service, enabled too.
    EXPECT_NE(box.read(standIns.UnitFolder() / (retry + ".timer")).find("OnCalendar=*-*-* *:00/15"),
              std::string::npos);
    EXPECT_NE(box.read(standIns.UnitFolder() / (retry + ".service"))
                  .find("Environment=\"RAVELKEEP_RETRY=1\""),
              std::string::npos);
    EXPECT_TRUE(fs::is_symlink(standIns.UnitFolder() / "timers.target.wants" / (retry + ".timer")));
    EXPECT_EQ(standIns.Calls(), (std::vector<std::string>{
                                    "systemctl [--user] [show-environment]",
                                    "systemctl [--user] [daemon-reload]",
                                    "systemctl [--user] [enable] [" + unit + ".timer]",
                                    "systemctl [--user] [enable] [" + retry + ".timer]",
                                    "systemctl [--user] [restart] [" + unit + ".timer]",
                                    "systemctl [--user] [restart] [" + retry + ".timer]",
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
    ASSERT_EQ(test::FailureReason(InstallSchedule(job, Schedule{}, kCommand, Place::SystemdTimer)),
              std::nullopt);
    for (const std::string& name : {unit, retry}) {
        EXPECT_FALSE(fs::exists(standIns.UnitFolder() / (name + ".timer")));
        EXPECT_FALSE(fs::exists(standIns.UnitFolder() / (name + ".service")));
        EXPECT_FALSE(fs::exists(standIns.UnitFolder() / "timers.target.wants" / (name + ".timer")));
    }
    EXPECT_EQ(standIns.Calls(), (std::vector<std::string>{
                                    "systemctl [--user] [show-environment]",
                                    "systemctl [--user] [disable] [--now] [" + unit + ".timer]",
                                    "systemctl [--user] [disable] [--now] [" + retry + ".timer]",
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
    // A timer needs the user manager; the crontab is chosen explicitly.
    EXPECT_EQ(
        test::FailureReason(InstallSchedule("Weekly Job", weekly, kCommand, Place::SystemdTimer)),
        "systemd's user manager is not running");
    EXPECT_EQ(standIns.Crontab(), other);
    const PlaceChoice choice = AvailablePlace();
    EXPECT_EQ(choice.place, Place::Crontab);
    EXPECT_TRUE(choice.managerNotRunning);
    ASSERT_EQ(test::FailureReason(InstallSchedule("Weekly Job", weekly, kCommand, Place::Crontab)),
              std::nullopt);
    const std::string line = "30 23 * * 5 RAVELKEEP_UNATTENDED=1 RAVELKEEP_DRIVES='C=/home/u' "
                             "'/opt/rk/rkbak' '/ib/Weekly Job' # ravelkeep-backup-Weekly\\x20Job";
    const std::string retry = "*/15 * * * * RAVELKEEP_UNATTENDED=1 RAVELKEEP_RETRY=1 "
                              "RAVELKEEP_DRIVES='C=/home/u' '/opt/rk/rkbak' '/ib/Weekly Job' "
                              "# ravelkeep-retry-Weekly\\x20Job";
    EXPECT_EQ(standIns.Crontab(), other + line + "\n" + retry + "\n");
    // Installing again replaces the lines instead of adding more.
    ASSERT_EQ(test::FailureReason(InstallSchedule("Weekly Job", weekly, kCommand, Place::Crontab)),
              std::nullopt);
    EXPECT_EQ(standIns.Crontab(), other + line + "\n" + retry + "\n");

    const InstalledSchedule installed = ReadInstalledSchedule("Weekly Job");
    EXPECT_EQ(installed.place, Place::Crontab);
    EXPECT_EQ(installed.schedule, weekly);
    EXPECT_EQ(installed.installedText, line);
    ASSERT_TRUE(installed.nextRun);
    EXPECT_FALSE(fs::exists(standIns.UnitFolder()));

    ASSERT_EQ(test::FailureReason(RemoveSchedule("Weekly Job")), std::nullopt);
    EXPECT_EQ(standIns.Crontab(), other);
    EXPECT_EQ(ReadInstalledSchedule("Weekly Job").place, Place::None);
}

TEST(InstalledSchedule, RefusalsSayWhy) {
    test::Sandbox box;
    {
        SchedulerStandIns standIns(box, false, false);
        EXPECT_EQ(test::FailureReason(
                      InstallSchedule("two\nlines", kDaily, kCommand, Place::SystemdTimer)),
                  "the job name holds a control character, which a schedule cannot carry");
        EXPECT_EQ(test::FailureReason(InstallSchedule("Job", {Frequency::Daily, 24, 0, 1}, kCommand,
                                                      Place::Crontab)),
                  "the schedule's day or time is out of range");
        EXPECT_TRUE(standIns.Calls().empty());
        EXPECT_EQ(AvailablePlace().place, Place::None);
        EXPECT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::None)),
                  "neither systemd's user manager nor crontab is available");
        EXPECT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::Crontab)),
                  "crontab is not available");
    }
    // A timer left behind while the user manager is away still reads back,
    // with what stops it from running.
    SchedulerStandIns standIns(box, true, false);
    ASSERT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::SystemdTimer)),
              std::nullopt);
    setenv("RK_FAKE_SYSTEMD", "absent", 1);
    const InstalledSchedule away = ReadInstalledSchedule("Job");
    EXPECT_EQ(away.place, Place::SystemdTimer);
    EXPECT_EQ(away.problem, "systemd's user manager is not running, so the timer does not run");
    EXPECT_FALSE(away.nextRun);
}

// systemd 252 prints the next elapse as a date; the dialog's next run is the
// same moment either way.
TEST(InstalledSchedule, NextRunReadInEitherForm) {
    test::Sandbox box;
    SchedulerStandIns standIns(box, true, false);
    ASSERT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::SystemdTimer)),
              std::nullopt);
    setenv("RK_FAKE_NEXT_ELAPSE_FORM", "date", 1);
    const InstalledSchedule dated = ReadInstalledSchedule("Job");
    unsetenv("RK_FAKE_NEXT_ELAPSE_FORM");
    EXPECT_EQ(dated.nextRun, std::optional<std::time_t>(1796601600));
    EXPECT_EQ(ReadInstalledSchedule("Job").nextRun, std::optional<std::time_t>(1796601600));
}

// Moving a schedule to the crontab while the user manager is away leaves no
// link in timers.target.wants pointing at a unit that is gone.
TEST(InstalledSchedule, NoDanglingWantsLinkWithoutTheUserManager) {
    test::Sandbox box;
    SchedulerStandIns standIns(box);
    ASSERT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::SystemdTimer)),
              std::nullopt);
    const fs::path wants = standIns.UnitFolder() / "timers.target.wants";
    ASSERT_TRUE(fs::is_symlink(wants / "ravelkeep-backup-Job.timer"));
    setenv("RK_FAKE_SYSTEMD", "absent", 1);
    standIns.ClearCalls();
    ASSERT_EQ(test::FailureReason(InstallSchedule("Job", kDaily, kCommand, Place::Crontab)),
              std::nullopt);
    for (const char* name : {"ravelkeep-backup-Job", "ravelkeep-retry-Job"}) {
        EXPECT_FALSE(fs::exists(standIns.UnitFolder() / (std::string(name) + ".timer")));
        EXPECT_FALSE(fs::is_symlink(wants / (std::string(name) + ".timer"))) << name;
    }
    for (const std::string& call : standIns.Calls())
        EXPECT_EQ(call.find("disable"), std::string::npos) << call;
    EXPECT_TRUE(FindCrontabLine(standIns.Crontab(), "Job"));
    // Removing the schedule then removes both crontab lines.
    ASSERT_EQ(test::FailureReason(RemoveSchedule("Job")), std::nullopt);
    EXPECT_EQ(standIns.Crontab(), "");
}

} // namespace
} // namespace rk::schedule
