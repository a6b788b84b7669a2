// The windowless lives of a job that encrypts its backups, as a scheduler or
// a script runs them: the passwords from RAVELKEEP_PASSWORD_COMMAND, a
// skipped /ib when they cannot be had (recorded and told to the desktop),
// and /c over encrypted archives with and without a password.

#include "engine/archive_encryption.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "Life-Test-Pw 5521";

class EncryptedLifeTest : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "Program Files" / "rk";
    fs::path job = box.c() / "My Store" / "Weekly Job";
    fs::path command = box.root() / "bin" / "print-password";
    fs::path notifications = box.root() / "notifications.log";

    void SetUp() override {
        InstallProgramCopy(box, program, "C:\\Program Files\\rk", "C:\\My Store");
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount= 1\r\n"
                                     "folder1=C:\\Data Folder\r\n[encryption]\r\nencrypt=-1\r\n");
        fs::copy_file(program / "excl.txt", job / "excl.ini");
        box.write(box.c() / "Data Folder" / "a.txt", "alpha");
        PasswordCommandPrints(std::string(kPassword) + "\\n", 0);
    }

    void PasswordCommandPrints(const std::string& printed, int exitCode) const {
        box.write(command, "#!/bin/sh\nprintf '" + printed +
                               "'\necho 'vault is sealed' >&2\n"
                               "exit " +
                               std::to_string(exitCode) + "\n");
        fs::permissions(command, fs::perms::owner_all);
    }

    // The life started by a schedule; `more` changes the environment.
    RunResult Start(const std::string& argument, std::vector<std::string> more = {}) const {
        std::vector<std::string> environment{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                             "RAVELKEEP_UNATTENDED=1",
                                             "RAVELKEEP_PASSWORD_COMMAND=" + command.string()};
        environment.insert(environment.end(), more.begin(), more.end());
        return rk::test::Run({(program / "rkbak").string(), argument}, environment);
    }

    // The same inside a private session bus whose notification service is
    // the stand-in.
    RunResult StartOnSessionBus(const std::string& argument) const {
        return rk::test::Run(
            {"/usr/bin/dbus-run-session", "--", (ProgramDir() / "rk_fake_notifier").string(),
             notifications.string(), (program / "rkbak").string(), argument},
            {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS",
             "RAVELKEEP_UNATTENDED=1", "RAVELKEEP_PASSWORD_COMMAND=" + command.string()});
    }

    std::vector<fs::path> Archives() const {
        std::vector<fs::path> archives;
        for (const auto& entry : fs::directory_iterator(job))
            if (entry.path().extension() == ".zip")
                archives.push_back(entry.path());
        std::sort(archives.begin(), archives.end());
        return archives;
    }
};

TEST_F(EncryptedLifeTest, ScheduledBackupsAreEncryptedWithThePasswordOfTheCommand) {
    const RunResult root = Start("/ib/Weekly Job");
    ASSERT_EQ(root.exitCode, 0) << root.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    box.write(box.c() / "Data Folder" / "b.txt", "beta");
    const RunResult incremental = Start("/ib/Weekly Job");
    ASSERT_EQ(incremental.exitCode, 0) << incremental.err;
    ASSERT_EQ(Archives().size(), 2u);
    for (const fs::path& archive : Archives())
        EXPECT_TRUE(ArchiveIsEncrypted(archive.string())) << archive;
    EXPECT_EQ(box.read(job / "rkjob.ini").find(kPassword), std::string::npos);
    const RunResult verified = Start("/verify/Weekly Job");
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
}

TEST_F(EncryptedLifeTest, APasswordThatCannotBeHadSkipsTheRunAndTellsTheDesktop) {
    PasswordCommandPrints("", 1);
    const RunResult run = StartOnSessionBus("/ib/Weekly Job");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("rkbak: The password of the encrypted backups of \"Weekly Job\" is not "
                           "at hand (the password command '" +
                           command.string() +
                           "' failed with exit code 1: vault is sealed); the backup runs when it "
                           "is."),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(Archives().empty());
    const std::string sent = box.read(notifications);
    EXPECT_NE(sent.find("summary=The backup of \"Weekly Job\" was skipped: its password is not at "
                        "hand\n"),
              std::string::npos)
        << sent;
    // The skip is recorded, and the retry makes the backup once the password
    // is at hand again.
    bool recorded = false;
    for (const auto& entry : fs::recursive_directory_iterator(box.root() / "state"))
        recorded = recorded || entry.is_regular_file();
    EXPECT_TRUE(recorded);
    PasswordCommandPrints(std::string(kPassword) + "\\n", 0);
    const RunResult retry = Start("/ib/Weekly Job", {"RAVELKEEP_RETRY=1"});
    EXPECT_EQ(retry.exitCode, 0) << retry.err;
    EXPECT_EQ(Archives().size(), 1u);
}

TEST_F(EncryptedLifeTest, AJobThatAsksAtEachRunHasNoUnattendedRuns) {
    box.write(job / "rkjob.ini", box.read(job / "rkjob.ini") + "askeachrun=-1\r\n");
    // Neither the command nor a keyring (the sandbox has no session bus).
    const RunResult run = rk::test::Run({(program / "rkbak").string(), "/ib/Weekly Job"},
                                        {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                         "RAVELKEEP_UNATTENDED=1", "RAVELKEEP_PASSWORD_COMMAND"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("is not at hand ("), std::string::npos) << run.err;
    EXPECT_TRUE(Archives().empty());
}

TEST_F(EncryptedLifeTest, ConsolidatingEncryptedArchivesWithoutAPasswordSaysSo) {
    ASSERT_EQ(Start("/ib/Weekly Job").exitCode, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    box.write(box.c() / "Data Folder" / "b.txt", "beta");
    ASSERT_EQ(Start("/ib/Weekly Job").exitCode, 0);
    const std::string folder = "C:\\My Store\\Weekly Job";
    const RunResult refused =
        rk::test::Run({(program / "rkbak").string(), "/c/2000-01-01/2100-01-01/" + folder},
                      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "RAVELKEEP_UNATTENDED=1",
                       "RAVELKEEP_PASSWORD_COMMAND"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("are encrypted, and"), std::string::npos) << refused.err;
    EXPECT_EQ(Archives().size(), 2u);

    const RunResult consolidated = Start("/c/2000-01-01/2100-01-01/" + folder);
    EXPECT_EQ(consolidated.exitCode, 0) << consolidated.err;
    ASSERT_EQ(Archives().size(), 1u);
    EXPECT_TRUE(ArchiveIsEncrypted(Archives()[0].string()));
}

} // namespace
} // namespace rk::test
