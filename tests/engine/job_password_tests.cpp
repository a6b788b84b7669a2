// Where a run finds a job's passwords (the password command, the keyring,
// a password typed in this run) and what it does without one: an encrypting
// backup makes no archive rather than a plain one, and no password is ever
// written to the job's files.

#include "core/program_values.h"
#include "core/settings.h"
#include "engine/archive_encryption.h"
#include "engine/backup_run.h"
#include "engine/job.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace rk {
namespace {

namespace fs = std::filesystem;

class JobPasswords : public ::testing::Test {
  protected:
    test::Sandbox box;
    fs::path store = box.c() / "Store";
    fs::path jobFolder = store / "Secret";
    fs::path marker = box.root() / "command-ran";
    const std::string jobText = "C:\\Store\\Secret";

    void SetUp() override {
        fs::create_directories(box.c() / "App");
        AppFolder = "C:\\App\\";
        JobStoreFolder = "C:\\Store\\";
        box.write(jobFolder / "rkjob.ini", "[settings]\r\ncreated=today\r\n[folders]\r\n"
                                           "foldercount=1\r\nfolder1=C:\\Data\r\n");
        box.write(jobFolder / "excl.ini", "");
        box.write(box.c() / "Data" / "a.txt", "alpha");
    }
    void TearDown() override {
        unsetenv("RAVELKEEP_PASSWORD_COMMAND");
        SetPasswordAsker({});
    }

