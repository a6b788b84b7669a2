// The File and Help menus, the toolbar, the exclusion file and the extract
// dialog, each answered through the scripted seam.

#include "engine/last_backup.h"
#include "jobs/command_numbers.h"
#include "main_window_fixture.h"
#include "schedule/installed_schedule.h"
#include "schedule/schedule_record.h"
#include "support/empty_archives.h"
#include "support/failure_reason.h"
#include "support/scheduler_stand_ins.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QShortcut>

#include <algorithm>

namespace rk::test {
namespace {

using ui::Answer;
using ui::Buttons;
using ui::CallKind;
using ui::Icon;

TEST_F(MainWindowTest, ConnectTakesOnlyAFolderWithJobsAndOnlyForThisRun) {
    Job("Home job");
    fs::create_directories(sandbox.c() / "Empty" / "NoJobHere");
    sandbox.write(sandbox.c() / "Other" / "Weekly" / "rkjob.ini", "[settings]\r\n");
    const auto window = Open();
    const std::string settingsBefore = sandbox.read(ProgramSettingsFile());

    seam.AnswerFolder(std::nullopt);
    seam.AnswerFolder((sandbox.c() / "Empty").string());
    seam.AnswerMessage(Answer::OK);
    window->mnuFile.at(jobs::FileCommand::Connect)->trigger();
    window->mnuFile.at(jobs::FileCommand::Connect)->trigger();
    EXPECT_EQ(window->windowTitle(), "Ravelkeep - C:\\Backups\\");
    EXPECT_EQ(Listed(*window), std::vector<std::string>{"Home job"});
    ASSERT_EQ(seam.Calls().size(), 3u);
    EXPECT_EQ(seam.Calls()[0].kind, CallKind::Folder);
    EXPECT_EQ(seam.Calls()[0].title, "Select where you want to store your backups");
    EXPECT_EQ(seam.Calls()[2].text,
              "This subfolders in this directory do not contain any Ravelkeep sets.");
    EXPECT_EQ(seam.Calls()[2].buttons, Buttons::OK);
    EXPECT_EQ(seam.Calls()[2].icon, Icon::Exclamation);

    seam.AnswerFolder((sandbox.c() / "Other").string());
    window->mnuFile.at(jobs::FileCommand::Connect)->trigger();
    EXPECT_EQ(JobStoreFolder, "C:\\Other\\");
    EXPECT_EQ(window->windowTitle(), "Ravelkeep - C:\\Other\\");
    EXPECT_EQ(Listed(*window), std::vector<std::string>{"Weekly"});
    EXPECT_EQ(sandbox.read(ProgramSettingsFile()), settingsBefore) << "\"jobs\" is not written";
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainWindowTest, NewBackupJobWithEveryAnswer) {
    fs::create_directories(Store() / "Taken");
    const auto window = Open();
    seam.AnswerInput(std::nullopt);
    seam.AnswerInput("");
    seam.AnswerInput("a|b");
    seam.AnswerMessage(Answer::OK);
    seam.AnswerInput("Taken");
    seam.AnswerMessage(Answer::OK);
    for (int i = 0; i < 4; ++i)
        window->mnuFile.at(jobs::FileCommand::NewJob)->trigger();
    EXPECT_TRUE(Listed(*window).empty());
    EXPECT_FALSE(fs::exists(Store() / "a|b"));

    // By the toolbar's first button, with a job selected before.
    Job("Old");
    window->mnuFile.at(jobs::FileCommand::Refresh)->trigger();
    Select(*window, "Old");
    seam.AnswerInput("Name with spaces 2.0");
    window->Toolbar1Buttons[1]->trigger();
    EXPECT_TRUE(fs::exists(Store() / "Name with spaces 2.0" / "excl.ini"));
    EXPECT_EQ(Listed(*window).size(), 2u);
    EXPECT_TRUE(window->lstBackupJobs->selectedItems().isEmpty());
    EXPECT_FALSE(window->cmdExclude->isEnabled());

    EXPECT_EQ(seam.Problems(), "");
    const auto& calls = seam.Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].kind, CallKind::Input);
    EXPECT_EQ(calls[0].text, "Enter a name for the backup job:");
    EXPECT_EQ(calls[0].title, "New Backup Job");
    EXPECT_EQ(calls[0].defaultText, "");
    EXPECT_EQ(calls[3].text, "Name cannot contain the characters \\/:*?<>|\"");
    EXPECT_EQ(calls[5].text, "A backup job with that name already exists!");
}

