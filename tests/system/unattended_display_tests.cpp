// A real X server (Xvfb on a display number it picks itself) and the
// program's unattended incremental backup started with DISPLAY set to it,
// its job store on a backup disk that is not connected: a folder mounted in
// the namespace at /media/<user>/RKDISK, then unmounted (an empty mount
// point stays), then mounted again.

#include "engine/skipped_run.h"
#include "private_namespace.h"
#include "system_fixture.h"

#include <pwd.h>
#include <unistd.h>

#include <sstream>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class UnattendedDisplayTest : public SystemTest {
  protected:
    StartedProcess xServer;
    std::string display;
    fs::path diskContent = box.root() / "disk";
    fs::path mountPoint;
    const std::string job = "Daily";

    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(Have("/usr/bin/Xvfb"));
        ASSERT_TRUE(Have("/usr/bin/xdotool"));
        const fs::path log = box.root() / "xvfb.log";
        // -displayfd: the server takes a free display and writes its number.
        ASSERT_EQ(
            xServer.Start({"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp"}, {{}, log, {}}),
            std::nullopt);
        Eventually(15s, [&] {
            std::istringstream lines(box.read(log));
            for (std::string line; std::getline(lines, line);)
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                    display = ":" + line;
            return !display.empty() || !xServer.Running();
        });
        if (display.empty())
            GTEST_SKIP() << "Xvfb cannot start here:\n" << box.read(log);

        const passwd* user = getpwuid(geteuid());
        ASSERT_NE(user, nullptr);
        mountPoint = fs::path("/media") / user->pw_name / "RKDISK";
        fs::create_directories(mountPoint);
        fs::create_directories(diskContent);
        store = mountPoint / "Store";
        storeText = "Z:" + store.string();
        std::replace(storeText.begin(), storeText.end(), '/', '\\');
        ConnectDisk();
        InstallProgram();
        AddJob(job, "C:\\Data Folder");
        box.write(box.c() / "Data Folder" / "a.txt", "alpha");
        StartSessionBus();
    }

    void TearDown() override {
        xServer.Stop();
        SystemTest::TearDown();
    }

    void ConnectDisk() { ASSERT_EQ(BindMount(diskContent, mountPoint), std::nullopt); }
    void DisconnectDisk() { ASSERT_EQ(Unmount(mountPoint), std::nullopt); }

    // The ids of the windows on the display that are mapped, by name or class.
    std::string VisibleWindows() const {
        std::string found;
        for (const char* by : {"--name", "--class"})
            found += rk::test::Run({"/usr/bin/xdotool", "search", "--onlyvisible", by, "."},
                                   {"DISPLAY=" + display})
                         .out;
        return found;
    }

    struct Watched {
        std::optional<int> exitCode; // nothing when it was still running after the limit
        std::string windows;         // what was mapped while it ran
        std::string err;
    };

    // Runs the program with the environment given, watching the display
    // every 100 ms; stops it after `limit`.
    Watched RunWatched(const std::vector<std::string>& arguments,
                       std::vector<std::string> environment, std::chrono::milliseconds limit) {
        const fs::path log = box.root() / "run.log";
        fs::remove(log);
        environment.insert(environment.end(),
                           {"DISPLAY=" + display, "DBUS_SESSION_BUS_ADDRESS=" + UserBus(),
                            "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"});
        StartedProcess run;
        Watched watched;
        if (const auto problem = run.Start(arguments, {environment, log, {}})) {
            ADD_FAILURE() << *problem;
            return watched;
        }
        Eventually(limit, [&] {
            // Each window once.
            std::istringstream ids(VisibleWindows());
            for (std::string id; std::getline(ids, id);)
                if (watched.windows.find(id + "\n") == std::string::npos)
                    watched.windows += id + "\n";
            return !run.Running();
        });
        watched.exitCode = run.WaitForExit(0ms);
        run.Stop();
        watched.err = box.read(log);
        return watched;
    }
};

