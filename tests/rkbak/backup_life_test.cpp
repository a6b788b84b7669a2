// The windowless incremental backup as a scheduler runs it: a copy of the
// program with the real utilities beside it, no display, a configured job
// store whose path holds spaces.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class BackupLifeTest : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "Program Files" / "rk";
    fs::path job = box.c() / "My Store" / "Weekly Job";

    void SetUp() override {
        InstallProgramCopy(box, program, "C:\\Program Files\\rk", "C:\\My Store");
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount= 1\r\n"
                                     "folder1=C:\\Data Folder\r\n");
        fs::copy_file(program / "excl.txt", job / "excl.ini");
        box.write(box.c() / "Data Folder" / "a.txt", "alpha");
        box.write(box.c() / "Data Folder" / "b.txt", "beta");
    }

    RunResult Start(const std::string& argument) const {
        return rk::test::Run({(program / "rkbak").string(), argument},
                             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    }

    // The run inside a private session bus whose notification service is the
    // stand-in; what it was sent is in `notifications`.
    RunResult StartOnSessionBus(const std::string& argument) const {
        return rk::test::Run(
            {"/usr/bin/dbus-run-session", "--", (ProgramDir() / "rk_fake_notifier").string(),
             notifications.string(), (program / "rkbak").string(), argument},
            {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"});
    }
    fs::path notifications = box.root() / "notifications.log";

    std::vector<fs::path> Archives() const {
        std::vector<fs::path> archives;
        for (const auto& entry : fs::directory_iterator(job))
            if (entry.path().extension() == ".zip")
                archives.push_back(entry.path());
        std::sort(archives.begin(), archives.end());
        return archives;
    }

    std::string Stored(const fs::path& archive) const {
        return rk::test::Run({"/usr/bin/unzip", "-Z1", archive.string()}).out;
    }
};

TEST_F(BackupLifeTest, BacksUpTheNamedJobAndThenOnlyWhatChanged) {
    RunResult first = Start("/IB/Weekly Job");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(Archives().size(), 1u);
    // Each archive ends with its deletion record.
    EXPECT_EQ(Stored(Archives()[0]), "Data Folder/\nData Folder/a.txt\nData Folder/b.txt\n"
                                     "./ravelkeep-deleted.txt\n");

    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    box.write(box.c() / "Data Folder" / "b.txt", "beta, changed");
    RunResult second = Start("/ib/Weekly Job");
    ASSERT_EQ(second.exitCode, 0) << second.err;
    ASSERT_EQ(Archives().size(), 2u);
    // The changed file, with the folder it lies in (its mode and time).
    EXPECT_EQ(Stored(Archives()[1]), "Data Folder/\nData Folder/b.txt\n./ravelkeep-deleted.txt\n");
    // No list file is left beside the program.
    for (const auto& entry : fs::directory_iterator(program))
        EXPECT_NE(entry.path().extension(), ".TMP") << entry.path();
}

// A killed run leaves its list file beside the program; the next run removes
// it, unless a run that may own it is still going (it holds the lock).
TEST_F(BackupLifeTest, ListFilesOfKilledRunsAreRemovedByTheNextRun) {
    box.write(program / "rk1A2B.TMP", "C:\\Data Folder\\*.*\r\n");
    box.write(program / "rkbak.TMP", "not a list file");
    // What a killed run was writing through a temporary name goes too; a
    // name that only looks alike, and a folder, stay.
    box.write(program / "rkDFF8.TMP.rk-VoUkoe", "C:\\Data Folder\\*.*\r\n");
    box.write(program / "filelisto.tmp.rk-a1B2c3", "a.txt\r\n");
    box.write(program / "rkDFF8.TMP.rk-VoUk", "a user's file");
    box.write(program / "notes.txt.rk-VoUkoe", "a user's file");
    fs::create_directories(program / "rk1A2C.TMP");
    {
        const int fd = open((program / ".rk-lock").c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_SH), 0);
        const RunResult whileHeld = Start("/ib/Weekly Job");
        EXPECT_EQ(whileHeld.exitCode, 0) << whileHeld.err;
        EXPECT_TRUE(fs::exists(program / "rk1A2B.TMP"));
        EXPECT_TRUE(fs::exists(program / "rkDFF8.TMP.rk-VoUkoe"));
        close(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const RunResult alone = Start("/ib/Weekly Job");
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_FALSE(fs::exists(program / "rk1A2B.TMP"));
    EXPECT_FALSE(fs::exists(program / "rkDFF8.TMP.rk-VoUkoe"));
    EXPECT_FALSE(fs::exists(program / "filelisto.tmp.rk-a1B2c3"));
    EXPECT_TRUE(fs::exists(program / "rkbak.TMP"));
    EXPECT_TRUE(fs::exists(program / "rkDFF8.TMP.rk-VoUk"));
    EXPECT_TRUE(fs::exists(program / "notes.txt.rk-VoUkoe"));
    EXPECT_TRUE(fs::is_directory(program / "rk1A2C.TMP"));
}

// A scheduler may start the run with a display that is gone, or none: the
// backup runs all the same, and a run that went well prints nothing at all.
TEST_F(BackupLifeTest, AMissingOrGoneDisplayNeverStopsTheRunNorAddsLines) {
    const std::vector<std::vector<std::string>> environments = {
        {"DISPLAY=:65000", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"},
        {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"}};
    for (const auto& environment : environments) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        box.write(box.c() / "Data Folder" / "b.txt", "changed again " + environment[0]);
        const RunResult run =
            rk::test::Run({(program / "rkbak").string(), "/ib/Weekly Job"}, environment);
        EXPECT_EQ(run.exitCode, 0) << environment[0] << ": " << run.err;
        EXPECT_EQ(run.err, "") << environment[0];
    }
    EXPECT_EQ(Archives().size(), 2u);

    // Unconfigured, started with no terminal: nobody is asked, the display
    // is not tried, the reason is told.
    box.write(program / "rkbak.ini", "[settings]\r\njobs=C:\\My Store\r\n");
    const RunResult unconfigured =
        rk::test::Run({(program / "rkbak").string(), "/ib/Weekly Job"},
                      {"DISPLAY=:65000", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(unconfigured.exitCode, 2) << unconfigured.err;
    EXPECT_EQ(unconfigured.err.rfind("rkbak: Ravelkeep has not been properly configured.", 0), 0u)
        << unconfigured.err;

    // A program folder that the drive map cannot express is the reason given.
    const RunResult unmapped = rk::test::Run({(program / "rkbak").string(), "/ib/Weekly Job"},
                                             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                              "RAVELKEEP_DRIVES=D=" + box.d().string()});
    EXPECT_EQ(unmapped.exitCode, 2) << unmapped.err;
    EXPECT_NE(unmapped.err.find("is on no drive of the drive map"), std::string::npos)
        << unmapped.err;
}

TEST_F(BackupLifeTest, VerifyReadsEveryArchiveBackWithoutAWindow) {
    ASSERT_EQ(Start("/ib/Weekly Job").exitCode, 0);
    const RunResult sound = Start("/verify/Weekly Job");
    EXPECT_EQ(sound.exitCode, 0) << sound.err;
    EXPECT_EQ(sound.err, "");
    EXPECT_EQ(Start("/verify/Nobody").exitCode, 2);

    box.write(job / "rk_2001_01_01_00_00_00.zip", "not an archive at all");
    const RunResult damaged = Start("/verify/Weekly Job");
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("rkbak: job \"Weekly Job\": the backup rk_2001_01_01_00_00_00.zip "
                               "does not read back correctly: "),
              std::string::npos)
        << damaged.err;
}

// Some files could not be read (one source folder is gone): the archive is
// made and kept, the job records a partial run naming what was left out, a
// line on standard error says so, and the exit code is 1, not 0.
TEST_F(BackupLifeTest, APartialRunIsRecordedReportedAndExitsOne) {
    box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=2\r\n"
                                 "folder1=C:\\Data Folder\r\nfolder2=C:\\Unplugged\r\n");
    const RunResult partial = Start("/ib/Weekly Job");
    EXPECT_EQ(partial.exitCode, 1) << partial.err;
    EXPECT_NE(partial.err.find("\nrkbak: job \"Weekly Job\": The backup rk_"), std::string::npos)
        << partial.err;
    EXPECT_NE(partial.err.find(" was made, but some files could not be read and were left out "
                               "(the zip utility named each).\n"),
              std::string::npos)
        << partial.err;
    EXPECT_NE(partial.err.find("C:\\Unplugged"), std::string::npos) << partial.err;

    ASSERT_EQ(Archives().size(), 1u);
    // Each archive ends with its deletion record.
    EXPECT_EQ(Stored(Archives()[0]), "Data Folder/\nData Folder/a.txt\nData Folder/b.txt\n"
                                     "./ravelkeep-deleted.txt\n");
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("\r\nmode=incremental\r\noutcome=partial\r\n"), std::string::npos)
        << settings;
    EXPECT_NE(settings.find("\r\nleftcount=1\r\nleft1=C:\\Unplugged\r\n"), std::string::npos)
        << settings;
    EXPECT_NE(settings.find("\r\nreason=The backup " + Archives()[0].filename().string() +
                            " was made, but some files could not be read and were left out"),
              std::string::npos)
        << settings;
}

TEST_F(BackupLifeTest, BadNamesAndJobsWithoutFoldersAreReported) {
    const std::string settingsBefore = box.read(job / "rkjob.ini");
    for (const char* argument : {"/ib", "/ib/", "/ib/Nobody", "/ib/..\\My Store\\Weekly Job"}) {
        const RunResult result = Start(argument);
        EXPECT_EQ(result.exitCode, 2) << argument;
        EXPECT_NE(result.err.find("rkbak: "), std::string::npos) << argument;
    }
    EXPECT_TRUE(Archives().empty());

    box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n");
    const RunResult empty = Start("/ib/Weekly Job");
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("no source folders"), std::string::npos) << empty.err;
    EXPECT_TRUE(Archives().empty());

    // A zip utility that fails: exit 1 with its reason, no rootbk, no archive.
    box.write(job / "rkjob.ini", settingsBefore);
    box.write(program / "rkbak.ini", "[settings]\r\nziputil=Z:\\bin\\false\r\n"
                                     "unziputil=C:\\Program Files\\rk\\rkunzip\r\n"
                                     "jobs=C:\\My Store\r\n");
    const RunResult failed = Start("/ib/Weekly Job");
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("could not be made"), std::string::npos) << failed.err;
    EXPECT_TRUE(Archives().empty());
    // No rootbk; the failure is recorded as the job's last backup.
    const std::string settingsAfter = box.read(job / "rkjob.ini");
    EXPECT_EQ(settingsAfter.rfind(settingsBefore + "[lastbackup]\r\ntime=", 0), 0u)
        << settingsAfter;
    EXPECT_NE(settingsAfter.find("\r\nmode=incremental\r\noutcome=failed\r\n"), std::string::npos)
        << settingsAfter;
    EXPECT_NE(settingsAfter.find("\r\nreason=The backup rk_"), std::string::npos) << settingsAfter;
    EXPECT_EQ(settingsAfter.find("rootbk"), std::string::npos) << settingsAfter;
}

// A failed windowless run tells the desktop through the session bus; its
// line on standard error and its exit code stay as they are. A run that
// succeeds sends nothing.
TEST_F(BackupLifeTest, FailedRunsSendADesktopNotification) {
    const RunResult made = StartOnSessionBus("/ib/Weekly Job");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    // The session bus's own remarks aside (a root dbus-daemon cannot raise
    // its fd limit), the run writes nothing.
    EXPECT_EQ(made.err.find("rkbak"), std::string::npos) << made.err;
    EXPECT_FALSE(fs::exists(notifications));

    fs::remove_all(box.c() / "Data Folder");
    const RunResult failed = StartOnSessionBus("/ib/Weekly Job");
    EXPECT_EQ(failed.exitCode, 1);
    const std::string reason = "rkbak: job \"Weekly Job\": ";
    EXPECT_NE(failed.err.find(reason), std::string::npos) << failed.err;
    const std::string sent = box.read(notifications);
    EXPECT_EQ(sent.rfind("app=Ravelkeep\nsummary=The backup of \"Weekly Job\" failed\nbody=job "
                         "\"Weekly Job\": ",
                         0),
              0u)
        << sent;
    EXPECT_NE(sent.find("\nurgency=2\n--\n"), std::string::npos) << sent;

    fs::remove(notifications);
    box.write(job / "rk_2001_01_01_00_00_00.zip", "not an archive at all");
    EXPECT_EQ(StartOnSessionBus("/verify/Weekly Job").exitCode, 1);
    EXPECT_NE(box.read(notifications)
                  .find("summary=An archive of \"Weekly Job\" does not read back\nbody=job "
                        "\"Weekly Job\": the backup rk_2001_01_01_00_00_00.zip does not read "
                        "back correctly: "),
              std::string::npos)
        << box.read(notifications);
}

} // namespace
} // namespace rk::test
