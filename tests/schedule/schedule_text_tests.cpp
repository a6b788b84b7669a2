// The texts a schedule is installed as: unit names, the timer and service,
// the crontab line, and the schedule read back from each.

#include "schedule/crontab_entry.h"
#include "schedule/schedule.h"
#include "schedule/systemd_units.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace rk::schedule {
namespace {

namespace fs = std::filesystem;

const std::vector<Schedule> kSchedules = {{Frequency::Hourly, 0, 15, 1},
                                          {Frequency::Hourly, 0, 0, 1},
                                          {Frequency::Daily, 2, 5, 1},
                                          {Frequency::Weekly, 23, 59, 7},
                                          {Frequency::Weekly, 0, 0, 1}};

TEST(ScheduleTexts, UnitNamesAreEscapedForAnyJobName) {
    EXPECT_EQ(UnitBaseName("Weekly"), "ravelkeep-backup-Weekly");
    EXPECT_EQ(UnitBaseName("My Documents"), "ravelkeep-backup-My\\x20Documents");
    EXPECT_EQ(UnitBaseName("-Weekly"), "ravelkeep-backup-\\x2dWeekly");
    EXPECT_EQ(UnitBaseName(".hidden.job"), "ravelkeep-backup-\\x2ehidden.job");
    EXPECT_EQ(UnitBaseName("Fotos \xc3\xbc"), "ravelkeep-backup-Fotos\\x20\\xc3\\xbc");
    EXPECT_NE(UnitBaseName("a b"), UnitBaseName("a_b"));
    EXPECT_TRUE(CheckScheduleName("Fotos \xc3\xbc"));
    EXPECT_FALSE(CheckScheduleName("two\nlines"));
    EXPECT_FALSE(CheckScheduleName("caf\xe9"));
    EXPECT_FALSE(CheckScheduleName(std::string(80, ' ')));
}

TEST(ScheduleTexts, ServiceRunsThisProgramWithItsDriveMap) {
    const BackupCommand command{"/opt/rk 1/rkbak", "C=/home/u;D=/media/x"};
    const std::string service = ServiceText("a%b$c\"d\\e", command);
    EXPECT_NE(service.find("\nType=oneshot\n"), std::string::npos);
    EXPECT_NE(service.find("\nEnvironment=\"RAVELKEEP_DRIVES=C=/home/u;D=/media/x\"\n"),
              std::string::npos);
    EXPECT_NE(service.find("\nExecStart=\"/opt/rk 1/rkbak\" \"/ib/a%%b$$c\\\"d\\\\e\"\n"),
              std::string::npos)
        << service;
    EXPECT_NE(service.find("\nDescription=Ravelkeep backup of job a%%b$c\"d\\e\n"),
              std::string::npos);
    // Every run the schedule starts is marked as unattended; the drive map
    // only when one is in use.
    EXPECT_NE(service.find("\nEnvironment=\"RAVELKEEP_UNATTENDED=1\"\n"), std::string::npos);
    EXPECT_EQ(service.find("RAVELKEEP_RETRY"), std::string::npos);
    const std::string plain = ServiceText("x", {"/p/rkbak", ""});
    EXPECT_EQ(plain.find("RAVELKEEP_DRIVES"), std::string::npos);
    EXPECT_NE(plain.find("\nEnvironment=\"RAVELKEEP_UNATTENDED=1\"\nExecStart="), std::string::npos)
        << plain;
}

TEST(ScheduleTexts, RetryUnitsRunTheSameCommandEveryQuarterHour) {
    const BackupCommand command{"/opt/rk 1/rkbak", "C=/home/u"};
    const std::string job = "it's 100% $HOME";
    EXPECT_EQ(RetryUnitBaseName(job), "ravelkeep-retry-it\\x27s\\x20100\\x25\\x20\\x24HOME");
    const std::string service = RetryServiceText(job, command);
    EXPECT_NE(service.find("\nType=oneshot\n"), std::string::npos);
    EXPECT_NE(service.find("\nEnvironment=\"RAVELKEEP_DRIVES=C=/home/u\"\n"), std::string::npos);
    EXPECT_NE(service.find("\nEnvironment=\"RAVELKEEP_UNATTENDED=1\"\n"), std::string::npos);
    EXPECT_NE(service.find("\nEnvironment=\"RAVELKEEP_RETRY=1\"\n"), std::string::npos);
    // The same ExecStart as the schedule's own service.
    const auto execStart = [](const std::string& text) {
        const std::size_t at = text.find("\nExecStart=");
        return at == std::string::npos ? std::string() : text.substr(at);
    };
    EXPECT_EQ(execStart(service), execStart(ServiceText(job, command)));
    EXPECT_NE(execStart(service).find("\"/ib/it's 100%% $$HOME\""), std::string::npos) << service;

    const std::string timer = RetryTimerText(job);
    EXPECT_NE(timer.find("\nOnCalendar=*-*-* *:00/15:00\n"), std::string::npos) << timer;
    EXPECT_EQ(timer.find("Persistent=true"), std::string::npos);
    EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos);
    // The retry's timer is never read as a schedule of the job.
    EXPECT_FALSE(ScheduleOfTimer(timer));
}