// The watch itself: a start by hand with the display shows the main window,
// and the watch sees it.
TEST_F(UnattendedDisplayTest, TheWatchSeesTheWindowOfAStartByHand) {
    const Watched run = RunWatched({(program / "rkbak").string()}, {}, 5s);
    EXPECT_FALSE(run.exitCode) << "the window closed by itself: " << run.err;
    EXPECT_NE(run.windows, "") << run.err;
}

TEST_F(UnattendedDisplayTest, ADiskNotConnectedIsReportedAtOnceAndTheRetryBacksUpOnItsReturn) {
    DisconnectDisk();
    ASSERT_FALSE(fs::exists(store / job / "rkjob.ini"));
    const auto begun = std::chrono::steady_clock::now();
    const Watched skipped =
        RunWatched({(program / "rkbak").string(), "/ib/" + job}, {"RAVELKEEP_UNATTENDED=1"}, 10s);
    ASSERT_TRUE(skipped.exitCode) << "still running after 10 s; windows: " << skipped.windows
                                  << "\n"
                                  << skipped.err;
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 10s);
    EXPECT_EQ(skipped.windows, "") << "a window was mapped: " << skipped.err;
    EXPECT_EQ(*skipped.exitCode, 1) << skipped.err;
    const std::string told = "The backup disk for \"" + job + "\" (" + mountPoint.string();
    EXPECT_NE(skipped.err.find(told), std::string::npos) << skipped.err;
    EXPECT_NE(skipped.err.find(") is not connected; the backup runs when it is."),
              std::string::npos)
        << skipped.err;
    const std::string jobFolder = storeText + "\\" + job;
    const std::optional<SkippedRun> record = ReadSkippedRun(jobFolder);
    ASSERT_TRUE(record) << "no skip record in " << SkippedRunFolder();
    EXPECT_EQ(record->hostPath.rfind(mountPoint.string(), 0), 0u) << record->hostPath;
    Eventually(5s, [&] { return Notifications().find("not connected") != std::string::npos; });
    EXPECT_NE(Notifications().find("not connected"), std::string::npos) << Notifications();
    EXPECT_NE(Notifications().find(job), std::string::npos) << Notifications();

    // The disk comes back: the retry makes the backup and clears the record.
    ConnectDisk();
    const Watched retried = RunWatched({(program / "rkbak").string(), "/ib/" + job},
                                       {"RAVELKEEP_UNATTENDED=1", "RAVELKEEP_RETRY=1"}, 10s);
    ASSERT_TRUE(retried.exitCode) << retried.err;
    EXPECT_EQ(*retried.exitCode, 0) << retried.err;
    EXPECT_EQ(retried.windows, "");
    EXPECT_EQ(Archives(job).size(), 1u);
    EXPECT_EQ(LastOutcome(job), "made");
    EXPECT_FALSE(ReadSkippedRun(jobFolder));

    // A retry with nothing to make up ends at once and makes nothing.
    const Watched idle = RunWatched({(program / "rkbak").string(), "/ib/" + job},
                                    {"RAVELKEEP_UNATTENDED=1", "RAVELKEEP_RETRY=1"}, 10s);
    ASSERT_TRUE(idle.exitCode) << idle.err;
    EXPECT_EQ(*idle.exitCode, 0) << idle.err;
    EXPECT_EQ(Archives(job).size(), 1u);
}

// A job store mistyped on a disk that is mounted is a plain mistake: the
// configuration check answers on stderr, with no window and no skip record.
TEST_F(UnattendedDisplayTest, AMistypedStoreOnAConnectedDiskIsAConfigurationErrorWithoutAWindow) {
    storeText += "\\Mistyped";
    InstallProgram();
    const Watched run =
        RunWatched({(program / "rkbak").string(), "/ib/" + job}, {"RAVELKEEP_UNATTENDED=1"}, 10s);
    ASSERT_TRUE(run.exitCode) << "still running after 10 s; windows: " << run.windows << "\n"
                              << run.err;
    EXPECT_EQ(run.windows, "") << run.err;
    EXPECT_EQ(*run.exitCode, 2) << run.err;
    EXPECT_EQ(run.err.find("not connected"), std::string::npos) << run.err;
    EXPECT_FALSE(ReadSkippedRun(storeText + "\\" + job));
}

} // namespace
} // namespace rk::test