TEST_F(MainWindowTest, DeleteBackupJobWithEveryAnswer) {
    Job("Keep");
    const fs::path doomed = Job("Doomed");
    sandbox.write(doomed / "rk_2024_01_01_00_00_00.zip", "zip");
    fs::permissions(doomed / "rk_2024_01_01_00_00_00.zip", fs::perms::owner_read);
    const auto window = Open();

    seam.AnswerMessage(Answer::OK);
    window->mnuFile.at(jobs::FileCommand::DeleteJob)->trigger();
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].text, "No backup job selected");
    EXPECT_EQ(seam.Calls()[0].icon, Icon::None);
    EXPECT_EQ(seam.Calls()[0].buttons, Buttons::OK);

    Select(*window, "Doomed");
    seam.AnswerMessage(Answer::No);
    window->mnuFile.at(jobs::FileCommand::DeleteJob)->trigger();
    seam.AnswerMessage(Answer::Yes);
    seam.AnswerMessage(Answer::No);
    window->mnuFile.at(jobs::FileCommand::DeleteJob)->trigger();
    EXPECT_TRUE(fs::exists(doomed / "rk_2024_01_01_00_00_00.zip"));
    EXPECT_EQ(window->lstBackupJobs->selectedItems().size(), 1) << "nothing was refreshed";

    seam.AnswerMessage(Answer::Yes);
    seam.AnswerMessage(Answer::Yes);
    window->Toolbar1Buttons[2]->trigger();
    EXPECT_FALSE(fs::exists(doomed));
    EXPECT_EQ(Listed(*window), std::vector<std::string>{"Keep"});
    EXPECT_TRUE(window->lstBackupJobs->selectedItems().isEmpty());

    EXPECT_EQ(seam.Problems(), "");
    const auto& calls = seam.Calls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[1].text, "Delete the selected backup job?");
    EXPECT_EQ(calls[1].buttons, Buttons::YesNo);
    EXPECT_EQ(calls[1].icon, Icon::Question);
    EXPECT_EQ(calls[3].text, "Deleting the selected backup job will delete all backups stored "
                             "in C:\\Backups\\Doomed\r\n\r\nAre you sure you want to continue?");
    EXPECT_EQ(calls[3].buttons, Buttons::YesNo);
    EXPECT_EQ(calls[3].icon, Icon::Exclamation);
    EXPECT_EQ(calls[3].defaultAnswer, Answer::No);
}

TEST_F(MainWindowTest, DeletingAJobRemovesItsSchedule) {
    Job("Keep");
    Job("Nightly Job");
    SchedulerStandIns standIns(sandbox);
    const schedule::Schedule daily{schedule::Frequency::Daily, 2, 0, 1};
    for (const char* name : {"Nightly Job", "Keep"})
        ASSERT_EQ(test::FailureReason(schedule::InstallSchedule(name, daily, {"/opt/rk/rkbak", ""},
                                                                schedule::Place::SystemdTimer)),
                  std::nullopt);
    const fs::path timer = standIns.UnitFolder() / "ravelkeep-backup-Nightly\\x20Job.timer";
    const fs::path retry = standIns.UnitFolder() / "ravelkeep-retry-Nightly\\x20Job.timer";
    ASSERT_TRUE(fs::exists(timer));
    ASSERT_TRUE(fs::exists(retry));
    const auto window = Open();
    Select(*window, "Nightly Job");
    seam.AnswerMessage(Answer::Yes);
    seam.AnswerMessage(Answer::Yes);
    standIns.ClearCalls();
    window->mnuFile.at(jobs::FileCommand::DeleteJob)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_FALSE(fs::exists(timer));
    EXPECT_FALSE(fs::exists(retry));
    EXPECT_FALSE(fs::exists(standIns.UnitFolder() / "timers.target.wants" /
                            "ravelkeep-retry-Nightly\\x20Job.timer"));
    EXPECT_EQ(schedule::ReadInstalledSchedule("Keep").place, schedule::Place::SystemdTimer);
    const std::vector<std::string> calls = standIns.Calls();
    EXPECT_NE(
        std::find(calls.begin(), calls.end(),
                  "systemctl [--user] [disable] [--now] [ravelkeep-backup-Nightly\\x20Job.timer]"),
        calls.end());
}

