// Scheduled runs as a schedule starts them: the real program with the real
// utilities beside it, unattended (RAVELKEEP_UNATTENDED=1), the job store on
// drive D:. The backup disk that is not there is drive D: mapped to a folder
// under this user's /media/<user>, where a desktop mounts removable disks and
// where nothing is mounted or present; the disk comes back when D: is mapped
// to the sandbox's own folder again. The machine's real mount table and fstab
// are read.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <pwd.h>
#include <random>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::test {
namespace {

namespace fs = std::filesystem;

std::string UserName() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr ? entry->pw_name : "nobody";
}

class UnattendedLifeTest : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "Program Files" / "rk";
    fs::path store = box.d() / "Store";
    fs::path job = store / "Weekly Job";
    fs::path state = box.root() / "state";
    fs::path notifications = box.root() / "notifications.log";
    // Where drive D: lies while its disk is not connected.
    fs::path absentDisk =
        fs::path("/media") / UserName() / ("rk-absent-" + std::to_string(std::random_device{}()));

    void SetUp() override {
        ASSERT_FALSE(fs::exists(absentDisk));
        InstallProgramCopy(box, program, "C:\\Program Files\\rk", "D:\\Store");
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                     "folder1=C:\\Data\r\n");
        fs::copy_file(program / "excl.txt", job / "excl.ini");
        box.write(box.c() / "Data" / "a.txt", "alpha");
    }

    std::string Drives(bool diskConnected) const {
        return "RAVELKEEP_DRIVES=C=" + box.c().string() +
               ";D=" + (diskConnected ? box.d() : absentDisk).string() + ";Z=/";
    }
    std::vector<std::string> Environment(bool diskConnected, bool retry) const {
        return {Drives(diskConnected),
                "RAVELKEEP_UNATTENDED=1",
                retry ? "RAVELKEEP_RETRY=1" : "RAVELKEEP_RETRY",
                "XDG_STATE_HOME=" + state.string(),
                "INVOCATION_ID",
                "WAYLAND_DISPLAY",
                "QT_QPA_PLATFORM",
                "DISPLAY=:65000",
                "DBUS_SESSION_BUS_ADDRESS"};
    }
    // The run inside a private session bus whose notification service is the
    // stand-in; what it was sent is in `notifications`.
    RunResult Start(const std::string& argument, bool diskConnected, bool retry = false) const {
        return rk::test::Run({"/usr/bin/dbus-run-session", "--",
                              (ProgramDir() / "rk_fake_notifier").string(), notifications.string(),
                              (program / "rkbak").string(), argument},
                             Environment(diskConnected, retry));
    }
    std::vector<fs::path> Archives() const {
        std::vector<fs::path> archives;
        if (fs::is_directory(job))
            for (const auto& entry : fs::directory_iterator(job))
                if (entry.path().extension() == ".zip")
                    archives.push_back(entry.path());
        return archives;
    }
    // The skip records kept in the state folder.
    std::vector<fs::path> SkipRecords() const {
        std::vector<fs::path> records;
        if (fs::is_directory(state / "ravelkeep"))
            for (const auto& entry : fs::directory_iterator(state / "ravelkeep"))
                records.push_back(entry.path());
        return records;
    }
    // The lines of the run that came from rkbak (a root dbus-daemon adds its
    // own remarks).
    static std::string OwnLines(const std::string& err) {
        std::string own;
        std::size_t start = 0;
        while (start < err.size()) {
            std::size_t end = err.find('\n', start);
            end = end == std::string::npos ? err.size() : end + 1;
            if (err.compare(start, 7, "rkbak: ") == 0)
                own += err.substr(start, end - start);
            start = end;
        }
        return own;
    }
};

