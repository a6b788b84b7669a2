// The copy of a job on other storage, through the real rclone against a
// remote of type "local" in the sandbox (a private rclone configuration).

#include "core/job_files.h"
#include "core/settings.h"
#include "engine/copy_record.h"
#include "engine/copy_target.h"
#include "engine/job_copy.h"
#include "engine/last_backup.h"
#include "engine/rclone_run.h"
#include "support/rclone_config.h"
#include "support/sandbox.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace rk;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xff);
    return bytes;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RcloneLines, StatisticsLinesGiveTheirPercent) {
    EXPECT_EQ(StatisticsPercent("2026/12/10 03:08:52 INFO  :    2.861 MiB / 10.000 MiB, 28%, "
                                "1 MiB/s, ETA 7s"),
              28);
    EXPECT_EQ(StatisticsPercent("Transferred:   \t    2.861 MiB / 2.861 MiB, 100%, 0 B/s, ETA -"),
              100);
    EXPECT_EQ(StatisticsPercent("INFO  : a.zip: Copied (new) to: .a.zip.partial"), std::nullopt);
    EXPECT_EQ(StatisticsPercent("Transferred: 1 / 1, x%"), std::nullopt);
}

TEST(RcloneLines, TheReasonIsTheLastErrorWithoutDateAndLevel) {
    EXPECT_EQ(RcloneReason("2026/12/10 03:09:05 ERROR : : error listing: directory not found\n"
                           "2026/12/10 03:09:05 NOTICE: 0 differences found\n"),
              ": error listing: directory not found");
    EXPECT_EQ(RcloneReason("2026/12/10 03:09:05 Failed to copy: quota exceeded\n"),
              "Failed to copy: quota exceeded");
    EXPECT_EQ(RcloneReason("something else\n"), "something else");
}

TEST(CopyTargets, OnlyAListedRemoteAndAPathInsideIt) {
    const std::vector<std::string> remotes = {"offsite", "b2"};
    const Result<CopyTarget> target = CheckCopyTarget("offsite:backups/Documents/", remotes);
    ASSERT_TRUE(target) << target.reason();
    EXPECT_EQ(target->Text(), "offsite:backups/Documents");
    EXPECT_EQ(target->Inside("rk_1.zip"), "offsite:backups/Documents/rk_1.zip");
    EXPECT_EQ(target->Child("Docs").Text(), "offsite:backups/Documents/Docs");
    EXPECT_EQ(CheckCopyTarget("b2:", remotes)->Inside("x"), "b2:x");
    EXPECT_EQ(IncomingFolder(*target)->Text(), "offsite:backups/.rk-incoming-Documents");
    EXPECT_EQ(IncomingFolder(*CheckCopyTarget("b2:Docs", remotes))->Text(), "b2:.rk-incoming-Docs");
    EXPECT_FALSE(IncomingFolder(*CheckCopyTarget("b2:", remotes)));
    EXPECT_FALSE(CheckCopyTarget("elsewhere:backups", remotes));
    EXPECT_FALSE(CheckCopyTarget(":local:/tmp", remotes)) << "a remote made on the fly";
    EXPECT_FALSE(CheckCopyTarget("-offsite:x", remotes));
    EXPECT_FALSE(CheckCopyTarget("offsite", remotes));
    EXPECT_FALSE(CheckCopyTarget("offsite:backups/../../etc", remotes));
    EXPECT_FALSE(CheckCopyTarget("offsite:a\nb", remotes));
}

// A job "Docs" in C:\Backups whose copy goes to the local remote "offsite".
class JobCopyTest : public ::testing::Test {
  protected:
    test::Sandbox box;
    test::PrivateRcloneConfig rclone{box.root() / "rclone" / "rclone.conf"};
    fs::path folder = box.c() / "Backups" / "Docs";
    std::string jobFolder = "C:\\Backups\\Docs";
    fs::path remoteFolder = box.root() / "remote" / "Docs";
    std::string remote = "offsite:" + remoteFolder.string();
    std::time_t now = 1'800'000'000;