// A scheduled job without a recent backup is marked in the list; its text
// stays its name. The schedule is read from the record of what was
// installed, a crontab line as well as a timer.
TEST_F(MainWindowTest, OverdueScheduledJobsAreMarked) {
    const fs::path late = Job("Late");
    const fs::path fresh = Job("Fresh");
    const schedule::Schedule daily{schedule::Frequency::Daily, 2, 0, 1};
    schedule::WriteScheduleRecord(
        "C:\\Backups\\Late",
        schedule::RecordOfInstall(schedule::Place::Crontab, daily, std::time(nullptr) - 5 * 86400));
    schedule::WriteScheduleRecord("C:\\Backups\\Fresh",
                                  schedule::RecordOfInstall(schedule::Place::SystemdTimer, daily,
                                                            std::time(nullptr) - 5 * 86400));
    const std::time_t now = std::time(nullptr);
    for (const auto& [folder, age] : {std::pair{late, 3 * 86400}, std::pair{fresh, 3600}}) {
        std::time_t when = now - age;
        std::tm local{};
        localtime_r(&when, &local);
        sandbox.write(folder / "rkjob.ini", sandbox.read(folder / "rkjob.ini") +
                                                "[lastbackup]\r\ntime=" + RecordedTime(local) +
                                                "\r\nmode=incremental\r\noutcome=made\r\n");
    }
    const auto window = Open();
    const QListWidgetItem* lateItem = window->lstBackupJobs->findItems("Late", Qt::MatchExactly)[0];
    const QListWidgetItem* freshItem =
        window->lstBackupJobs->findItems("Fresh", Qt::MatchExactly)[0];
    EXPECT_FALSE(lateItem->icon().isNull());
    EXPECT_EQ(lateItem->toolTip().toStdString().rfind(
                  "Scheduled every day at 02:00, but the last backup was made ", 0),
              0u)
        << lateItem->toolTip().toStdString();
    EXPECT_TRUE(freshItem->icon().isNull());
    EXPECT_TRUE(freshItem->toolTip().isEmpty());

    // Never run since a crontab line was installed three days ago.
    Job("Never");
    schedule::WriteScheduleRecord(
        "C:\\Backups\\Never",
        schedule::RecordOfInstall(schedule::Place::Crontab, daily, now - 3 * 86400));
    window->DataRefresh();
    const QListWidgetItem* neverItem =
        window->lstBackupJobs->findItems("Never", Qt::MatchExactly)[0];
    EXPECT_EQ(neverItem->toolTip().toStdString().rfind(
                  "Scheduled every day at 02:00, but no backup has been made since ", 0),
              0u)
        << neverItem->toolTip().toStdString();
}