TEST_F(UnattendedLifeTest, AnUnconfiguredInstallationAnswersAtOnceOnStderrAndTheDesktop) {
    box.write(program / "rkbak.ini", "[settings]\r\njobs=D:\\Store\r\n");
    const std::pair<const char*, const char*> runs[] = {
        {"/ib/Weekly Job", "The backup of \"Weekly Job\" did not run"},
        {"/verify/Weekly Job", "The verification of \"Weekly Job\" did not run"}};
    for (const auto& [argument, summary] : runs) {
        SCOPED_TRACE(argument);
        fs::remove(notifications);
        const auto started = std::chrono::steady_clock::now();
        const RunResult run = Start(argument, true);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(OwnLines(run.err),
                  "rkbak: Ravelkeep has not been properly configured. Cannot continue. (the "
                  "location of the zip utility is not set; start Ravelkeep from the desktop to "
                  "set its options)\n")
            << run.err;
        EXPECT_EQ(box.read(notifications),
                  std::string("app=Ravelkeep\nsummary=") + summary +
                      "\nbody=Ravelkeep has not been properly configured. Cannot continue. (the "
                      "location of the zip utility is not set; start Ravelkeep from the desktop "
                      "to set its options)\nurgency=2\n--\n");
    }
    EXPECT_TRUE(SkipRecords().empty());
}

TEST_F(UnattendedLifeTest, ADiskNotConnectedIsToldRecordedAndMadeUpForByTheRetry) {
    const std::string line = "rkbak: The backup disk for \"Weekly Job\" (" +
                             (absentDisk / "Store").string() +
                             ") is not connected; the backup runs when it is.\n";
    const RunResult skipped = Start("/ib/Weekly Job", false);
    EXPECT_EQ(skipped.exitCode, 1) << skipped.err;
    EXPECT_EQ(OwnLines(skipped.err), line) << skipped.err;
    const std::string sent = box.read(notifications);
    EXPECT_EQ(sent.rfind("app=Ravelkeep\nsummary=The backup disk for \"Weekly Job\" is not "
                         "connected\nbody=" +
                             line.substr(7),
                         0),
              0u)
        << sent;
    ASSERT_EQ(SkipRecords().size(), 1u);
    const std::string record = box.read(SkipRecords()[0]);
    EXPECT_NE(record.find("\njobfolder=D:\\Store\\Weekly Job\\\n"), std::string::npos) << record;
    EXPECT_NE(record.find("\nhostpath=" + (absentDisk / "Store").string() + "\n"),
              std::string::npos)
        << record;
    EXPECT_NE(record.find("\nreason=" + line.substr(7)), std::string::npos) << record;
    EXPECT_EQ(box.read(job / "rkjob.ini").find("lastbackup"), std::string::npos);

    // The retry while the disk is still away: the line again, no new
    // notification, the record kept as it was.
    fs::remove(notifications);
    const RunResult stillAway = Start("/ib/Weekly Job", false, true);
    EXPECT_EQ(stillAway.exitCode, 1) << stillAway.err;
    EXPECT_EQ(OwnLines(stillAway.err), line);
    EXPECT_FALSE(fs::exists(notifications));
    ASSERT_EQ(SkipRecords().size(), 1u);
    EXPECT_EQ(box.read(SkipRecords()[0]), record);

    // The disk is back: the retry makes the backup and clears the record.
    const RunResult madeUp = Start("/ib/Weekly Job", true, true);
    EXPECT_EQ(madeUp.exitCode, 0) << madeUp.err;
    EXPECT_EQ(OwnLines(madeUp.err), "");
    EXPECT_EQ(Archives().size(), 1u);
    EXPECT_TRUE(SkipRecords().empty());
    EXPECT_FALSE(fs::exists(notifications));

    // The next retry has nothing to make up.
    const RunResult nothing = Start("/ib/Weekly Job", true, true);
    EXPECT_EQ(nothing.exitCode, 0) << nothing.err;
    EXPECT_EQ(Archives().size(), 1u);
}

// A retry of a job whose last run was not skipped ends at once: no archive,
// no record, no line, no notification, and no configuration message even
// where one is due.
TEST_F(UnattendedLifeTest, ARetryWithNothingToMakeUpDoesNothing) {
    const std::string settings = box.read(job / "rkjob.ini");
    const RunResult retry = Start("/ib/Weekly Job", true, true);
    EXPECT_EQ(retry.exitCode, 0) << retry.err;
    EXPECT_EQ(OwnLines(retry.err), "");
    EXPECT_TRUE(Archives().empty());
    EXPECT_EQ(box.read(job / "rkjob.ini"), settings);
    EXPECT_FALSE(fs::exists(state));
    EXPECT_FALSE(fs::exists(notifications));

    box.write(program / "rkbak.ini", "[settings]\r\njobs=D:\\Store\r\n");
    const RunResult unconfigured = Start("/ib/Weekly Job", true, true);
    EXPECT_EQ(unconfigured.exitCode, 0) << unconfigured.err;
    EXPECT_EQ(OwnLines(unconfigured.err), "");
    EXPECT_FALSE(fs::exists(notifications));
}