    void SetUp() override {
        if (!test::HaveRclone())
            GTEST_SKIP() << "rclone is not installed";
        rclone.AddLocalRemote("offsite");
        box.write(folder / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
        ASSERT_TRUE(WriteCopyRemote(jobFolder, remote));
    }
    void AddArchive(const std::string& name, std::size_t size, unsigned seed) const {
        box.write(folder / name, RandomBytes(size, seed));
    }
    CopyEnd Copy(const CopyWatch& watch = {}) { return CopyJob(jobFolder, watch, now); }
};

TEST_F(JobCopyTest, EveryArchiveTheRecordAndTheSettingsGoAndOnlyNewOnesLater) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 200000, 1);
    AddArchive("rk_2026_01_02_10_00_00.zip", 3000, 2);
    box.write(folder / ".rkzip-state", "state one");
    CopyEnd end = Copy();
    ASSERT_TRUE(end.complete) << end.reason;
    EXPECT_EQ(Names(remoteFolder),
              (std::vector<std::string>{".rkzip-state", "rk_2026_01_01_10_00_00.zip",
                                        "rk_2026_01_02_10_00_00.zip", "rkjob.ini"}));
    for (const std::string name :
         {"rk_2026_01_01_10_00_00.zip", "rk_2026_01_02_10_00_00.zip", ".rkzip-state"})
        EXPECT_EQ(box.read(remoteFolder / name), box.read(folder / name)) << name;

    AddArchive("rk_2026_01_03_10_00_00.zip", 5000, 3);
    box.write(folder / ".rkzip-state", "state two");
    end = Copy();
    ASSERT_TRUE(end.complete) << end.reason;
    EXPECT_EQ(end.sent, (std::vector<std::string>{"rk_2026_01_03_10_00_00.zip", ".rkzip-state",
                                                  "rkjob.ini"}));
    EXPECT_EQ(box.read(remoteFolder / ".rkzip-state"), "state two");
    EXPECT_FALSE(ReadCopyRecord(jobFolder).pending());
}

TEST_F(JobCopyTest, ProgressRisesToTheWhole) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 400000, 1);
    std::vector<int> seen;
    CopyWatch watch;
    watch.percent = [&seen](int percent) { seen.push_back(percent); };
    ASSERT_TRUE(Copy(watch).complete);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

TEST_F(JobCopyTest, ReplacedArchivesGoFromTheCopyOnlyOnceTheReplacementIsThereAndChecked) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    AddArchive("rk_2026_01_02_10_00_00.zip", 1000, 2);
    ASSERT_TRUE(Copy().complete);
    // A consolidation replaced both by one archive.
    fs::remove(folder / "rk_2026_01_01_10_00_00.zip");
    fs::remove(folder / "rk_2026_01_02_10_00_00.zip");
    AddArchive("rk_2026_01_02_10_00_01.zip", 300000, 3);
    ASSERT_TRUE(RecordReplacedArchives(
        jobFolder, {"rk_2026_01_01_10_00_00.zip", "rk_2026_01_02_10_00_00.zip"}));

    // Stopped while the replacement is on its way: nothing is deleted.
    CopyWatch stopping;
    stopping.stopRequested = [] { return true; };
    const CopyEnd stopped = Copy(stopping);
    EXPECT_FALSE(stopped.complete);
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_TRUE(fs::exists(remoteFolder / "rk_2026_01_01_10_00_00.zip"));
    EXPECT_TRUE(fs::exists(remoteFolder / "rk_2026_01_02_10_00_00.zip"));
    EXPECT_FALSE(fs::exists(remoteFolder / "rk_2026_01_02_10_00_01.zip"));
    EXPECT_EQ(ReadCopyRecord(jobFolder).replaced.size(), 2u);
    EXPECT_TRUE(ReadCopyRecord(jobFolder).pending());

    const CopyEnd end = Copy();
    ASSERT_TRUE(end.complete) << end.reason;
    EXPECT_EQ(end.deleted, (std::vector<std::string>{"rk_2026_01_01_10_00_00.zip",
                                                     "rk_2026_01_02_10_00_00.zip"}));
    EXPECT_EQ(Names(remoteFolder),
              (std::vector<std::string>{"rk_2026_01_02_10_00_01.zip", "rkjob.ini"}));
    EXPECT_TRUE(ReadCopyRecord(jobFolder).replaced.empty());
}

TEST_F(JobCopyTest, AnArchiveThatIsHereAgainIsNeverDeletedFromTheCopy) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    ASSERT_TRUE(RecordReplacedArchives(jobFolder, {"rk_2026_01_01_10_00_00.zip"}));
    ASSERT_TRUE(Copy().complete);
    EXPECT_TRUE(fs::exists(remoteFolder / "rk_2026_01_01_10_00_00.zip"));
    EXPECT_TRUE(ReadCopyRecord(jobFolder).replaced.empty());
}

