// The commands of a job's copy on other storage: Copy Backups To... and Copy
// Now (Job menu), the copy after every backup and thinning made from the
// window, and Get Job From Copy... (File menu).

#include "core/program_values.h"
#include "engine/copy_record.h"
#include "engine/job_copy.h"
#include "jobs/busy_window.h"
#include "jobs/frm_copy.h"
#include "jobs/frm_main.h"
#include "platform/clock.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

namespace rk::jobs {

bool frmMain::CopyJobBackups(const std::string& jobName, bool asked) {
    if (running_)
        return false;
    const std::string jobFolder = JobFolderOf(jobName);
    if (ReadCopyRecord(jobFolder).remote.empty()) {
        if (asked)
            ui::MsgBox("The job \"" + jobName +
                           "\" has no copy on other storage. Choose where with Copy Backups "
                           "To... first.",
                       ui::Buttons::OK, ui::Icon::Exclamation);
        return !asked;
    }
    CopyEnd end;
    {
        running_ = true;
        cancelRequested_ = false;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        const CopyWatch watch = StartCopyProgress("Copying to " + ReadCopyRecord(jobFolder).remote);
        end = CopyJob(jobFolder, watch, platform::Now());
        cmdCancelRun->hide();
        running_ = false;
        SetProgressValue(0);
    }
    lstBackupJobs->setFocus();
    // A copy that stays pending shows in the job's information; only the
    // person who asked for it is told at once.
    if (asked) {
        if (end.complete)
            ui::MsgBox("Every backup of \"" + jobName + "\" is on " + end.remote + ".");
        else if (!end.cancelled)
            ui::MsgBox(end.PendingLine(), ui::Buttons::OK, ui::Icon::Exclamation);
    }
    return end.complete || !asked;
}

CopyWatch frmMain::StartCopyProgress(const std::string& status) {
    SetStatusText(status);
    SetProgressMinimum(0);
    SetProgressMaximum(100);
    SetProgressValue(0);
    cmdCancelRun->setEnabled(true);
    cmdCancelRun->show();
    CopyWatch watch;
    watch.percent = [this](int percent) { SetProgressValue(percent); };
    watch.stopRequested = [this] { return cancelRequested_; };
    watch.whileWaiting = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 40); };
    return watch;
}

void frmMain::ChooseCopyTarget() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return;
    const std::string jobFolder = JobFolderOf(*name);
    const std::string before = ReadCopyRecord(jobFolder).remote;
    frmCopyTo form(*name, before, this);
    if (ui::Current().ShowModal(form) != QDialog::Accepted)
        return;
    const std::string chosen = form.Remote();
    if (chosen == before)
        return;
    if (!chosen.empty()) {
        if (const Result<CopyTarget> target = CheckCopyTarget(chosen); !target) {
            ui::MsgBox("The backups of \"" + *name + "\" cannot be copied to " + chosen + ": " +
                           target.reason(),
                       ui::Buttons::OK, ui::Icon::Exclamation);
            return;
        }
    }
    if (const Result<void> written = WriteCopyRemote(jobFolder, chosen); !written) {
        ui::MsgBox("The copy setting of \"" + *name + "\" could not be saved: " + written.reason(),
                   ui::Buttons::OK, ui::Icon::Critical);
        return;
    }
    // The backups made so far go at once.
    if (!chosen.empty())
        CopyJobBackups(*name, false);
}

bool frmMain::GetJobFromCopy() {
    if (running_)
        return false;
    frmGetJob form(this);
    if (ui::Current().ShowModal(form) != QDialog::Accepted)
        return false;
    const std::optional<std::string> name = form.JobName();
    if (!name)
        return false;
    const Result<CopyTarget> folder = CheckCopyTarget(form.Folder());
    Result<void> fetched = folder ? Result<void>() : Result<void>::Failure(folder.reason());
    if (folder) {
        running_ = true;
        cancelRequested_ = false;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        const CopyWatch watch =
            StartCopyProgress("Getting \"" + *name + "\" from " + folder->Text());
        fetched = FetchJob(*folder, *name, JobStoreFolder, watch);
        cmdCancelRun->hide();
        running_ = false;
        SetProgressValue(0);
    }
    if (!fetched) {
        ui::MsgBox("The job \"" + *name + "\" could not be brought back: " + fetched.reason(),
                   ui::Buttons::OK, ui::Icon::Critical);
        return false;
    }
    DataRefresh();
    const QList<QListWidgetItem*> found =
        lstBackupJobs->findItems(ui::ToQString(*name), Qt::MatchExactly);
    if (!found.isEmpty())
        lstBackupJobs->setCurrentItem(found.front());
    return true;
}

} // namespace rk::jobs
