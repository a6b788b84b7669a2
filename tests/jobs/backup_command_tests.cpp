// Create Root Backup and Create Incremental Backup from the window with the
// real zip utility: the status texts, the job information as each run ends,
// the reports of failed and incomplete runs, and a window that takes no input
// while a run is in progress.

#include "engine/backup_run.h"
#include "engine/last_backup.h"
#include "engine/tool_runner.h"
#include "jobs/command_numbers.h"
#include "main_window_fixture.h"
#include "platform/clock.h"
#include "platform/drive_map.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QToolBar>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include <sys/stat.h>

namespace rk::test {
namespace {

using ui::Answer;
using ui::Icon;

class BackupCommandTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ZipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkzip").string());
        sandbox.write(sandbox.c() / "Data" / "a.txt", "alpha");
        sandbox.write(sandbox.c() / "Data" / "sub" / "b.txt", "beta");
        sandbox.write(Job("Weekly", "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n") /
                          "excl.ini",
                      "*.tmp\r\n");
        platform::SetClock([this] { return now; });
    }
    void TearDown() override {
        SetToolWaitHook({});
        platform::SetClock({});
    }

    // Archive names carry the second of the run: the next run gets the next.
    std::time_t now = std::time(nullptr);
    void NextSecond() { ++now; }

    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Store() / "Weekly"))
            if (entry.path().extension() == ".zip")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Selects another job and then the job again, as a person would.
    void Reselect(jobs::frmMain& window) {
        window.lstBackupJobs->clearSelection();
        Select(window, "Weekly");
    }
};

TEST_F(BackupCommandTest, RootThenIncrementalBackupFromTheWindow) {
    const auto window = Open();
    Select(*window, "Weekly");
    std::vector<std::string> statusDuringRuns;
    SetToolWaitHook([&] {
        if (statusDuringRuns.empty() || statusDuringRuns.back() != window->StatusText())
            statusDuringRuns.push_back(window->StatusText());
    });

    window->cmdAction[0]->click();
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_EQ(Archives().size(), 1u);
    const std::string root = Archives()[0];
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Weekly", "rkjob.ini"}), root);
    // The job's information and commands follow the run at once, without
    // selecting the job again: a second root backup cannot be started.
    EXPECT_FALSE(window->cmdAction[0]->isEnabled());
    EXPECT_FALSE(window->mnuJob.at(jobs::JobCommand::RootBackup)->isEnabled());
    EXPECT_TRUE(window->cmdAction[1]->isEnabled());
    EXPECT_NE(Text(window->lblInfo).find("1 backup file(s) (including root backup)"),
              std::string::npos)
        << Text(window->lblInfo);

    // Archive names carry the second of the run.
    NextSecond();
    sandbox.write(sandbox.c() / "Data" / "c.txt", "gamma");
    window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->trigger();
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(Archives().size(), 2u);
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Weekly", "rkjob.ini"}), root);
    EXPECT_NE(Text(window->lblInfo).find("2 backup file(s) (including root backup)"),
              std::string::npos)
        << Text(window->lblInfo);
    EXPECT_NE(Text(window->lblLastBackup).find(", incremental, made"), std::string::npos)
        << Text(window->lblLastBackup);
    // Reselecting reads the same.
    const std::string info = Text(window->lblInfo);
    Reselect(*window);
    EXPECT_EQ(Text(window->lblInfo), info);

    EXPECT_EQ(statusDuringRuns, (std::vector<std::string>{"Creating master root backup",
                                                          "Creating incremental backup"}));
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(seam.Calls().empty());
}

