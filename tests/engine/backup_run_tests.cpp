#include "core/program_values.h"
#include "core/settings.h"
#include "engine/backup_run.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace rk;

// A job "Weekly Job" in a job store whose path holds spaces, with the real
// utilities configured.
class BackupRunTest : public ::testing::Test {
  protected:
    rk::test::Sandbox box;
    fs::path store = box.c() / "My Backups";
    fs::path job = store / "Weekly Job";

    void SetUp() override {
        fs::create_directories(box.c() / "App");
        fs::create_directories(job);
        AppFolder = "C:\\App\\";
        JobStoreFolder = "C:\\My Backups\\";
        ZipUtilPath = platform::ToWindowsPath((rk::test::ProgramDir() / "rkzip").string());
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
        box.write(job / "excl.ini", "*.tmp\r\n");
        box.write(box.c() / "Data" / "a.txt", "alpha");
        box.write(box.c() / "Data" / "sub" / "b.txt", "beta");
        box.write(box.c() / "Data" / "scratch.tmp", "skip me");
        box.write(box.d() / "More Files" / "c.txt", "gamma");
        platform::SetClock([this] { return now; });
    }
    void TearDown() override { platform::SetClock({}); }

    void setFolders(const std::string& count, std::vector<std::string> folders) {
        SettingsPlace place{"folders", "C:\\My Backups\\Weekly Job", "rkjob.ini"};
        WriteSetting("foldercount", count, place);
        for (size_t i = 0; i < folders.size(); ++i)
            WriteSetting("folder" + std::to_string(i + 1), folders[i], place);
    }

    std::vector<std::string> stored(const std::string& archive) {
        return rk::test::ArchiveNames(job / archive);
    }

    std::string rootbk() {
        return ReadSetting("rootbk", "<none>",
                           {"settings", "C:\\My Backups\\Weekly Job", "rkjob.ini"});
    }

    size_t listFilesLeft() {
        size_t count = 0;
        for (const auto& e : fs::directory_iterator(box.c() / "App"))
            count += e.path().extension() == ".TMP";
        return count;
    }

    // Backup names carry the second; successive runs must not share one.
    std::time_t now = std::time(nullptr);
    void nextSecond() { ++now; }
};

TEST_F(BackupRunTest, RootThenIncrementalThroughTheRealZipUtility) {
    setFolders(" 2", {" C:\\Data ", "D:\\More Files\\"});
    const BackupOutcome root = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(root.status, BackupStatus::Made) << root.reason;
    EXPECT_EQ(rootbk(), root.archiveName);
    EXPECT_EQ(stored(root.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/sub/b.txt", "More Files/c.txt"}));
    EXPECT_EQ(listFilesLeft(), 0u);

    nextSecond();
    box.write(box.c() / "Data" / "a.txt", "alpha, changed");
    box.write(box.c() / "Data" / "new.txt", "new");
    const BackupOutcome incremental = RunBackup(BackupMode::Incremental, "Weekly Job");
    ASSERT_EQ(incremental.status, BackupStatus::Made) << incremental.reason;
    EXPECT_NE(incremental.archiveName, root.archiveName);
    EXPECT_EQ(stored(incremental.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/new.txt"}));
    EXPECT_EQ(rootbk(), root.archiveName) << "an incremental run leaves rootbk alone";
    EXPECT_EQ(listFilesLeft(), 0u);
}

TEST_F(BackupRunTest, NoUsableFolderCountMakesNothingAndSaysSo) {
    for (const char* count : {"", "0", "abc", "-3"}) {
        setFolders(count, {"C:\\Data"});
        const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
        EXPECT_EQ(outcome.status, BackupStatus::Failed) << count;
        EXPECT_NE(outcome.reason.find("no source folders"), std::string::npos) << outcome.reason;
        EXPECT_EQ(rootbk(), "<none>") << "rootbk names only archives that exist";
    }
    setFolders("40000", {"C:\\Data"});
    EXPECT_EQ(RunBackup(BackupMode::Root, "Weekly Job").status, BackupStatus::Failed);
    EXPECT_EQ(listFilesLeft(), 0u);
    size_t archives = 0;
    for (const auto& e : fs::directory_iterator(job))
        archives += e.path().extension() == ".zip";
    EXPECT_EQ(archives, 0u);
}

TEST_F(BackupRunTest, AHalfCountRoundsToEvenAndMissingUtilityFails) {
    setFolders("2.5", {"C:\\Data", "D:\\More Files", "C:\\Elsewhere"});
    const BackupOutcome two = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(two.status, BackupStatus::Made) << two.reason;
    EXPECT_EQ(stored(two.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/sub/b.txt", "More Files/c.txt"}));

    nextSecond();
    ZipUtilPath = "C:\\Tools\\missing zip";
    const BackupOutcome missing = RunBackup(BackupMode::Root, "Weekly Job");
    EXPECT_EQ(missing.status, BackupStatus::Failed);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(rootbk(), two.archiveName) << "a failed root run keeps the last good rootbk";
    EXPECT_EQ(listFilesLeft(), 0u);
}

TEST_F(BackupRunTest, AMissingExclusionFileExcludesNothing) {
    fs::remove(job / "excl.ini");
    setFolders("1", {"C:\\Data"});
    const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(outcome.status, BackupStatus::Made) << outcome.reason;
    EXPECT_EQ(stored(outcome.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/scratch.tmp", "Data/sub/b.txt"}));
}

} // namespace
