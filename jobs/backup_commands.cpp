// Create Root Backup and Create Incremental Backup: the backup run of the
// selected job, with its outcome told to the user.

#include "engine/backup_run.h"
#include "engine/backup_verification.h"
#include "engine/job.h"
#include "engine/tool_runner.h"
#include "jobs/busy_window.h"
#include "jobs/frm_copy.h"
#include "jobs/frm_main.h"
#include "ui/seam.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>

namespace rk::jobs {

bool frmMain::RunJobBackup(BackupMode mode) {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return false;
    SetStatusText(mode == BackupMode::Root ? "Creating master root backup"
                                           : "Creating incremental backup");

    const Installation installation = CurrentInstallation();
    const Job job(installation, *name);
    BackupOutcome outcome;
    {
        running_ = true;
        cancelRequested_ = false;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        // The zip utility's progress fills the bar (by bytes read, or by
        // files when they hold no bytes); Cancel beside it stops the run.
        SetProgressMinimum(0);
        SetProgressMaximum(1000);
        SetProgressValue(0);
        cmdCancelRun->setEnabled(true);
        cmdCancelRun->show();
        const ToolWatchScope watch(
            [this](const ToolProgress& progress) {
                const double share =
                    progress.bytesTotal > 0 ? static_cast<double>(progress.bytesDone) /
                                                  static_cast<double>(progress.bytesTotal)
                    : progress.filesTotal > 0 ? static_cast<double>(progress.filesDone) /
                                                    static_cast<double>(progress.filesTotal)
                                              : 1.0;
                SetProgressValue(static_cast<int>(share * 1000.0));
            },
            [this] { return cancelRequested_; });
        outcome = RunBackup(installation, job, mode);
        cmdCancelRun->hide();
        running_ = false;
        SetProgressValue(0);
    }
    // The window was disabled while the utility ran, which took the focus
    // from the job list: it goes back there.
    lstBackupJobs->setFocus();
    ShowLastBackup(job);
    // A run the person stopped needs no message: the status says it.
    switch (outcome.status) {
    case RunStatus::Done:
        return true;
    case RunStatus::Partial:
        ui::MsgBox(outcome.reason, ui::Buttons::OK, ui::Icon::Exclamation);
        return true;
    case RunStatus::Cancelled:
        return false;
    case RunStatus::Failed:
    case RunStatus::Refused:
        break;
    }
    ui::MsgBox(outcome.reason, ui::Buttons::OK, ui::Icon::Critical);
    return false;
}

bool frmMain::VerifyJobBackups() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return false;
    VerificationOutcome outcome;
    std::string copyText;
    {
        running_ = true;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        const Installation installation = CurrentInstallation();
        const Job job(installation, *name);
        outcome =
            VerifyBackups(installation, job, *this, [] { QCoreApplication::processEvents(); });
        // A copy elsewhere is checked against the archives here.
        copyText = CopyVerificationText(job.folder(), [] { QCoreApplication::processEvents(); });
        running_ = false;
    }
    lstBackupJobs->setFocus();
    const bool sound = outcome.status == RunStatus::Done && copyText.empty();
    ui::MsgBox(VerificationText(*name, outcome) + copyText, ui::Buttons::OK,
               sound ? ui::Icon::None : ui::Icon::Exclamation);
    return sound;
}

} // namespace rk::jobs