// A job store mistyped on a disk that is there is a configuration problem,
// not a disk away.
TEST_F(UnattendedLifeTest, AMistypedJobStoreStillGetsTheConfigurationMessage) {
    box.write(program / "rkbak.ini", "[settings]\r\n"
                                     "ziputil=C:\\Program Files\\rk\\rkzip\r\n"
                                     "unziputil=C:\\Program Files\\rk\\rkunzip\r\n"
                                     "jobs=D:\\Stroe\r\n");
    const RunResult run = Start("/ib/Weekly Job", true);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_EQ(OwnLines(run.err), "rkbak: Ravelkeep has not been properly configured. Cannot "
                                 "continue. (the job store folder D:\\Stroe\\ does not exist; "
                                 "start Ravelkeep from the desktop to set its options)\n");
    EXPECT_TRUE(SkipRecords().empty());
}

// The job's folder alone may lie on the disk (a link to it): the job folder
// is then the missing folder named. A scheduled run once the disk is back
// clears the record.
TEST_F(UnattendedLifeTest, AJobFolderOnADiskNotConnectedIsNamed) {
    fs::path onDisk = box.root() / "disk" / "Weekly Job";
    fs::create_directories(onDisk.parent_path());
    fs::rename(job, onDisk);
    fs::create_symlink(absentDisk / "Weekly Job", job);
    const RunResult skipped = Start("/ib/Weekly Job", true);
    EXPECT_EQ(skipped.exitCode, 1) << skipped.err;
    EXPECT_EQ(OwnLines(skipped.err), "rkbak: The backup disk for \"Weekly Job\" (" + job.string() +
                                         ") is not connected; the backup runs when it is.\n");
    EXPECT_EQ(SkipRecords().size(), 1u);

    // A job that is simply not there is still a bad command line.
    const RunResult nobody = Start("/ib/Nobody", true);
    EXPECT_EQ(nobody.exitCode, 2) << nobody.err;
    EXPECT_NE(nobody.err.find("there is no backup job named \"Nobody\""), std::string::npos);

    fs::remove(job);
    fs::create_symlink(onDisk, job);
    const RunResult made = Start("/ib/Weekly Job", true);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(Archives().size(), 1u);
    EXPECT_TRUE(SkipRecords().empty());
}

// Started by hand at a terminal, the run is attended: with a display that
// cannot be opened, the one dialog that would have been shown is named and
// the advice is to start Ravelkeep with a display; nothing is notified.
TEST_F(UnattendedLifeTest, AtATerminalTheRunIsAttended) {
    box.write(program / "rkbak.ini", "[settings]\r\njobs=D:\\Store\r\n");
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int errPipe[2];
    ASSERT_EQ(pipe2(errPipe, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, ptsname(master), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("RAVELKEEP_UNATTENDED=", 0) != 0 && entry.rfind("INVOCATION_ID=", 0) != 0 &&
            entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("RAVELKEEP_DRIVES=", 0) != 0)
            environment.push_back(entry);
    }
    environment.push_back("DISPLAY=:65000");
    environment.push_back(Drives(true));
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string path = (program / "rkbak").string();
    std::string argument = "/ib/Weekly Job";
    char* argv[] = {path.data(), argument.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    std::string err;
    char buffer[4096];
    for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;)
        err.append(buffer, static_cast<std::size_t>(n));
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << err;
    EXPECT_EQ(err.rfind("rkbak: the display :65000 cannot be opened, so no dialog can be shown\n"
                        "rkbak: Ravelkeep has not been properly configured. Cannot continue. (the "
                        "location of the zip utility is not set; start Ravelkeep with a display "
                        "to set its options)\n",
                        0),
              0u)
        << err;
}

} // namespace
} // namespace rk::test
