#pragma once
// The main window: the job list, the selected job's properties with its
// command buttons, the menus File, Job and Help, the toolbar, and the status
// bar whose first panel is the status text. Its status text and progress bar
// are the program's progress display.

#include "engine/backup_mode.h"
#include "engine/job.h"
#include "engine/progress_display.h"
#include "engine/rclone_run.h"
#include "jobs/folder_gatherer.h"

#include <QIcon>
#include <QMainWindow>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QAction;
class QFileSystemWatcher;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolBar;

namespace rk {
class StatusBarProgress;
}

namespace rk::jobs {

// A menu's items by command number; separators are items too.
using MenuArray = std::map<std::int16_t, QAction*>;

class frmMain final : public QMainWindow, public ProgressDisplay {
  public:
    // Loads the window (not shown): it is centred and, when a person is
    // present, the first-start offer of the My Documents job is made once.
    explicit frmMain(bool bPersonPresent = true, QWidget* parent = nullptr);
    ~frmMain() override;

    // Refills the job list from JobStoreFolder, sets the title; no job is
    // selected afterwards.
    void DataRefresh();
    // File > Refresh: the job list read again, with the job selected before
    // still selected when it is still there, its information read anew.
    void RefreshKeepingSelection();
    // Shows the selected job and enables its commands.
    void UpdateProperties();
    // The first-start offer: asks whether to make a job for the user's
    // documents folder, makes it, and says why when it could not.
    void OfferMyDocumentsJob();

    // The text of the status bar's first panel.
    std::string StatusText() const;
    void SetStatusText(std::string_view text) override;
    void SetProgressMinimum(int minimum) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressValue(int value) override;

    // True while a backup run is in progress: the window takes no input then.
    bool Running() const { return running_; }

    // The event handlers; indexes are command numbers (toolbar buttons count
    // from 1).
    void mnuFile_Click(std::int16_t Index);
    void mnuJob_Click(std::int16_t Index);
    void mnuHelp_Click(std::int16_t Index);
    void cmdAction_Click(std::int16_t Index);
    void Toolbar1_ButtonClick(std::int16_t Index);
    void cmdChooseSource_Click();
    void cmdExclude_Click();
    void cmdSchedule_Click();
    void lstBackupJobs_Click();
    void axFolderGatherer_RequestNewItem(std::optional<FolderItem>& item);

    QLabel* lblBackupJobs;
    QListWidget* lstBackupJobs;
    // The frame holding the job list beside the selected job's box.
    QFrame* Frame2;
    QGroupBox* grpJob;
    QLabel* lblSource;
    QLineEdit* txtSource;
    QPushButton* cmdChooseSource;
    QPushButton* cmdExclude;
    // Opens the Schedule dialog for the selected job.
    QPushButton* cmdSchedule;
    QPushButton* cmdKeep;
    std::array<QPushButton*, 3> cmdAction;
    QLabel* lblInfo;
    // The end of the job's last backup run, below the job information.
    QLabel* lblLastBackup;
    // When the job's incremental backup runs by itself, and its next run.
    QLabel* lblSchedule;
    // The toolbar: shortcuts to the File menu's New, Delete and Refresh.
    QToolBar* Toolbar1;
    // The toolbar's buttons 1 "New", 2 "Delete", 3 "Refresh" (index 0 unused).
    std::array<QAction*, 4> Toolbar1Buttons{};
    std::array<QIcon, 3> axImageList;
    QStatusBar* axStatusBar;
    QProgressBar* axProgressBar;
    // Beside the progress bar while a backup runs: stops the zip utility.
    QPushButton* cmdCancelRun;
    FolderGatherer* axFolderGatherer;

    QMenu* tmnuFile;
    QMenu* tmnuJob;
    QMenu* tmnuHelp;
    MenuArray mnuFile;
    MenuArray mnuJob;
    MenuArray mnuHelp;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* statusPanel_;
    std::unique_ptr<StatusBarProgress> progress_;
    bool running_ = false;
    // Cancel was pressed during the backup run in progress.
    bool cancelRequested_ = false;
    // The job folders, their "rkjob.ini" and the folder of skip records;
    // a change starts followTimer_, whose end reads the job store again.
    QFileSystemWatcher* storeWatcher_ = nullptr;
    QTimer* followTimer_ = nullptr;

    // frm_main_controls.cpp
    void BuildControls();
    void BuildMenus();
    void BuildToolbar();
    void ArrangeControls();
    void ConnectControls();

    void Form_Load(bool bPersonPresent);
    // The selected job's name, or nothing.
    std::optional<std::string> SelectedJobName() const;
    // The selected job's source, enabled commands and lines as they are on
    // disk now (nothing selected clears them); the status text is left.
    void ShowSelectedJob();
    // After a command that may have changed job folders: every job's mark
    // and the selected job's information, commands and lines read again.
    void ReadJobsAgain();
    // The job information, last-backup and schedule lines of the job.
    void ShowJobLines(const std::string& jobName, bool askScheduler);
    // The line about the job's last backup run, or the run skipped since.
    void ShowLastBackup(const Job& job);
    // The line about the job's schedule, from the record of what the
    // Schedule dialog installed; `askScheduler` asks systemd or cron for the
    // next run and what stops it.
    void ShowSchedule(const std::string& jobName, bool askScheduler);
    // Marks a job whose last backup failed, was partial or skipped, or that
    // is overdue (icon and tooltip).
    void MarkJobItem(QListWidgetItem& item);
    // Watches the listed jobs' folders and settings and the skip records
    // anew (a file replaced by rename is no longer watched).
    void WatchJobStore();
    // Reads the marks and the selected job's lines again after a change.
    void FollowJobStore();
    // The bar shows only while a run uses it.
    void ShowProgressBarWhenUsed();
    void SetJobCommands(bool rootBackup, bool incrementalBackup, bool sourceAndExclusions);

    // main_commands.cpp
    void Connect();
    void NewBackupJob();
    void DeleteBackupJob();
    void ViewExtractConsolidate();
    // "Restore Files...": the selected job's backups as points in time.
    void RestoreFiles();
    void ShowAbout();
    // backup_commands.cpp: false when the run failed.
    bool RunJobBackup(BackupMode mode);
    // Verify Backups: false when an archive does not read back.
    bool VerifyJobBackups();
    // Thins the selected job by its keep policy; `asked`: the person chose
    // Thin Backups Now (a job without a policy is told so, the end is told).
    bool ThinJobBackups(bool asked);
    void EditKeepPolicy();
    // copy_commands.cpp: the job's copy on other storage brought up to
    // date; `asked`: the person chose Copy Now (the end is told). False when
    // copies stay pending and the person asked.
    bool CopyJobBackups(const std::string& jobName, bool asked);
    // Shows `status`, a progress bar from 0 to 100 and Cancel for a transfer
    // of rclone, and gives the watch that keeps them current.
    CopyWatch StartCopyProgress(const std::string& status);
    // Copy Backups To...: where the job's copy goes.
    void ChooseCopyTarget();
    // Get Job From Copy...: a job brought back into the job store.
    bool GetJobFromCopy();
    // The Schedule dialog for the selected job.
    void ScheduleJob();
    // source_folders.cpp
    void ChooseSourceFolders();
    void EditExclusions();
};

} // namespace rk::jobs