    // A password command (run without a shell: a script with its own
    // interpreter line) that prints `output`, notes that it ran, and exits
    // with `exitCode`.
    void UseCommand(const std::string& output, int exitCode = 0) {
        const fs::path script = box.root() / "bin" / "print passwords";
        box.write(script, "#!/bin/sh\ntouch '" + marker.string() + "'\nprintf '" + output +
                              "'\necho 'said on stderr' >&2\nexit " + std::to_string(exitCode) +
                              "\n");
        fs::permissions(script, fs::perms::owner_all);
        setenv("RAVELKEEP_PASSWORD_COMMAND", ("\"" + script.string() + "\" --job Secret").c_str(),
               1);
    }
};

TEST_F(JobPasswords, TheSettingIsKeyEncryptOfSectionEncryption) {
    const Job job(JobStoreFolder, "Secret");
    EXPECT_EQ(ReadJobEncryption(job), JobEncryption{});
    ASSERT_TRUE(WriteJobEncryption(job, {true, false}).ok());
    EXPECT_EQ(ReadSetting("encrypt", "", {"encryption", jobText, "rkjob.ini"}), "-1");
    EXPECT_EQ(ReadJobEncryption(job), (JobEncryption{true, false}));
    ASSERT_TRUE(WriteJobEncryption(job, {false, true}).ok());
    EXPECT_EQ(ReadSetting("encrypt", "", {"encryption", jobText, "rkjob.ini"}), "0");
    EXPECT_EQ(ReadJobEncryption(job), (JobEncryption{false, true}));
}

TEST_F(JobPasswords, TheKeyringItemIsKeyedByTheJobStoreAndTheJobName) {
    const platform::SecretOwner owner = SecretOwnerOf("C:\\My Store\\Weekly\\");
    EXPECT_EQ(owner.storeFolder, "C:\\My Store\\");
    EXPECT_EQ(owner.jobName, "Weekly");
    EXPECT_EQ(SecretOwnerOf(jobText).jobName, "Secret");
}

TEST_F(JobPasswords, TheCommandsLinesAreThePasswordsNewestFirst) {
    UseCommand("first pass\\nsecond pass\\n");
    Result<ToolPasswords> handed = PasswordsForRun(jobText, true, true);
    ASSERT_TRUE(handed) << handed.reason();
    EXPECT_EQ(handed->passwords.all(), (std::vector<std::string>{"first pass", "second pass"}));
    EXPECT_TRUE(handed->encrypt);
}

TEST_F(JobPasswords, ARunThatNeedsNoPasswordAsksNoOne) {
    UseCommand("never\\n");
    Result<ToolPasswords> handed = PasswordsForRun(jobText, false, false);
    ASSERT_TRUE(handed);
    EXPECT_TRUE(handed->passwords.empty());
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(JobPasswords, AFailingCommandIsTheReasonAndItsLineIsTold) {
    UseCommand("", 5);
    const Result<ToolPasswords> handed = PasswordsForRun(jobText, true, false);
    ASSERT_FALSE(handed);
    EXPECT_NE(handed.reason().find("failed with exit code 5: said on stderr"), std::string::npos)
        << handed.reason();
}

TEST_F(JobPasswords, WithoutAKeyringTheAskerIsAskedAndItsAnswerComesFirst) {
    // The sandbox has no session bus: the keyring cannot be reached.
    std::string why;
    SetPasswordAsker([&](const std::string& jobName, const std::string& reason) {
        why = jobName + ": " + reason;
        return std::optional<std::string>("typed here");
    });
    Result<ToolPasswords> handed = PasswordsForRun(jobText, false, true);
    ASSERT_TRUE(handed) << handed.reason();
    EXPECT_EQ(handed->passwords.all(), std::vector<std::string>{"typed here"});
    EXPECT_NE(why.find("Secret: The backups of \"Secret\" are encrypted"), std::string::npos)
        << why;
    EXPECT_NE(why.find("keyring"), std::string::npos) << why;
    // The typed password holds for the rest of this run, before the
    // command's.
    SetPasswordAsker({});
    UseCommand("from command\\n");
    handed = PasswordsForRun(jobText, false, true);
    ASSERT_TRUE(handed) << handed.reason();
    EXPECT_EQ(handed->passwords.all(), (std::vector<std::string>{"typed here", "from command"}));
}

TEST_F(JobPasswords, WithoutAnyPasswordTheRunIsRefusedWithTheKeyringsReason) {
    const Result<ToolPasswords> handed = PasswordsForRun("C:\\Store\\Other", true, false);
    ASSERT_FALSE(handed);
    EXPECT_NE(handed.reason().find("keyring"), std::string::npos) << handed.reason();
}

TEST_F(JobPasswords, AnEncryptingBackupHandsTheZipUtilityTheNewestPasswordOnly) {
    ZipUtilPath = platform::ToWindowsPath((test::ProgramDir() / "rk_password_probe").string());
    const fs::path record = box.root() / "zip-run.txt";
    setenv("RK_PROBE_RECORD", record.c_str(), 1);
    ASSERT_TRUE(WriteJobEncryption(Job(JobStoreFolder, "Secret"), {true, false}).ok());
    UseCommand("Newest-Pw-1\\nOlder-Pw-2\\n");
    RunBackup(BackupMode::Root, "Secret");
    unsetenv("RK_PROBE_RECORD");
    const std::string recorded = box.read(record);
    EXPECT_NE(recorded.find("fd4:Newest-Pw-1\n"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.find("Older-Pw-2"), std::string::npos) << recorded;
    EXPECT_EQ(recorded.substr(0, recorded.find("fd4:")).find("Pw-"), std::string::npos) << recorded;
    EXPECT_EQ(box.read(jobFolder / "rkjob.ini").find("Pw-"), std::string::npos);
}

TEST_F(JobPasswords, AnEncryptingBackupWithoutItsPasswordMakesNoArchive) {
    ZipUtilPath = platform::ToWindowsPath((test::ProgramDir() / "rk_password_probe").string());
    const fs::path record = box.root() / "zip-run.txt";
    setenv("RK_PROBE_RECORD", record.c_str(), 1);
    ASSERT_TRUE(WriteJobEncryption(Job(JobStoreFolder, "Secret"), {true, false}).ok());
    const BackupOutcome outcome = RunBackup(BackupMode::Root, "Secret");
    unsetenv("RK_PROBE_RECORD");
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_NE(outcome.reason.find("encrypted, and its password is not known"), std::string::npos)
        << outcome.reason;
    EXPECT_FALSE(fs::exists(record)) << "the zip utility was not started";
    const std::optional<LastBackup> last = ReadLastBackup(jobText);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outcome, "failed");
}

TEST_F(JobPasswords, AnArchiveIsEncryptedWhenItsEntriesAre) {
    const fs::path plain = box.root() / "plain.zip";
    const fs::path sealed = box.root() / "sealed.zip";
    const test::RunResult made =
        test::Run({(test::ProgramDir() / "rkzip").string(), "-a", "-p", "-r", "-^^",
                   platform::ToWindowsPath(plain.string()), "C:\\Data\\*.*"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_FALSE(ArchiveIsEncrypted(plain.string()));
    if (!fs::exists("/usr/bin/7zz"))
        GTEST_SKIP() << "7zz is not installed";
    const test::RunResult sealedRun =
        test::Run({"/usr/bin/7zz", "a", "-tzip", "-mem=AES256", "-pSecret", sealed.string(),
                   (box.c() / "Data" / "a.txt").string()});
    ASSERT_EQ(sealedRun.exitCode, 0) << sealedRun.err;
    EXPECT_TRUE(ArchiveIsEncrypted(sealed.string()));
    EXPECT_TRUE(AnyArchiveEncrypted(
        {platform::ToWindowsPath(plain.string()), platform::ToWindowsPath(sealed.string())}));
    EXPECT_FALSE(ArchiveIsEncrypted((box.root() / "missing.zip").string()));
}

} // namespace
} // namespace rk
