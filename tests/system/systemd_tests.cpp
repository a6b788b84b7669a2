// The real systemd user manager (/lib/systemd/systemd --user), started by the
// test inside its private namespace, where /run/systemd/system exists, in a
// cgroup2 sub-group made for it and removed afterwards. The timer is
// installed through schedule::InstallSchedule, as the Schedule dialog does.

#include "jobs/frm_schedule.h"
#include "private_namespace.h"
#include "schedule/installed_schedule.h"
#include "schedule/systemd_units.h"
#include "support/failure_reason.h"
#include "system_fixture.h"
#include "ui/qt_test_app.h"
#include "ui/shown_time.h"

#include <QLabel>

#include <csignal>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// This process's cgroup2 path, from /proc/self/cgroup ("0::/path").
std::string OwnCgroup() {
    std::ifstream lines("/proc/self/cgroup");
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("0::", 0) == 0)
            return line.substr(3);
    return "/";
}

class SystemdTimerTest : public SystemTest {
  protected:
    StartedProcess manager;
    fs::path cgroup;
    const std::string job = "Nightly Job";
    const std::string unit = schedule::UnitBaseName(job);
    schedule::Schedule planned;

    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(Have("/lib/systemd/systemd"));
        ASSERT_TRUE(Have("/usr/bin/systemctl"));
        // systemd's user manager looks for /run/systemd/system to know that
        // systemd is the init system; it needs a cgroup2 group to put its
        // services in.
        fs::create_directories("/run/systemd/system");
        if (const auto problem = MountCgroup2("/sys/fs/cgroup"))
            GTEST_SKIP() << "the systemd user manager cannot start here: " << *problem;
        cgroup = fs::path("/sys/fs/cgroup") / OwnCgroup().substr(1) /
                 ("rk-system-test-" + std::to_string(getpid()));
        std::error_code error;
        if (!fs::create_directory(cgroup, error)) {
            cgroup.clear();
            GTEST_SKIP() << "the systemd user manager cannot start here: no cgroup2 group can be "
                            "made ("
                         << error.message() << ")";
        }
        const fs::path log = box.root() / "systemd.log";
        ASSERT_EQ(manager.Start({"/lib/systemd/systemd", "--user"}, {{}, log, cgroup}),
                  std::nullopt);
        std::string state;
        const bool up = Eventually(20s, [&] {
            state = rk::test::Run({"/usr/bin/systemctl", "--user", "is-system-running"}).out;
            return state == "running\n" || state == "degraded\n" || !manager.Running();
        });
        if (!manager.Running())
            GTEST_SKIP() << "the systemd user manager cannot start here:\n" << box.read(log);
        ASSERT_TRUE(up) << "the user manager is " << state << box.read(log);

        InstallProgram();
        AddJob(job, "C:\\Data Folder");
        box.write(box.c() / "Data Folder" / "a.txt", "alpha");
        // Two hours ahead: the timer does not fire during the test.
        const std::time_t later = std::time(nullptr) + 2 * 3600;
        std::tm local{};
        localtime_r(&later, &local);
        planned = {schedule::Frequency::Daily, local.tm_hour, local.tm_min, 1};
    }

    void TearDown() override {
        manager.Stop();
        if (!cgroup.empty()) {
            // What the manager left running in its group ends with it; then
            // the groups go, innermost first.
            std::ofstream(cgroup / "cgroup.kill") << "1";
            std::vector<fs::path> groups;
            std::error_code error;
            for (auto it = fs::recursive_directory_iterator(cgroup, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error))
                if (it->is_directory(error))
                    groups.push_back(it->path());
            std::sort(groups.rbegin(), groups.rend());
            for (const fs::path& group : groups)
                Eventually(5s, [&] { return rmdir(group.c_str()) == 0; });
            Eventually(5s, [&] { return rmdir(cgroup.c_str()) == 0; });
        }
        SystemTest::TearDown();
    }

    schedule::BackupCommand Command() const {
        return {(program / "rkbak").string(), std::getenv("RAVELKEEP_DRIVES")};
    }

    RunResult Systemctl(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"/usr/bin/systemctl", "--user", "--no-pager"});
        return rk::test::Run(arguments);
    }
};