TEST_F(JobCopyTest, WhatAStoppedSendLeftIsRemovedAndADifferentSizeIsSentAgain) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    const fs::path incoming = remoteFolder.parent_path() / ".rk-incoming-Docs";
    box.write(incoming / "rk_2025_12_31_10_00_00.zip", "half");
    box.write(remoteFolder / "rk_2026_01_01_10_00_00.zip", "short");
    ASSERT_TRUE(RecordCopyPending(jobFolder, "the copy was cancelled", now));
    ASSERT_TRUE(Copy().complete);
    EXPECT_TRUE(Names(incoming).empty()) << "the files moved into place, the leftover gone";
    EXPECT_EQ(box.read(remoteFolder / "rk_2026_01_01_10_00_00.zip"),
              box.read(folder / "rk_2026_01_01_10_00_00.zip"));
    EXPECT_FALSE(fs::exists(remoteFolder / "rk_2025_12_31_10_00_00.zip"));
}

TEST_F(JobCopyTest, TheTopOfARemoteCannotHoldAJobsCopy) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    ASSERT_TRUE(WriteCopyRemote(jobFolder, "offsite:"));
    const CopyEnd end = Copy();
    EXPECT_FALSE(end.complete);
    EXPECT_EQ(end.reason, "the copy needs a folder on the remote, as \"offsite:ravelkeep/Docs\"");
}

TEST_F(JobCopyTest, ACopyThatCannotGoIsPendingSinceItsFirstFailureUntilOneGoesThrough) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    ASSERT_TRUE(WriteCopyRemote(jobFolder, "gone:" + remoteFolder.string()));
    CopyEnd end = Copy();
    EXPECT_FALSE(end.complete);
    EXPECT_EQ(end.PendingLine(), "Copy to gone:" + remoteFolder.string() +
                                     " pending: rclone has no remote named \"gone\" (make it "
                                     "with rclone config)");
    CopyRecord record = ReadCopyRecord(jobFolder);
    EXPECT_EQ(record.pendingSince, RecordedTime(*std::localtime(&now)));
    EXPECT_EQ(CopyPendingText(record), end.PendingLine());

    // A later failure keeps the first time.
    const std::time_t first = now;
    now += 3600;
    Copy();
    EXPECT_EQ(ReadCopyRecord(jobFolder).pendingSince, RecordedTime(*std::localtime(&first)));

    rclone.AddLocalRemote("gone");
    end = Copy();
    EXPECT_TRUE(end.complete) << end.reason;
    EXPECT_EQ(end.PendingLine(), "");
    EXPECT_FALSE(ReadCopyRecord(jobFolder).pending());
    EXPECT_TRUE(fs::exists(remoteFolder / "rk_2026_01_01_10_00_00.zip"));
}

TEST_F(JobCopyTest, TheUserIsToldAfterADayOfPendingCopiesAndThenOnceADay) {
    const std::time_t start = now;
    ASSERT_TRUE(RecordCopyPending(jobFolder, "offline", start));
    EXPECT_FALSE(CopyNoticeDue(ReadCopyRecord(jobFolder), start + 23 * 3600));
    EXPECT_TRUE(CopyNoticeDue(ReadCopyRecord(jobFolder), start + 24 * 3600));
    ASSERT_TRUE(RecordCopyNotice(jobFolder, start + 24 * 3600));
    EXPECT_FALSE(CopyNoticeDue(ReadCopyRecord(jobFolder), start + 30 * 3600));
    EXPECT_TRUE(CopyNoticeDue(ReadCopyRecord(jobFolder), start + 48 * 3600));
    ASSERT_TRUE(ClearCopyPending(jobFolder));
    EXPECT_FALSE(CopyNoticeDue(ReadCopyRecord(jobFolder), start + 96 * 3600));
}

TEST_F(JobCopyTest, AJobWithoutACopyDoesNothing) {
    ASSERT_TRUE(WriteCopyRemote(jobFolder, ""));
    AddArchive("rk_2026_01_01_10_00_00.zip", 1000, 1);
    const CopyEnd end = Copy();
    EXPECT_FALSE(end.configured);
    EXPECT_FALSE(fs::exists(remoteFolder));
    EXPECT_TRUE(ReadSetting("remote", "", JobSettingsPlace(jobFolder, "copy")).empty());
}