TEST(ScheduleTexts, TimersAndCrontabLinesReadBackAsWritten) {
    for (const Schedule& schedule : kSchedules) {
        const std::string timer = TimerText("Job", schedule);
        EXPECT_NE(timer.find("\nPersistent=true\n"), std::string::npos);
        EXPECT_NE(timer.find("\nWantedBy=timers.target\n"), std::string::npos);
        EXPECT_EQ(ScheduleOfTimer(timer), schedule) << timer;
        const std::string line = CrontabLine("Job", schedule, {"/p/rkbak", ""});
        EXPECT_EQ(ScheduleOfCrontabLine(line), schedule) << line;
    }
    EXPECT_EQ(CalendarExpression(kSchedules[0]), "*-*-* *:15:00");
    EXPECT_EQ(CalendarExpression(kSchedules[2]), "*-*-* 02:05:00");
    EXPECT_EQ(CalendarExpression(kSchedules[3]), "Sun *-*-* 23:59:00");
    EXPECT_EQ(ScheduleOfTimer("[Timer]\nOnCalendar=daily\n"),
              (Schedule{Frequency::Daily, 0, 0, 1}));
    // Forms written by hand are not taken for one of ours.
    EXPECT_FALSE(ScheduleOfTimer("[Timer]\nOnCalendar=Mon..Fri 08:00\n"));
    EXPECT_FALSE(ScheduleOfTimer("[Timer]\nOnCalendar=daily\nOnCalendar=hourly\n"));
    EXPECT_FALSE(ScheduleOfCrontabLine("*/5 * * * * x"));
}

TEST(ScheduleTexts, CrontabLineIsQuotedForTheShellAndCron) {
    const std::string line =
        CrontabLine("it's 100%", {Frequency::Weekly, 2, 30, 7}, {"/opt/rk/rkbak", "C=/h"});
    EXPECT_EQ(line, "30 2 * * 0 RAVELKEEP_UNATTENDED=1 RAVELKEEP_DRIVES='C=/h' '/opt/rk/rkbak' "
                    "'/ib/it'\\''s 100\\%' # ravelkeep-backup-it\\x27s\\x20100\\x25");
    const std::string retry = CrontabRetryLine("it's 100%", {"/opt/rk/rkbak", "C=/h"});
    EXPECT_EQ(retry,
              "*/15 * * * * RAVELKEEP_UNATTENDED=1 RAVELKEEP_RETRY=1 RAVELKEEP_DRIVES='C=/h' "
              "'/opt/rk/rkbak' '/ib/it'\\''s 100\\%' # ravelkeep-retry-it\\x27s\\x20100\\x25");
    EXPECT_EQ(CrontabLine("$x", {Frequency::Daily, 2, 0, 1}, {"/p/rkbak", ""}),
              "0 2 * * * RAVELKEEP_UNATTENDED=1 '/p/rkbak' '/ib/$x' # ravelkeep-backup-\\x24x");
    // The retry's line, even first, is not the job's schedule.
    const std::string table = "MAILTO=me\n" + retry + "\n0 1 * * * other\n" + line + "\n";
    EXPECT_EQ(FindCrontabLine(table, "it's 100%"), line);
    EXPECT_FALSE(FindCrontabLine(retry + "\n", "it's 100%"));
    EXPECT_FALSE(ScheduleOfCrontabLine(retry));
    EXPECT_FALSE(FindCrontabLine(table, "it's 100"));
    EXPECT_EQ(CrontabWith(table, "it's 100%", {}), "MAILTO=me\n0 1 * * * other\n");
    EXPECT_EQ(CrontabWith(table, "it's 100", {}), table);
    EXPECT_EQ(CrontabWith("0 1 * * * other", "J", {"L", "R"}), "0 1 * * * other\nL\nR\n");
}

