// The commands of the main window's menus, and the buttons and toolbar
// buttons that forward to them by command number.

#include "app/frm_options.h"
#include "app/frm_upgrade.h"
#include "core/program_values.h"
#include "core/text.h"
#include "jobs/about_text.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_encryption.h"
#include "jobs/frm_main.h"
#include "jobs/frm_schedule.h"
#include "jobs/job_store.h"
#include "platform/file_system.h"
#include "restore/frm_extract.h"
#include "restore/point_in_time/frm_restore_files.h"
#include "schedule/installed_schedule.h"
#include "ui/file_dialogs.h"
#include "ui/help.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QLineEdit>
#include <QListWidget>

namespace rk::jobs {

namespace {

constexpr std::string_view kNoJobsText =
    "This subfolders in this directory do not contain any Ravelkeep sets.";

} // namespace

void frmMain::mnuFile_Click(std::int16_t Index) {
    if (running_)
        return;
    switch (Index) {
    case FileCommand::Connect:
        Connect();
        break;
    case FileCommand::NewJob:
        NewBackupJob();
        break;
    case FileCommand::DeleteJob:
        DeleteBackupJob();
        break;
    case FileCommand::Refresh:
        RefreshKeepingSelection();
        break;
    case FileCommand::GetJobFromCopy:
        GetJobFromCopy();
        break;
    case FileCommand::Options:
        app::ShowOptions(this);
        break;
    case FileCommand::Exit:
        close();
        break;
    default:
        break;
    }
}

void frmMain::mnuJob_Click(std::int16_t Index) {
    if (running_)
        return;
    bool completed = true;
    switch (Index) {
    case JobCommand::RootBackup:
        completed = RunJobBackup(BackupMode::Root);
        break;
    case JobCommand::IncrementalBackup:
        completed = RunJobBackup(BackupMode::Incremental);
        break;
    case JobCommand::ViewExtractConsolidate:
        ViewExtractConsolidate();
        break;
    case JobCommand::RestoreFiles:
        RestoreFiles();
        break;
    case JobCommand::SourceFolders:
        ChooseSourceFolders();
        break;
    case JobCommand::Exclusions:
        EditExclusions();
        break;
    case JobCommand::VerifyBackups:
        completed = VerifyJobBackups();
        break;
    case JobCommand::Schedule:
        ScheduleJob();
        break;
    case JobCommand::Keep:
        EditKeepPolicy();
        break;
    case JobCommand::ThinNow:
        completed = ThinJobBackups(true);
        break;
    case JobCommand::CopyTo:
        ChooseCopyTarget();
        break;
    case JobCommand::CopyNow:
        if (const std::optional<std::string> name = SelectedJobName())
            completed = CopyJobBackups(*name, true);
        break;
    case JobCommand::Encryption:
        if (const std::optional<std::string> name = SelectedJobName())
            ShowEncryptionDialog(this, Job(JobStoreFolder, *name));
        break;
    default:
        break;
    }
    const bool backup = Index == JobCommand::RootBackup || Index == JobCommand::IncrementalBackup;
    // A job with a keep policy is thinned after each backup that was made.
    if (completed && backup)
        completed = ThinJobBackups(false);
    // A job with a copy elsewhere: what the run made goes there too. A copy
    // that stays pending does not make the run fail: the job's information
    // says so.
    if (const std::optional<std::string> name = SelectedJobName();
        name && (backup || Index == JobCommand::ThinNow))
        CopyJobBackups(*name, false);
    // A backup, consolidation, verification or change of settings shows in
    // the job's information, commands and lines at once, without selecting
    // the job again. The Schedule dialog's line was read by ScheduleJob,
    // with the scheduler asked.
    if (Index != JobCommand::Schedule)
        ReadJobsAgain();
    SetStatusText(completed ? "Done" : "Could not complete last action");
}

void frmMain::mnuHelp_Click(std::int16_t Index) {
    if (running_)
        return;
    switch (Index) {
    case HelpCommand::Contents:
        // As a press of F1: the help opens at its contents.
        ui::ShowHelp();
        break;
    case HelpCommand::UpgradeNotes:
        app::ShowUpgradeNotes(this);
        break;
    case HelpCommand::About:
        ShowAbout();
        break;
    default:
        break;
    }
}

void frmMain::cmdAction_Click(std::int16_t Index) {
    mnuJob_Click(static_cast<std::int16_t>((Index + 1) * 10));
}

void frmMain::Toolbar1_ButtonClick(std::int16_t Index) {
    mnuFile_Click(static_cast<std::int16_t>(Index * 10));
}

void frmMain::cmdChooseSource_Click() {
    if (!running_)
        ChooseSourceFolders();
}

void frmMain::cmdSchedule_Click() {
    mnuJob_Click(JobCommand::Schedule);
}

void frmMain::cmdExclude_Click() {
    if (!running_)
        EditExclusions();
}

void frmMain::Connect() {
    const std::string folder =
        ui::BrowseForFolder(this, "Select where you want to store your backups", JobStoreFolder);
    if (folder.empty())
        return;
    if (!FolderHasJobs(folder)) {
        ui::MsgBox(kNoJobsText, ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    // For this run only: the setting "jobs" keeps the stored job store.
    JobStoreFolder = AddBackslash(folder);
    DataRefresh();
}

void frmMain::NewBackupJob() {
    const std::optional<std::string> name =
        ui::Current().InputBox("Enter a name for the backup job:", "New Backup Job", "");
    if (!name || name->empty())
        return;
    if (const Result<void> made = MakeJob(*name); !made) {
        ui::MsgBox(made.reason(), ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    DataRefresh();
}

void frmMain::DeleteBackupJob() {
    if (!SelectedJobName()) {
        ui::MsgBox("No backup job selected");
        return;
    }
    if (ui::MsgBox("Delete the selected backup job?", ui::Buttons::YesNo, ui::Icon::Question) !=
        ui::Answer::Yes)
        return;
    if (ui::MsgBox("Deleting the selected backup job will delete all backups stored in " +
                       JobStoreFolder + *SelectedJobName() +
                       "\r\n\r\nAre you sure you want to continue?",
                   ui::Buttons::YesNo, ui::Icon::Exclamation, ui::Answer::No) != ui::Answer::Yes)
        return;
    // The name is taken afresh from the job list.
    if (const std::optional<std::string> name = SelectedJobName()) {
        DeleteJobFolder(JobStoreFolder + *name);
        // A schedule left behind would run a backup of a job that is gone.
        if (!platform::FindAnyEntry(JobStoreFolder + *name))
            if (const Result<void> removed = schedule::RemoveSchedule(*name); !removed)
                ui::MsgBox("The backup job was deleted, but its schedule could not be removed: " +
                               removed.reason(),
                           ui::Buttons::OK, ui::Icon::Exclamation);
    }
    DataRefresh();
}

void frmMain::ViewExtractConsolidate() {
    restore::frmExtract extract(*this, this);
    if (const std::optional<std::string> name = SelectedJobName()) {
        extract.txtSource->setText(ui::ToQString(JobStoreFolder + *name));
        extract.UpdateFileList();
    }
    ui::Current().ShowModal(extract);
}

void frmMain::RestoreFiles() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name)
        return;
    // The window reads the backups once it is shown.
    restore::frmRestoreFiles form(CurrentInstallation(), JobStoreFolder + *name, this);
    ui::Current().ShowModal(form);
}

void frmMain::ShowAbout() {
    ui::MsgBox(AboutText());
}

void frmMain::ScheduleJob() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name)
        return;
    SetStatusText("Reading the job's schedule");
    // Opening the dialog may correct the schedule's record, so the line is
    // read again either way; after a change the scheduler is asked too.
    const bool changed = ShowScheduleDialog(this, *name);
    ShowSchedule(*name, changed);
    // The job list's mark depends on the schedule.
    for (QListWidgetItem* item : lstBackupJobs->selectedItems())
        MarkJobItem(*item);
}

} // namespace rk::jobs