// While the utility runs the window repaints (the wait hook runs) but takes no
// input: its parts are disabled, and neither a click nor a second command
// starts another run or touches the status text.
TEST_F(BackupCommandTest, NoSecondRunWhileOneIsInProgress) {
    const auto window = Open();
    Select(*window, "Weekly");
    int waits = 0;
    SetToolWaitHook([&] {
        if (waits++ > 0)
            return;
        EXPECT_TRUE(window->Running());
        EXPECT_FALSE(window->menuBar()->isEnabled());
        EXPECT_FALSE(window->Toolbar1->isEnabled());
        EXPECT_FALSE(window->centralWidget()->isEnabled());
        window->cmdAction[1]->click();
        window->mnuJob_Click(jobs::JobCommand::IncrementalBackup);
        window->cmdAction_Click(0);
        window->Toolbar1_ButtonClick(3);
        window->close();
        EXPECT_EQ(window->StatusText(), "Creating master root backup");
    });
    window->show();
    window->cmdAction[0]->click();
    EXPECT_GT(waits, 0);
    EXPECT_FALSE(window->Running());
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(Archives().size(), 1u);
    EXPECT_TRUE(window->isVisible()) << "not closed during the run";
    EXPECT_TRUE(window->centralWidget()->isEnabled());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_EQ(window->lstBackupJobs->selectedItems().size(), 1) << "no refresh ran";
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(BackupCommandTest, AFailedRunIsToldAndNotRecorded) {
    Job("Gone", "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Nowhere\r\n");
    const auto window = Open();
    Select(*window, "Gone");
    seam.AnswerMessage(Answer::OK);
    window->cmdAction[0]->click();
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].icon, Icon::Critical);
    EXPECT_EQ(seam.Calls()[0].text.rfind("The backup rk_", 0), 0u) << seam.Calls()[0].text;
    EXPECT_NE(seam.Calls()[0].text.find(" could not be made: "), std::string::npos);
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Gone", "rkjob.ini"}), "");
    window->lstBackupJobs->clearSelection();
    Select(*window, "Gone");
    EXPECT_TRUE(window->cmdAction[0]->isEnabled());

    // A zip utility that cannot be started.
    ZipUtilPath = "C:\\prog\\no-such-zip";
    Select(*window, "Weekly");
    seam.AnswerMessage(Answer::OK);
    window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->trigger();
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(
        seam.Calls()[1].text.rfind("Could not start the zip utility \"C:\\prog\\no-such-zip\"", 0),
        0u)
        << seam.Calls()[1].text;
    EXPECT_EQ(seam.Problems(), "");
}

// Some files could not be read (one source folder is gone): the archive is
// made, a message with the exclamation icon names what was left out, the
// action counts as done, and the job records and shows a partial run.
TEST_F(BackupCommandTest, APartialRunIsToldRecordedAndShown) {
    Job("Partly", "[folders]\r\nfoldercount=2\r\nfolder1=C:\\Data\r\nfolder2=C:\\Unplugged\r\n");
    const auto window = Open();
    Select(*window, "Partly");
    seam.AnswerMessage(Answer::OK);
    window->cmdAction[0]->click();
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].icon, Icon::Exclamation);
    const std::string& told = seam.Calls()[0].text;
    EXPECT_EQ(told.rfind("The backup rk_", 0), 0u) << told;
    EXPECT_NE(told.find(" was made, but some files could not be read and were left out:\n"),
              std::string::npos)
        << told;
    EXPECT_NE(told.find("C:\\Unplugged"), std::string::npos) << told;

    const std::optional<LastBackup> last = ReadLastBackup("C:\\Backups\\Partly");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->outcome, "partial");
    EXPECT_EQ(last->mode, "root");
    EXPECT_EQ(last->leftOutCount, 1);
    EXPECT_EQ(last->leftOut, (std::vector<std::string>{"C:\\Unplugged"}));
    EXPECT_TRUE(fs::exists(Store() / "Partly" / last->archive));
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Partly", "rkjob.ini"}),
              last->archive);
    const std::string shown = Text(window->lblLastBackup);
    EXPECT_NE(shown.find(", root, made without some files"), std::string::npos) << shown;
    EXPECT_EQ(seam.Problems(), "");
}

