// The Job menu's thinning commands: Keep... and Thin Backups Now, and the
// thinning after a backup made from the window.

#include "core/program_values.h"
#include "engine/keep_policy.h"
#include "jobs/busy_window.h"
#include "jobs/frm_keep.h"
#include "jobs/frm_main.h"
#include "restore/thinning_run.h"
#include "ui/seam.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QMenuBar>
#include <QToolBar>

namespace rk::jobs {

void frmMain::EditKeepPolicy() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name)
        return;
    ShowKeepDialog(this, Job(JobStoreFolder, *name));
}

bool frmMain::ThinJobBackups(bool asked) {
    const std::optional<std::string> name = SelectedJobName();
    if (!name || running_)
        return false;
    const Installation installation = CurrentInstallation();
    const Job job(installation, *name);
    if (!ReadKeepPolicy(job)) {
        if (asked)
            ui::MsgBox("The job \"" + *name +
                           "\" keeps every backup. Choose which to keep with Keep... first.",
                       ui::Buttons::OK, ui::Icon::Exclamation);
        return !asked;
    }
    restore::ThinningEnd end;
    {
        running_ = true;
        BusyWindow busy(menuBar(), Toolbar1, centralWidget());
        QCoreApplication::processEvents();
        end = restore::ThinJob(installation, job, *this, restore::LocalToday());
        running_ = false;
    }
    lstBackupJobs->setFocus();
    if (end.Failed()) {
        ui::MsgBox("The thinning of \"" + *name + "\" " +
                       (end.record.outcome == "incomplete" ? "is incomplete" : "failed") + ": " +
                       end.record.reason,
                   ui::Buttons::OK, ui::Icon::Exclamation);
        return false;
    }
    if (asked)
        ui::MsgBox(LastThinText(end.record));
    return true;
}

} // namespace rk::jobs
