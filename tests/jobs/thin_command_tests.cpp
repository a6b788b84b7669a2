// The Job menu's Keep... dialog and Thin Backups Now, with the real zip and
// unzip utilities.

#include "engine/keep_policy.h"
#include "engine/last_thin.h"
#include "engine/skipped_run.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_keep.h"
#include "main_window_fixture.h"
#include "platform/drive_map.h"

#include <QAction>
#include <QLabel>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace rk::test {
namespace {

using namespace std::chrono;

class ThinCommandTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ZipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkzip").string());
        UnzipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkunzip").string());
        Job("Weekly");
    }

    // "rk_..." for `daysAgo` days before today at `hour`.
    static std::string NameDaysAgo(int daysAgo, int hour) {
        const year_month_day day{floor<days>(system_clock::now()) - days{daysAgo}};
        char text[64];
        std::snprintf(text, sizeof text, "rk_%04d_%02u_%02u_%02d_00_00.zip",
                      static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                      static_cast<unsigned>(day.day()), hour);
        return text;
    }

    void MakeArchive(const std::string& name, const std::string& content) {
        const fs::path staging = sandbox.root() / "staging" / name;
        sandbox.write(staging / "a.txt", content);
        const RunResult made =
            rk::test::Run({(ProgramDir() / "rkzip").string(), "-a", "-p", "-r", "-^^",
                           platform::ToWindowsPath((Store() / "Weekly" / name).string()),
                           platform::ToWindowsPath(staging.string()) + "\\*.*"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Store() / "Weekly"))
            if (entry.path().extension() == ".zip")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    rk::Job WeeklyJob() const { return rk::Job("C:\\Backups\\", "Weekly"); }
};

TEST_F(ThinCommandTest, TheKeepDialogShowsItsExampleAndSavesThePolicy) {
    for (int hour : {1, 2, 3})
        MakeArchive(NameDaysAgo(40, hour), "old " + std::to_string(hour));
    MakeArchive(NameDaysAgo(0, 1), "today");
    const auto window = Open();
    Select(*window, "Weekly");
    std::string words;
    std::string example;
    seam.AnswerForm([&](QDialog& form) {
        auto& keep = dynamic_cast<jobs::frmKeep&>(form);
        EXPECT_FALSE(keep.chkThin->isChecked());
        keep.chkThin->setChecked(true);
        keep.txtDays->setValue(1);
        words = keep.lblWords->text().toStdString();
        example = keep.lblExample->text().toStdString();
        form.accept();
    });
    window->mnuJob.at(jobs::JobCommand::Keep)->trigger();
    EXPECT_EQ(words, "Keep every backup for 1 day, then one a day for 4 weeks, then one a week "
                     "for 6 months, then one a month forever.");
    EXPECT_EQ(example.rfind("Today 4 backups; after thinning 2 would remain, the oldest from ", 0),
              0U)
        << example;
    EXPECT_EQ(ReadKeepPolicy(WeeklyJob()), (KeepPolicy{1, 4, 6, kKeepForever}));
    EXPECT_EQ(Archives().size(), 4U); // the dialog thins nothing itself
}

TEST_F(ThinCommandTest, ThinBackupsNowConsolidatesAndTellsWhatWasFreed) {
    for (int hour : {1, 2, 3})
        MakeArchive(NameDaysAgo(40, hour), "old " + std::to_string(hour));
    MakeArchive(NameDaysAgo(0, 1), "today");
    WriteKeepPolicy(WeeklyJob(), kProposedKeepPolicy);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::ThinNow)->trigger();
    EXPECT_EQ(Archives(), (std::vector<std::string>{NameDaysAgo(40, 3).substr(0, 22) + "_C.zip",
                                                    NameDaysAgo(0, 1)}));
    ASSERT_FALSE(seam.Calls().empty());
    EXPECT_EQ(seam.Calls().back().text.rfind("Last thinning: ", 0), 0U) << seam.Calls().back().text;
    EXPECT_NE(seam.Calls().back().text.find("4 backups to 2"), std::string::npos);
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_TRUE(ReadLastThin(WeeklyJob()));
    EXPECT_EQ(ReadLastThin(WeeklyJob())->outcome, "thinned");
}

TEST_F(ThinCommandTest, ThinBackupsNowWithoutAPolicySaysSoAndDeletesNothing) {
    MakeArchive(NameDaysAgo(40, 1), "one");
    MakeArchive(NameDaysAgo(40, 2), "two");
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::ThinNow)->trigger();
    ASSERT_FALSE(seam.Calls().empty());
    EXPECT_EQ(seam.Calls().back().text,
              "The job \"Weekly\" keeps every backup. Choose which to keep with Keep... first.");
    EXPECT_EQ(Archives().size(), 2U);
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
}

// A backup made from the window is followed by the thinning of a job with a
// policy; the job information then tells both.
TEST_F(ThinCommandTest, ABackupFromTheWindowIsFollowedByThinning) {
    sandbox.write(sandbox.c() / "Data" / "a.txt", "alpha");
    sandbox.write(Job("Weekly", "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n") / "excl.ini",
                  "*.tmp\r\n");
    for (int hour : {1, 2, 3})
        MakeArchive(NameDaysAgo(40, hour), "old " + std::to_string(hour));
    WriteKeepPolicy(WeeklyJob(), kProposedKeepPolicy);
    const auto window = Open();
    Select(*window, "Weekly");
    window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->trigger();
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_TRUE(seam.Calls().empty()) << seam.Calls().front().text;

    const std::vector<std::string> now = Archives();
    ASSERT_EQ(now.size(), 2U);
    EXPECT_EQ(now.front(), NameDaysAgo(40, 3).substr(0, 22) + "_C.zip");
    const std::optional<LastThin> thin = ReadLastThin(WeeklyJob());
    ASSERT_TRUE(thin);
    EXPECT_EQ(thin->outcome, "thinned");
    EXPECT_EQ(thin->before, 4);
    EXPECT_EQ(thin->after, 2);
    const std::string shown = Text(window->lblLastBackup);
    EXPECT_EQ(shown.rfind("Last backup: ", 0), 0U) << shown;
    EXPECT_NE(
        shown.find(", incremental, made\nLast thinning: " + thin->time + ", 4 backups to 2, "),
        std::string::npos)
        << shown;
}

// A job with a record of its last thinning but none of a backup shows the
// thinning all the same, and beside a skipped run too.
TEST_F(ThinCommandTest, TheLastThinningShowsWithoutARecordOfTheLastBackup) {
    Job("Weekly", "[settings]\r\ncreated=x\r\n[lastthin]\r\ntime=2025-03-09 10:00:00\r\n"
                  "before=5\r\nafter=3\r\nfreed=2048\r\noutcome=thinned\r\n");
    const auto window = Open();
    Select(*window, "Weekly");
    const std::string thinned = "Last thinning: 2025-03-09 10:00:00, 5 backups to 3, 2.0 KB freed";
    EXPECT_EQ(Text(window->lblLastBackup), thinned);

    ASSERT_TRUE(RecordSkippedRun(
        "C:\\Backups\\Weekly",
        {"2025-03-10 02:00:00", "The backup disk is not connected.", sandbox.d().string()}));
    window->lstBackupJobs->clearSelection();
    Select(*window, "Weekly");
    const std::string shown = Text(window->lblLastBackup);
    EXPECT_EQ(shown.rfind("Last backup skipped ", 0), 0U) << shown;
    EXPECT_NE(shown.find(": The backup disk is not connected.\n" + thinned), std::string::npos)
        << shown;
}

} // namespace
} // namespace rk::test