// A named pipe is not a file to back up: it is left out, and the run is a
// success like any other (no message, "Done", the archive recorded).
TEST_F(BackupCommandTest, SpecialFilesAreLeftOutWithoutAFailure) {
    ASSERT_EQ(mkfifo((sandbox.c() / "Data" / "pipe").c_str(), 0644), 0);
    const auto window = Open();
    Select(*window, "Weekly");
    window->cmdAction[0]->click();
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_TRUE(seam.Calls().empty());
    ASSERT_EQ(Archives().size(), 1u);
    EXPECT_EQ(ReadSetting("rootbk", "", {"settings", "C:\\Backups\\Weekly", "rkjob.ini"}),
              Archives()[0]);
    EXPECT_EQ(seam.Problems(), "");
}

// The end of each run is kept with the job and shown below its information;
// a job whose last run failed is marked in the list.
TEST_F(BackupCommandTest, TheLastBackupIsShownAndAFailureMarked) {
    const auto window = Open();
    Select(*window, "Weekly");
    window->cmdAction[0]->click();
    const std::string made = window->lblLastBackup->text().toStdString();
    EXPECT_EQ(made.rfind("Last backup: ", 0), 0u) << made;
    EXPECT_NE(made.find(", root, made"), std::string::npos) << made;

    ZipUtilPath = "C:\\prog\\no-such-zip";
    seam.AnswerMessage(Answer::OK);
    window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->trigger();
    window->DataRefresh();
    Select(*window, "Weekly");
    const std::string failed = window->lblLastBackup->text().toStdString();
    EXPECT_EQ(failed.rfind("Last backup failed ", 0), 0u) << failed;
    EXPECT_NE(failed.find(": Could not start the zip utility"), std::string::npos) << failed;
    const QListWidgetItem* item = window->lstBackupJobs->findItems("Weekly", Qt::MatchExactly)[0];
    EXPECT_EQ(item->text(), "Weekly");
    EXPECT_FALSE(item->icon().isNull());
    EXPECT_NE(item->toolTip().toStdString().find("Could not start the zip utility"),
              std::string::npos);
    EXPECT_EQ(seam.Problems(), "");
}

// Verify Backups reads every archive back and names the one that does not;
// the windowless /verify says the same with its exit code.
TEST_F(BackupCommandTest, VerifyNamesTheDamagedArchive) {
    UnzipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkunzip").string());
    const auto window = Open();
    Select(*window, "Weekly");
    window->cmdAction[0]->click();
    ASSERT_EQ(Archives().size(), 1u);
    const fs::path damaged = sandbox.c() / "Backups" / "Weekly" / "rk_2001_01_01_00_00_00.zip";
    std::string bytes = sandbox.read(sandbox.c() / "Backups" / "Weekly" / Archives()[0]);
    bytes[40] = static_cast<char>(bytes[40] ^ 0x5a);
    bytes.resize(bytes.size() - 30);
    sandbox.write(damaged, bytes);

    seam.AnswerMessage(Answer::OK);
    window->mnuJob.at(jobs::JobCommand::VerifyBackups)->trigger();
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
    ASSERT_EQ(seam.Calls().size(), 1u);
    const std::string& text = seam.Calls()[0].text;
    EXPECT_EQ(text.rfind("1 of the 2 backups of the job \"Weekly\" do not read back correctly:\r\n"
                         "rk_2001_01_01_00_00_00.zip: ",
                         0),
              0u)
        << text;
    EXPECT_EQ(seam.Calls()[0].icon, Icon::Exclamation);
    EXPECT_EQ(ReadSetting("failed", "", {"lastverify", "C:\\Backups\\Weekly", "rkjob.ini"}), "1");

    fs::remove(damaged);
    seam.AnswerMessage(Answer::OK);
    window->mnuJob.at(jobs::JobCommand::VerifyBackups)->trigger();
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[1].text, "All 1 backups of the job \"Weekly\" read back correctly.");
    EXPECT_EQ(seam.Problems(), "");
}

// The window is disabled while the utility runs; afterwards the job list has
// the keyboard focus again.
TEST_F(BackupCommandTest, TheJobListHasTheFocusAfterABackup) {
    const auto window = Open();
    window->show();
    QApplication::setActiveWindow(window.get());
    Select(*window, "Weekly");
    window->lstBackupJobs->setFocus();
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(QApplication::focusWidget(), window->lstBackupJobs);
}