TEST_F(JobCopyTest, VerifyFindsACopyChangedInPlaceOrMissing) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 5000, 1);
    AddArchive("rk_2026_01_02_10_00_00.zip", 5000, 2);
    ASSERT_TRUE(Copy().complete);
    Result<std::vector<CopyDifference>> differences = VerifyJobCopy(jobFolder, {});
    ASSERT_TRUE(differences) << differences.reason();
    EXPECT_TRUE(differences->empty());

    // One byte changed, the size the same; the other gone.
    std::string bytes = box.read(remoteFolder / "rk_2026_01_01_10_00_00.zip");
    bytes[2500] = static_cast<char>(bytes[2500] ^ 0x40);
    box.write(remoteFolder / "rk_2026_01_01_10_00_00.zip", bytes);
    fs::remove(remoteFolder / "rk_2026_01_02_10_00_00.zip");
    differences = VerifyJobCopy(jobFolder, {});
    ASSERT_TRUE(differences) << differences.reason();
    ASSERT_EQ(differences->size(), 2u);
    EXPECT_EQ((*differences)[0].name, "rk_2026_01_01_10_00_00.zip");
    EXPECT_EQ((*differences)[0].what, "differs from the local file");
    EXPECT_EQ((*differences)[1].name, "rk_2026_01_02_10_00_00.zip");
    EXPECT_EQ((*differences)[1].what, "is missing");
}

TEST_F(JobCopyTest, AJobComesBackIntoAnEmptyJobStoreWholeAndPrivate) {
    AddArchive("rk_2026_01_01_10_00_00.zip", 70000, 1);
    box.write(folder / ".rkzip-state", RandomBytes(4096, 9));
    box.write(folder / "excl.ini", "*.tmp\r\n");
    ASSERT_TRUE(RecordCopyPending(jobFolder, "offline", now));
    ASSERT_TRUE(Copy().complete);
    ASSERT_TRUE(RecordCopyPending(jobFolder, "left over", now));
    ASSERT_TRUE(Copy().complete) << "sends the settings once more";

    const Result<CopyTarget> parent =
        CheckCopyTarget("offsite:" + remoteFolder.parent_path().string());
    ASSERT_TRUE(parent) << parent.reason();
    box.write(box.root() / "remote" / "NotAJob" / "a.txt", "x");
    const Result<std::vector<std::string>> jobs = ListJobsOnCopy(*parent);
    ASSERT_TRUE(jobs) << jobs.reason();
    EXPECT_EQ(*jobs, std::vector<std::string>{"Docs"});

    const Result<void> fetched = FetchJob(*parent, "Docs", "D:\\Store\\", {});
    ASSERT_TRUE(fetched) << fetched.reason();
    const fs::path back = box.d() / "Store" / "Docs";
    EXPECT_EQ(Names(back), (std::vector<std::string>{".rkzip-state", "excl.ini",
                                                     "rk_2026_01_01_10_00_00.zip", "rkjob.ini"}));
    for (const std::string name : {".rkzip-state", "excl.ini", "rk_2026_01_01_10_00_00.zip"})
        EXPECT_EQ(box.read(back / name), box.read(folder / name)) << name;
    EXPECT_EQ(ReadSetting("created", "", JobSettingsPlace("D:\\Store\\Docs", "settings")), "today");
    const CopyRecord record = ReadCopyRecord("D:\\Store\\Docs");
    EXPECT_EQ(record.remote, remote);
    EXPECT_FALSE(record.pending());
    EXPECT_EQ(fs::status(back).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(fs::status(back / "rk_2026_01_01_10_00_00.zip").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Names(box.d() / "Store"), std::vector<std::string>{"Docs"}) << "no folder left";

    // A job store that has the job already is left alone.
    const Result<void> again = FetchJob(*parent, "Docs", "D:\\Store\\", {});
    EXPECT_FALSE(again);
    EXPECT_FALSE(FetchJob(*parent, "..", "D:\\Store\\", {}));
    EXPECT_FALSE(FetchJob(*parent, "NotAJob", "D:\\Store\\", {}));
    EXPECT_EQ(Names(box.d() / "Store"), std::vector<std::string>{"Docs"});
}

} // namespace
