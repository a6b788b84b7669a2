#include "core/program_values.h"
#include "core/settings.h"
#include "engine/backup_run.h"
#include "engine/last_backup.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
    ASSERT_EQ(root.status, RunStatus::Done) << root.reason;
    EXPECT_EQ(rootbk(), root.details.archiveName);
    EXPECT_EQ(stored(root.details.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/sub/b.txt", "More Files/c.txt"}));
    EXPECT_EQ(listFilesLeft(), 0u);

    nextSecond();
    box.write(box.c() / "Data" / "a.txt", "alpha, changed");
    box.write(box.c() / "Data" / "new.txt", "new");
    const BackupOutcome incremental = RunBackup(BackupMode::Incremental, "Weekly Job");
    ASSERT_EQ(incremental.status, RunStatus::Done) << incremental.reason;
    EXPECT_NE(incremental.details.archiveName, root.details.archiveName);
    EXPECT_EQ(stored(incremental.details.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/new.txt"}));
    EXPECT_EQ(rootbk(), root.details.archiveName) << "an incremental run leaves rootbk alone";
    EXPECT_EQ(listFilesLeft(), 0u);
}

TEST_F(BackupRunTest, NoUsableFolderCountMakesNothingAndSaysSo) {
    for (const char* count : {"", "0", "abc", "-3"}) {
        setFolders(count, {"C:\\Data"});
        const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
        EXPECT_EQ(outcome.status, RunStatus::Failed) << count;
        EXPECT_NE(outcome.reason.find("no source folders"), std::string::npos) << outcome.reason;
        EXPECT_EQ(rootbk(), "<none>") << "rootbk names only archives that exist";
    }
    setFolders("40000", {"C:\\Data"});
    EXPECT_EQ(RunBackup(BackupMode::Root, "Weekly Job").status, RunStatus::Failed);
    EXPECT_EQ(listFilesLeft(), 0u);
    size_t archives = 0;
    for (const auto& e : fs::directory_iterator(job))
        archives += e.path().extension() == ".zip";
    EXPECT_EQ(archives, 0u);
}

TEST_F(BackupRunTest, AHalfCountRoundsToEvenAndMissingUtilityFails) {
    setFolders("2.5", {"C:\\Data", "D:\\More Files", "C:\\Elsewhere"});
    const BackupOutcome two = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(two.status, RunStatus::Done) << two.reason;
    EXPECT_EQ(stored(two.details.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/sub/b.txt", "More Files/c.txt"}));

    nextSecond();
    ZipUtilPath = "C:\\Tools\\missing zip";
    const BackupOutcome missing = RunBackup(BackupMode::Root, "Weekly Job");
    EXPECT_EQ(missing.status, RunStatus::Failed);
    EXPECT_FALSE(missing.reason.empty());
    EXPECT_EQ(rootbk(), two.details.archiveName) << "a failed root run keeps the last good rootbk";
    EXPECT_EQ(listFilesLeft(), 0u);
}

TEST_F(BackupRunTest, AMissingExclusionFileExcludesNothing) {
    fs::remove(job / "excl.ini");
    setFolders("1", {"C:\\Data"});
    const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(stored(outcome.details.archiveName),
              (std::vector<std::string>{"Data/a.txt", "Data/scratch.tmp", "Data/sub/b.txt"}));
}

// Runs `run` as an ordinary user, for whom a file of mode 0000 cannot be
// read: this process when it is one; as root, a child that owns the sandbox
// and becomes the user "nobody" (65534). The exit code of `run`, or -1.
int AsOrdinaryUser(const fs::path& sandbox, const std::function<int()>& run) {
    if (geteuid() != 0)
        return run();
    constexpr uid_t nobody = 65534;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox))
        if (lchown(entry.path().c_str(), nobody, nobody) != 0)
            return -1;
    if (lchown(sandbox.c_str(), nobody, nobody) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)
            _exit(100);
        _exit(run());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A file the zip utility cannot read is left out; the run's outcome and its
// record name it, as rkzip wrote it, and count every one left out.
TEST_F(BackupRunTest, APartialRunNamesAndCountsTheFilesLeftOut) {
    setFolders("2", {"C:\\Data", "C:\\Missing Folder"});
    box.write(box.c() / "Data" / "locked.txt", "secret");
    for (int i = 1; i <= 11; ++i)
        box.write(box.c() / "Data" / "many" / ("f" + std::to_string(i) + ".txt"), "x");
    fs::permissions(box.c() / "Data" / "locked.txt", fs::perms::none);
    for (int i = 1; i <= 11; ++i)
        fs::permissions(box.c() / "Data" / "many" / ("f" + std::to_string(i) + ".txt"),
                        fs::perms::none);
    const int code = AsOrdinaryUser(box.root(), [] {
        const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
        if (outcome.status != RunStatus::Partial)
            return 1;
        if (outcome.details.leftOutCount != 13 ||
            outcome.details.leftOut.size() != kMostNamedLeftOut)
            return 2;
        // The names come in the utility's order; the missing source folder
        // and the locked file are among them.
        if (outcome.reason.find("were left out:\n") == std::string::npos ||
            outcome.reason.find("\nand 3 more (13 in all)") == std::string::npos)
            return 3;
        // The missing folder is said as rkzip says it when it is the only
        // source, not as the utility's raw line.
        if (outcome.reason.find("\nthe source folder C:\\Missing Folder does not exist") ==
                std::string::npos ||
            outcome.reason.find("name not matched") != std::string::npos)
            return 4;
        return 0;
    });
    ASSERT_EQ(code, 0);

    const std::optional<LastBackup> last = ReadLastBackup("C:\\My Backups\\Weekly Job");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outcome, "partial");
    EXPECT_EQ(last->leftOutCount, 13);
    ASSERT_EQ(last->leftOut.size(), 10u);
    std::vector<std::string> named = last->leftOut;
    std::sort(named.begin(), named.end());
    EXPECT_TRUE(std::binary_search(named.begin(), named.end(), "C:\\Missing Folder"));
    std::size_t inMany = 0;
    for (const std::string& name : named)
        inMany += name.rfind("C:\\Data\\many\\f", 0) == 0;
    EXPECT_GE(inMany, 8u);
    EXPECT_EQ(last->reason.rfind("The backup " + last->archive +
                                     " was made, but some files could not be read and were left "
                                     "out: ",
                                 0),
              0u)
        << last->reason;
    EXPECT_NE(last->reason.find("; and 3 more (13 in all)"), std::string::npos) << last->reason;
    EXPECT_EQ(stored(last->archive), (std::vector<std::string>{"Data/a.txt", "Data/sub/b.txt"}));
}

// A run that makes no archive gives the zip utility's last lines as its
// reason, and records them: the cause, not only that it failed.
TEST_F(BackupRunTest, AFailedRunGivesAndRecordsTheZipUtilitysCause) {
    setFolders("1", {"C:\\Gone"});
    const BackupOutcome outcome = RunBackup(BackupMode::Root, "Weekly Job");
    ASSERT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_EQ(outcome.reason, "The backup " + outcome.details.archiveName +
                                  " could not be made: "
                                  "rkzip: nothing added to zip archive 'C:\\My Backups\\Weekly "
                                  "Job\\" +
                                  outcome.details.archiveName +
                                  "': the source folder C:\\Gone does not exist");
    EXPECT_EQ(outcome.details.ownReason,
              "The backup " + outcome.details.archiveName +
                  " could not be made (the zip utility said why, above).");
    // The utility's own lines come with the reason, apart from it.
    EXPECT_EQ(outcome.utilityLines,
              std::vector<std::string>{
                  "rkzip: nothing added to zip archive 'C:\\My Backups\\Weekly "
                  "Job\\" +
                  outcome.details.archiveName + "': the source folder C:\\Gone does not exist"});
    const std::optional<LastBackup> last = ReadLastBackup("C:\\My Backups\\Weekly Job");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outcome, "failed");
    EXPECT_EQ(last->reason, "The backup " + outcome.details.archiveName +
                                " could not be made: "
                                "rkzip: nothing added to zip archive 'C:\\My Backups\\Weekly "
                                "Job\\" +
                                outcome.details.archiveName +
                                "': the source folder C:\\Gone does not exist");
}

} // namespace