// Incompressible files of a known size, so a run takes a while.
void WriteRandomFiles(const Sandbox& sandbox, const fs::path& folder, int count, std::size_t size) {
    std::mt19937_64 random(42);
    for (int i = 0; i < count; ++i) {
        std::string data(size, '\0');
        for (std::size_t at = 0; at + 8 <= size; at += 8) {
            const std::uint64_t value = random();
            std::memcpy(data.data() + at, &value, 8);
        }
        sandbox.write(folder / ("big" + std::to_string(i) + ".bin"), data);
    }
}

// The zip utility reports the files and bytes it has read, from none of the
// known totals to all of them, never going back.
TEST_F(BackupCommandTest, TheZipUtilityReportsItsProgress) {
    WriteRandomFiles(sandbox, sandbox.c() / "Data", 3, 300000);
    std::vector<ToolProgress> reported;
    {
        const ToolWatchScope watch([&](const ToolProgress& p) { reported.push_back(p); },
                                   [] { return false; });
        ASSERT_EQ(RunBackup(BackupMode::Root, "Weekly").status, RunStatus::Done);
    }
    const std::uint64_t bytes = 5 + 4 + 3 * 300000;
    ASSERT_GE(reported.size(), 2u);
    EXPECT_EQ(reported.front().filesDone, 0u);
    EXPECT_EQ(reported.front().bytesDone, 0u);
    for (const ToolProgress& p : reported) {
        EXPECT_EQ(p.filesTotal, 5u);
        EXPECT_EQ(p.bytesTotal, bytes);
    }
    EXPECT_EQ(reported.back().filesDone, 5u);
    EXPECT_EQ(reported.back().bytesDone, bytes);
    for (std::size_t i = 1; i < reported.size(); ++i)
        EXPECT_GE(reported[i].bytesDone, reported[i - 1].bytesDone);
    // Without a watch, nothing is asked of the utility.
    EXPECT_FALSE(ToolStoppable());
}

// Cancel beside the progress bar stops the run: no archive stays, no
// attribute is cleared (the next run stores the same files), no message box,
// and the status says the action did not complete.
TEST_F(BackupCommandTest, CancelStopsABackupAndLeavesNoArchive) {
    const auto window = Open();
    Select(*window, "Weekly");
    window->cmdAction[0]->click();
    ASSERT_EQ(Archives().size(), 1u);
    EXPECT_TRUE(window->axProgressBar->isHidden()) << "idle";

    NextSecond();
    WriteRandomFiles(sandbox, sandbox.c() / "Data", 3, 8 << 20);
    bool shownDuringRun = false;
    SetToolWaitHook([&] {
        if (!window->cmdCancelRun->isHidden() && window->cmdCancelRun->isEnabled()) {
            shownDuringRun = !window->axProgressBar->isHidden();
            window->cmdCancelRun->click();
        }
    });
    window->cmdAction[1]->click();
    SetToolWaitHook({});
    EXPECT_TRUE(shownDuringRun);
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(seam.Calls().empty());
    EXPECT_TRUE(window->cmdCancelRun->isHidden());
    EXPECT_TRUE(window->axProgressBar->isHidden());
    ASSERT_EQ(Archives().size(), 1u) << "no archive of the cancelled run";
    for (const auto& entry : fs::directory_iterator(Store() / "Weekly"))
        EXPECT_EQ(entry.path().filename().string().find(".zip."), std::string::npos)
            << entry.path();
    EXPECT_NE(window->lblLastBackup->text().toStdString().find("was cancelled"), std::string::npos)
        << window->lblLastBackup->text().toStdString();

    window->cmdAction[1]->click();
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_EQ(Archives().size(), 2u);
    const std::vector<std::string> stored = ArchiveNames(Store() / "Weekly" / Archives()[1]);
    EXPECT_EQ(stored,
              (std::vector<std::string>{"Data/big0.bin", "Data/big1.bin", "Data/big2.bin"}));
}

} // namespace
} // namespace rk::test
