#include "core/program_values.h"
#include "core/settings.h"
#include "engine/backup_run.h"
#include "engine/backup_verification.h"
#include "engine/job.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace rk;

// A job "Weekly" in the job store C:\Backups, addressed through Job only.
class JobTest : public ::testing::Test {
  protected:
    rk::test::Sandbox box;
    fs::path store = box.c() / "Backups";
    fs::path folder = store / "Weekly";
    Job job{"C:\\Backups\\", "Weekly"};

    // The program-wide values as they were, given back after each test.
    const Installation before = CurrentInstallation();

    void SetUp() override { box.write(folder / "rkjob.ini", "[settings]\r\ncreated=today\r\n"); }
    void TearDown() override {
        AppFolder = before.programFolder;
        JobStoreFolder = before.jobStore;
        ZipUtilPath = before.zipUtility;
        UnzipUtilPath = before.unzipUtility;
    }
};

TEST_F(JobTest, ItsFolderIsTheStoreAndTheName) {
    EXPECT_EQ(job.name(), "Weekly");
    EXPECT_EQ(job.folder(), "C:\\Backups\\Weekly");
    EXPECT_EQ(job.folderPath(), "C:\\Backups\\Weekly\\");
    EXPECT_EQ(job.settingsFile(), "C:\\Backups\\Weekly\\rkjob.ini");
    EXPECT_EQ(job.exclusionFile(), "C:\\Backups\\Weekly\\excl.ini");
    const Installation installation{"C:\\App\\", "D:\\Store\\", "", ""};
    EXPECT_EQ(Job(installation, "Daily").folder(), "D:\\Store\\Daily");
}

TEST_F(JobTest, ExistsOnlyWithASettingsFileAndAUsableName) {
    EXPECT_TRUE(job.exists());
    EXPECT_FALSE(Job("C:\\Backups\\", "Missing").exists());
    EXPECT_FALSE(Job("C:\\Backups\\", " ").exists());
    box.write(store / "Other" / "excl.ini", "");
    EXPECT_FALSE(Job("C:\\Backups\\", "Other").exists()) << "no rkjob.ini";
    EXPECT_FALSE(Job("C:\\Backups\\", "..\\Backups\\Weekly").exists());
    EXPECT_FALSE(Job("C:\\Backups\\", "Week*").exists());
}

TEST_F(JobTest, SourceFoldersAndRootBackupComeFromItsSettingsFile) {
    WriteSourceFolders(job.folder(), {"C:\\Data", "D:\\More"});
    EXPECT_EQ(job.declaredFolderCount(), 2.0);
    EXPECT_EQ(job.sourceFolder(2), "D:\\More");
    EXPECT_EQ(job.rootBackup(), "");
    job.recordRootBackup("rk_2026_01_02_03_04_05.zip");
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Weekly", "rkjob.ini"}),
              "rk_2026_01_02_03_04_05.zip");
    EXPECT_EQ(job.rootBackup(), "rk_2026_01_02_03_04_05.zip");
}

TEST_F(JobTest, ArchivesAreEveryArchiveSortedWithoutRegardToCase) {
    box.write(folder / "rk_2026_02_01_00_00_00.zip", "b");
    box.write(folder / "RK_2026_01_01_00_00_00.zip", "a");
    box.write(folder / "rk_2026_03_01_00_00_00.zip.part", "not one");
    box.write(folder / "notes.zip", "not one");
    EXPECT_EQ(job.archives(), (std::vector<std::string>{"RK_2026_01_01_00_00_00.zip",
                                                        "rk_2026_02_01_00_00_00.zip"}));
}

TEST_F(JobTest, TheLastRunIsRecordedAndReadBackWithTheJob) {
    EXPECT_FALSE(job.lastBackup());
    BackupOutcome outcome;
    outcome.details.archiveName = "rk_2026_01_02_03_04_05.zip";
    outcome.reason = "The disk is full.";
    std::tm ended{};
    ended.tm_year = 126;
    ended.tm_mon = 0;
    ended.tm_mday = 2;
    ended.tm_hour = 3;
    job.recordLastBackup(BackupMode::Incremental, outcome, ended);
    const auto last = job.lastBackup();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->time, "2026-01-02 03:00:00");
    EXPECT_EQ(last->mode, "incremental");
    EXPECT_EQ(last->outcome, "failed");
    EXPECT_EQ(last->reason, "The disk is full.");

    const Job gone("C:\\Backups\\", "Gone");
    gone.recordLastBackup(BackupMode::Root, outcome, ended);
    EXPECT_FALSE(fs::exists(store / "Gone")) << "a job without a folder records nothing";
}

TEST_F(JobTest, CurrentInstallationIsTheProgramWideValues) {
    AppFolder = "C:\\App\\";
    JobStoreFolder = "C:\\Backups\\";
    ZipUtilPath = "C:\\Tools\\rkzip";
    UnzipUtilPath = "C:\\Tools\\rkunzip";
    const Installation installation = CurrentInstallation();
    EXPECT_EQ(installation.programFolder, "C:\\App\\");
    EXPECT_EQ(installation.jobStore, "C:\\Backups\\");
    EXPECT_EQ(installation.zipUtility, "C:\\Tools\\rkzip");
    EXPECT_EQ(installation.unzipUtility, "C:\\Tools\\rkunzip");
}

// The runs read their installation and job, not the program-wide values:
// with those pointing nowhere, a backup and its verification still go
// through the utilities the installation names.
TEST_F(JobTest, RunsUseTheInstallationTheyAreGiven) {
    fs::create_directories(box.c() / "App");
    box.write(box.c() / "Data" / "a.txt", "alpha");
    WriteSourceFolders(job.folder(), {"C:\\Data"});
    AppFolder = "C:\\Nowhere\\";
    JobStoreFolder = "C:\\Nowhere\\";
    ZipUtilPath = "C:\\Nowhere\\rkzip";
    UnzipUtilPath = "C:\\Nowhere\\rkunzip";
    const Installation installation{
        "C:\\App\\", "C:\\Backups\\",
        platform::ToWindowsPath((rk::test::ProgramDir() / "rkzip").string()),
        platform::ToWindowsPath((rk::test::ProgramDir() / "rkunzip").string())};

    const BackupOutcome made = RunBackup(installation, job, BackupMode::Root);
    ASSERT_EQ(made.status, RunStatus::Done) << made.reason;
    EXPECT_EQ(rk::test::ArchiveNames(folder / made.details.archiveName),
              (std::vector<std::string>{"Data/a.txt"}));
    EXPECT_EQ(job.rootBackup(), made.details.archiveName);
    ASSERT_TRUE(job.lastBackup());
    EXPECT_EQ(job.lastBackup()->outcome, "made");

    NoProgress progress;
    const VerificationOutcome verified = VerifyBackups(installation, job, progress);
    EXPECT_EQ(verified.details.tested, 1u);
    EXPECT_TRUE(verified.details.failed.empty()) << verified.details.failed.front().reason;
}

} // namespace
