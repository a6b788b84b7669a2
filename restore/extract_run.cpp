// How frmExtract starts a restore run: it gathers the run's inputs from its
// controls, answers the run's questions through message boxes and the file
// picker "Select Files", and shows the outcome.

#include "engine/job_copy.h"
#include "platform/clock.h"
#include "restore/command_dates.h"
#include "restore/frm_extract.h"
#include "restore/picker/frm_view_files.h"
#include "restore/restore_request.h"
#include "restore/run/restore_run.h"
#include "ui/qt_text.h"
#include "ui/seam.h"
#include "ui/shell_open.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace rk::restore {

namespace {

// Clears the in-progress state however the run ends. While a run is in
// progress the dialog cannot be closed, so its OK and Cancel (or Close)
// buttons are disabled where the person can see it.
class RunningGuard {
  public:
    RunningGuard(bool& running, QPushButton& ok, QPushButton& cancel)
        : running_(running), ok_(ok), cancel_(cancel) {
        running_ = true;
        ok_.setEnabled(false);
        cancel_.setEnabled(false);
    }
    ~RunningGuard() {
        running_ = false;
        ok_.setEnabled(true);
        cancel_.setEnabled(true);
    }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

  private:
    bool& running_;
    QPushButton& ok_;
    QPushButton& cancel_;
};

ui::Icon IconOf(NoticeKind kind) {
    switch (kind) {
    case NoticeKind::Exclamation:
        return ui::Icon::Exclamation;
    case NoticeKind::Critical:
        return ui::Icon::Critical;
    case NoticeKind::Plain:
        break;
    }
    return ui::Icon::None;
}

// The run's words reach the person as message boxes.
class DialogConversation final : public RestoreConversation {
  public:
    void Tell(std::string_view text, NoticeKind kind) override {
        ui::MsgBox(text, ui::Buttons::OK, IconOf(kind));
    }
    bool Confirm(std::string_view question) override {
        return ui::MsgBox(question, ui::Buttons::OKCancel) == ui::Answer::OK;
    }
    void OpenFolder(const std::string& folder) override { ui::ShellOpen(folder); }
    void KeepResponsive() override { QCoreApplication::processEvents(); }
};

// "Select Files", shown modally over the extract dialog.
class DialogPicker final : public FilePicker {
  public:
    DialogPicker(QWidget& parent, ProgressDisplay& progress)
        : parent_(parent), progress_(progress) {}

    PickedFiles Pick(const std::string& sourceFolder, const std::vector<std::string>& archiveNames,
                     const std::string& infoText) override {
        PickedFiles picked;
        frmViewFiles picker(&parent_);
        picker.txtInfo->setPlainText(ui::ToQString(infoText).replace("\r\n", "\n"));
        const GatherOutcome gathered = picker.DataRefresh(sourceFolder, archiveNames, progress_);
        if (gathered.status != RunStatus::Done) {
            picked.listed = false;
            picked.failedArchive = gathered.details.failedArchive;
            picked.reason = gathered.reason;
            return picked;
        }
        ui::Current().ShowModal(picker);
        picked.confirmed = picker.STATUS;
        if (picked.confirmed)
            picked.names = picker.SelectedNames();
        return picked;
    }

  private:
    QWidget& parent_;
    ProgressDisplay& progress_;
};

} // namespace

ExtractOutcome frmExtract::AutoExtract(std::int16_t iMode, const std::string& sSource,
                                       const QDate& dtStartDate, const QDate& dtEndDate) {
    if (iMode < 0 || iMode > 2)
        return ExtractOutcome::Ended(RunStatus::Refused,
                                     "There is no restore action " + std::to_string(iMode) + ".");
    txtSource->setText(ui::ToQString(sSource));
    UpdateFileList();
    axStartDate->setDate(dtStartDate);
    axEndDate->setDate(dtEndDate);
    optAction[static_cast<std::size_t>(iMode)]->setChecked(true);
    return StartExtract(true);
}

ExtractOutcome frmExtract::StartExtract(bool bSilent) {
    if (running_)
        return ExtractOutcome::Ended(RunStatus::Refused, "A restore run is in progress.");
    RunningGuard guard(running_, *cmdOK, *cmdCancel);

    RestoreInputs inputs;
    inputs.action = Action();
    inputs.source = ui::FromQString(txtSource->text());
    inputs.destination = ui::FromQString(txtDestination->text());
    inputs.start = axStartDate->date();
    inputs.end = axEndDate->date();
    inputs.deleteReplaced = chkDelCon->isChecked();
    inputs.silent = bSilent;
    const RestoreRequest request = MakeRestoreRequest(inputs);
    if (!request.destination.empty()) {
        // The list shows the archives the run works on.
        ShowArchiveNames(request.archiveNames);
    } else if (const std::string problem = MissingDestinationProblem(request); !problem.empty()) {
        // The destination is empty because the temporary folder, its
        // default, was refused: say why, and write nothing anywhere else.
        if (!bSilent)
            ui::MsgBox("Invalid destination\r\n\r\n" + problem, ui::Buttons::OK,
                       ui::Icon::Exclamation);
        return ExtractOutcome::Ended(RunStatus::Refused, problem);
    }

    DialogConversation conversation;
    DialogPicker picker(*this, progress_);
    ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress_, conversation, picker);
    if (outcome.status == RunStatus::Done || outcome.status == RunStatus::Partial) {
        UpdateFileList();
        cmdCancel->setText("Close");
    }
    // A job's folder with a copy elsewhere: the consolidated archive goes
    // there, and then the archives it replaced go from there.
    if (request.action == ExtractAction::Consolidate && outcome.status != RunStatus::Failed) {
        CopyWatch watch;
        watch.percent = [this](int percent) {
            progress_.SetProgressMaximum(100);
            progress_.SetProgressValue(percent);
        };
        watch.whileWaiting = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 40); };
        const CopyEnd copied = CopyJob(request.source, watch, platform::Now());
        if (copied.configured)
            progress_.SetProgressValue(0);
        if (!copied.PendingLine().empty() && !bSilent)
            ui::MsgBox(copied.PendingLine(), ui::Buttons::OK, ui::Icon::Exclamation);
    }
    return outcome;
}

} // namespace rk::restore