TEST_F(MainWindowTest, HelpUpgradeNotesAboutOptionsAndExit) {
    const auto window = Open();
    seam.AnswerHelp();
    window->mnuHelp.at(10)->trigger();
    seam.AnswerHelp();
    auto* helpKey = window->findChild<QShortcut*>("HelpKey");
    ASSERT_NE(helpKey, nullptr);
    EXPECT_EQ(helpKey->key(), QKeySequence(Qt::Key_F1));
    emit helpKey->activated();
    seam.AnswerForm([](QDialog& form) { form.accept(); });
    window->mnuHelp.at(16)->trigger();
    seam.AnswerMessage(Answer::OK);
    window->mnuHelp.at(20)->trigger();
    seam.AnswerForm([](QDialog& form) { form.reject(); });
    window->mnuFile.at(jobs::FileCommand::Options)->trigger();
    // Separators and unknown numbers do nothing.
    window->mnuHelp_Click(15);
    window->mnuFile_Click(99);

    EXPECT_EQ(seam.Problems(), "");
    const auto& calls = seam.Calls();
    ASSERT_EQ(calls.size(), 5u);
    const std::string helpFile = (ProgramFolder() / "rkbak.hlp").string();
    EXPECT_EQ(calls[0].kind, CallKind::Help);
    EXPECT_EQ(calls[0].text, helpFile);
    EXPECT_EQ(calls[1].kind, CallKind::Help);
    EXPECT_EQ(calls[2].text, "frmUpgrade");
    EXPECT_EQ(calls[3].text, std::string("Ravelkeep\r\nVersion: ") + RK_VERSION_TEXT +
                                 "\r\nCopyright (C) the Ravelkeep authors. Ravelkeep comes with "
                                 "absolutely no warranty; keep a second copy of anything you "
                                 "cannot afford to lose.");
    EXPECT_EQ(calls[3].icon, Icon::None);
    EXPECT_EQ(calls[4].text, "frmOptions");
    EXPECT_EQ(std::string(RK_VERSION_TEXT).find_first_not_of("0123456789."), std::string::npos);

    // Exit closes the window, and with it a window left open beside it.
    QDialog helpWindow;
    helpWindow.show();
    window->show();
    ASSERT_TRUE(window->isVisible());
    window->mnuFile.at(jobs::FileCommand::Exit)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(helpWindow.isVisible());
}

// Exclude... opens the job's "excl.ini" in the desktop; a job without one
// opens nothing. Only the menu sets the status text.
TEST_F(MainWindowTest, ExcludeOpensTheExclusionFile) {
    sandbox.write(Job("With") / "excl.ini", "*.tmp\r\n");
    Job("Without");
    const auto window = Open();
    Select(*window, "With");
    window->SetStatusText("before");
    seam.AnswerOpen();
    window->cmdExclude->click();
    EXPECT_EQ(window->StatusText(), "before");
    seam.AnswerOpen();
    window->mnuJob.at(jobs::JobCommand::Exclusions)->trigger();
    EXPECT_EQ(window->StatusText(), "Done");
    Select(*window, "Without");
    window->mnuJob.at(jobs::JobCommand::Exclusions)->trigger();

    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[0].kind, CallKind::Open);
    EXPECT_EQ(seam.Calls()[0].text, (Store() / "With" / "excl.ini").string());
}

TEST_F(MainWindowTest, ViewExtractConsolidateOpensTheExtractDialogForTheJob) {
    const fs::path folder = Job("Weekly");
    sandbox.write(folder / "rk_2024_03_01_10_00_00.zip", "zip");
    sandbox.write(folder / "rk_2024_02_01_10_00_00.zip", "zip");
    const auto window = Open();

    std::string source;
    int archives = -1;
    const auto look = [&](QDialog& form) {
        EXPECT_EQ(form.windowTitle(), "Extract Range");
        source = Text(form.findChild<QLineEdit*>("txtSource"));
        archives = form.findChild<QListWidget*>("lstBackupsList")->count();
        form.reject();
    };
    seam.AnswerForm(look);
    window->cmdAction[2]->click();
    EXPECT_EQ(source, "");
    EXPECT_EQ(archives, 0);
    EXPECT_EQ(window->StatusText(), "Done");

    Select(*window, "Weekly");
    window->SetStatusText("");
    seam.AnswerForm(look);
    window->mnuJob.at(jobs::JobCommand::ViewExtractConsolidate)->trigger();
    EXPECT_EQ(source, "C:\\Backups\\Weekly");
    EXPECT_EQ(archives, 2);
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[0].text, "frmExtract");
}