// The retry line and the service run the command through the shell cron
// starts: the words it hands the program are exactly the job's.
TEST(ScheduleTexts, CrontabCommandReachesTheProgramUnchanged) {
    if (!fs::exists("/bin/sh"))
        GTEST_SKIP() << "no /bin/sh";
    test::Sandbox box;
    const fs::path echo = box.root() / "args.sh";
    box.write(echo,
              "#!/bin/sh\nprintf '%s|' \"$RAVELKEEP_UNATTENDED\" \"$RAVELKEEP_RETRY\" \"$1\"\n");
    fs::permissions(echo, fs::perms::owner_all);
    const std::string job = "it's 100% $HOME `id`";
    std::string command = CrontabRetryLine(job, {echo.string(), ""});
    command = command.substr(std::string("*/15 * * * * ").size());
    command = command.substr(0, command.find(" # ravelkeep-retry-"));
    // cron itself turns "\%" back into "%".
    std::string unescaped;
    for (std::size_t i = 0; i < command.size(); ++i)
        if (!(command[i] == '\\' && i + 1 < command.size() && command[i + 1] == '%'))
            unescaped += command[i];
    const test::RunResult ran =
        test::Run({"/bin/sh", "-c", unescaped}, {"RAVELKEEP_UNATTENDED", "RAVELKEEP_RETRY"});
    EXPECT_EQ(ran.out, "1|1|/ib/" + job + "|") << unescaped << ran.err;
}

TEST(ScheduleTexts, NextRunAndOverdue) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::time_t monday = 1796637600; // Mon 2026-12-07 10:00:00 UTC
    std::tm local{};
    localtime_r(&monday, &local);
    ASSERT_EQ(local.tm_hour, 10);
    const std::time_t hour = 3600;
    EXPECT_EQ(NextRun(kSchedules[0], monday), monday + hour / 4);
    EXPECT_EQ(NextRun(kSchedules[1], monday), monday + hour);
    EXPECT_EQ(NextRun({Frequency::Daily, 10, 0, 1}, monday), monday + 24 * hour);
    EXPECT_EQ(NextRun({Frequency::Daily, 2, 5, 1}, monday), monday + 16 * hour + 300);
    const int weekday = local.tm_wday == 0 ? 7 : local.tm_wday;
    EXPECT_EQ(NextRun({Frequency::Weekly, 10, 0, weekday}, monday), monday + 7 * 24 * hour);
    EXPECT_FALSE(NextRun({}, monday));
    EXPECT_FALSE(IsOverdue({Frequency::Daily, 2, 0, 1}, monday - 26 * hour, monday));
    EXPECT_TRUE(IsOverdue({Frequency::Daily, 2, 0, 1}, monday - 31 * hour, monday));
    EXPECT_FALSE(IsOverdue({}, 0, monday));
    unsetenv("TZ");
    tzset();
}

// systemd's own reader, where the machine has it, accepts what is written.
TEST(ScheduleTexts, SystemdAcceptsTheUnitsWritten) {
    if (!fs::exists("/usr/bin/systemd-analyze"))
        GTEST_SKIP() << "systemd-analyze is not installed";
    test::Sandbox box;
    const std::string job = "-Fotos \xc3\xbc 100% $HOME";
    const fs::path folder = box.root() / "units";
    fs::create_directories(folder);
    const std::string base = UnitBaseName(job);
    box.write(folder / (base + ".service"),
              ServiceText(job, {(test::ProgramDir() / "rkbak").string(), "C=/tmp"}));
    box.write(folder / (base + ".timer"), TimerText(job, kSchedules[3]));
    const std::string retry = RetryUnitBaseName(job);
    box.write(folder / (retry + ".service"),
              RetryServiceText(job, {(test::ProgramDir() / "rkbak").string(), "C=/tmp"}));
    box.write(folder / (retry + ".timer"), RetryTimerText(job));
    const test::RunResult verified =
        test::Run({"/usr/bin/systemd-analyze", "verify", (folder / (base + ".service")).string(),
                   (folder / (base + ".timer")).string(), (folder / (retry + ".service")).string(),
                   (folder / (retry + ".timer")).string()});
    EXPECT_EQ(verified.exitCode, 0) << verified.out << verified.err;
    const test::RunResult retryCalendar =
        test::Run({"/usr/bin/systemd-analyze", "calendar", kRetryCalendar});
    EXPECT_EQ(retryCalendar.exitCode, 0) << retryCalendar.err;
    for (const Schedule& schedule : kSchedules) {
        const test::RunResult calendar =
            test::Run({"/usr/bin/systemd-analyze", "calendar", CalendarExpression(schedule)});
        EXPECT_EQ(calendar.exitCode, 0) << calendar.err;
        EXPECT_NE(calendar.out.find("Normalized form: " + CalendarExpression(schedule)),
                  std::string::npos)
            << calendar.out;
    }
}

} // namespace
} // namespace rk::schedule