TEST_F(SystemdTimerTest, TheInstalledTimerIsListedAndItsServiceMakesTheBackup) {
    ASSERT_EQ(test::FailureReason(schedule::InstallSchedule(job, planned, Command(),
                                                            schedule::Place::SystemdTimer)),
              std::nullopt);
    const RunResult timers = Systemctl({"list-timers"});
    ASSERT_EQ(timers.exitCode, 0) << timers.err;
    EXPECT_NE(timers.out.find(unit + ".timer"), std::string::npos) << timers.out;
    EXPECT_EQ(Systemctl({"is-enabled", unit + ".timer"}).out, "enabled\n");

    const RunResult started = Systemctl({"start", unit + ".service"});
    ASSERT_EQ(started.exitCode, 0) << started.err << box.read(box.root() / "systemd.log");
    ASSERT_EQ(Archives(job).size(), 1u);
    EXPECT_EQ(ArchiveNames(Archives(job)[0]), std::vector<std::string>{"Data Folder/a.txt"});
    EXPECT_EQ(LastOutcome(job), "made");

    // Never removes the timer from the manager as well as its files.
    ASSERT_EQ(test::FailureReason(
                  schedule::InstallSchedule(job, {}, Command(), schedule::Place::SystemdTimer)),
              std::nullopt);
    EXPECT_EQ(Systemctl({"list-timers", "--all"}).out.find(unit), std::string::npos);
}

TEST_F(SystemdTimerTest, TheDialogShowsTheNextRunAndTheServiceRunsUnattendedWithARetry) {
    ASSERT_EQ(test::FailureReason(schedule::InstallSchedule(job, planned, Command(),
                                                            schedule::Place::SystemdTimer)),
              std::nullopt);
    const std::optional<std::time_t> next = schedule::NextRun(planned, std::time(nullptr));
    ASSERT_TRUE(next);
    EnsureQtApplication();
    const jobs::frmSchedule dialog(job, Command());
    EXPECT_NE(dialog.lblInstalled->text().toStdString().find(
                  "Next run: " + ui::ShownDateTime(*next) + "."),
              std::string::npos)
        << dialog.lblInstalled->text().toStdString() << "\n"
        << Systemctl({"show", "--property=NextElapseUSecRealtime", unit + ".timer"}).out;

    // The service marks its run unattended; beside the timer a retry runs
    // the same command every 15 minutes, marked as the retry.
    const std::string service = box.read(schedule::UnitFolder() + "/" + unit + ".service");
    EXPECT_NE(service.find("RAVELKEEP_UNATTENDED=1"), std::string::npos) << service;
    std::string retryService;
    for (const auto& entry : fs::directory_iterator(schedule::UnitFolder()))
        if (entry.path().extension() == ".service" &&
            box.read(entry.path()).find("RAVELKEEP_RETRY=1") != std::string::npos)
            retryService = entry.path().filename().string();
    ASSERT_FALSE(retryService.empty()) << "no retry service in " << schedule::UnitFolder();
    const RunResult timers = Systemctl({"list-timers"});
    // One line per timer, each naming the job in its escaped form.
    const std::string escapedJob = unit.substr(unit.find("backup-") + 7);
    std::size_t listed = 0;
    std::istringstream lines(timers.out);
    for (std::string line; std::getline(lines, line);)
        listed += line.find(escapedJob) != std::string::npos ? 1 : 0;
    EXPECT_GE(listed, 2u) << "the timer and its retry: " << timers.out;

    // With no skipped run to make up, the retry ends at once and makes
    // nothing.
    const RunResult retried = Systemctl({"start", retryService});
    EXPECT_EQ(retried.exitCode, 0) << retried.err;
    EXPECT_TRUE(Archives(job).empty());
    EXPECT_EQ(LastOutcome(job), "");
}

} // namespace
} // namespace rk::test