// A job folder past a 16-bit count: the window counts every archive, and the
// extract dialog it opens lists the same ones, the newest last.
TEST_F(MainWindowTest, TheWindowCountsTheArchivesTheRestoreSees) {
    const fs::path folder = Job("Hourly");
    WriteEmptyArchives(folder, 33000, 1609459200);
    sandbox.write(folder / "rk_2025_03_01_08_00_00.zip", "zip");
    sandbox.write(folder / "rk_2025_09_01_08_00_00.zip", "zip");
    const auto window = Open();
    Select(*window, "Hourly");
    EXPECT_NE(Text(window->lblInfo).find("\r\n33002 backup file(s) "), std::string::npos)
        << Text(window->lblInfo);

    int archives = -1;
    std::string newest;
    seam.AnswerForm([&](QDialog& form) {
        const auto* list = form.findChild<QListWidget*>("lstBackupsList");
        archives = list->count();
        newest = list->item(list->count() - 1)->text().toStdString();
        form.reject();
    });
    window->mnuJob.at(jobs::JobCommand::ViewExtractConsolidate)->trigger();
    EXPECT_EQ(archives, 33002);
    EXPECT_EQ(newest, "rk_2025_09_01_08_00_00.zip");
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
} // namespace rk::test

namespace rk::test {
namespace {

// The usual keys sit beside the menus' accelerators without changing any
// caption; Delete belongs to the job list alone and asks the same questions.
TEST_F(MainWindowTest, TheUsualKeysBesideTheAccelerators) {
    Job("Doomed");
    const auto window = Open();
    const auto key = [&](std::int16_t command) {
        return window->mnuFile.at(command)->shortcut().toString().toStdString();
    };
    EXPECT_EQ(key(jobs::FileCommand::NewJob), "Ctrl+N");
    EXPECT_EQ(key(jobs::FileCommand::Refresh), "F5");
    EXPECT_EQ(key(jobs::FileCommand::Exit), "Ctrl+Q");
    EXPECT_EQ(window->mnuFile.at(jobs::FileCommand::NewJob)->text(), "&New Backup Job...");
    EXPECT_EQ(window->mnuFile.at(jobs::FileCommand::Exit)->text(), "E&xit");
    EXPECT_TRUE(window->mnuFile.at(jobs::FileCommand::DeleteJob)->shortcut().isEmpty());

    auto* deleteKey = window->lstBackupJobs->findChild<QShortcut*>("DeleteJobKey");
    ASSERT_NE(deleteKey, nullptr);
    EXPECT_EQ(deleteKey->key(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(deleteKey->context(), Qt::WidgetShortcut);
    Select(*window, "Doomed");
    seam.AnswerMessage(ui::Answer::Yes);
    seam.AnswerMessage(ui::Answer::No);
    emit deleteKey->activated();
    EXPECT_TRUE(fs::exists(Store() / "Doomed"));
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[0].text, "Delete the selected backup job?");
}

} // namespace
} // namespace rk::test

namespace rk::test {
namespace {

TEST_F(MainWindowTest, RestoreFilesOpensTheWindowOfTheSelectedJobsPointsInTime) {
    Job("Weekly", "[settings]\r\n[copy]\r\nremote=offsite:backups/Weekly\r\n");
    const auto window = Open();
    EXPECT_FALSE(window->mnuJob.at(jobs::JobCommand::RestoreFiles)->isEnabled());
    Select(*window, "Weekly");
    ASSERT_TRUE(window->mnuJob.at(jobs::JobCommand::RestoreFiles)->isEnabled());

    std::string title;
    std::string header;
    std::string status;
    seam.AnswerForm([&](QDialog& form) {
        title = form.windowTitle().toStdString();
        // Once shown, the window reads the job's backups by itself.
        QCoreApplication::processEvents();
        header = Text(form.findChild<QLabel*>("lblJob"));
        status = Text(form.findChild<QLabel*>("lblStatus"));
        form.reject();
    });
    window->mnuJob.at(jobs::JobCommand::RestoreFiles)->trigger();
    EXPECT_EQ(title, "Restore Files");
    EXPECT_EQ(header, "Backups of C:\\Backups\\Weekly    (copy set: offsite:backups/Weekly)");
    EXPECT_EQ(status, "0 backups");
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].text, "frmRestoreFiles");
}

} // namespace
} // namespace rk::test
