#include "jobs/frm_main.h"

#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "engine/last_backup.h"
#include "engine/picker/status_progress.h"
#include "jobs/command_numbers.h"
#include "jobs/job_information.h"
#include "jobs/job_store.h"
#include "platform/clock.h"
#include "schedule/installed_schedule.h"
#include "ui/centre.h"
#include "ui/qt_text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

namespace rk::jobs {

namespace {

SettingsPlace JobPlace(const std::string& jobFolder, std::string_view section) {
    return JobSettingsPlace(jobFolder, section);
}

} // namespace

frmMain::frmMain(bool bPersonPresent, QWidget* parent) : QMainWindow(parent) {
    BuildControls();
    BuildMenus();
    BuildToolbar();
    ArrangeControls();
    ConnectControls();
    progress_ = std::make_unique<StatusBarProgress>(
        [this](std::string_view text) { statusPanel_->setText(ui::ToQString(text)); },
        *axProgressBar);
    Form_Load(bPersonPresent);
}

frmMain::~frmMain() = default;

void frmMain::Form_Load(bool bPersonPresent) {
    ui::CentreOnScreen(*this);
    // Nobody could answer the offer, so it is neither made nor recorded.
    if (!bPersonPresent)
        return;
    if (RoundHalfEven(LeadingNumber(ReadSetting("autopromptshown"))) != -1) {
        OfferMyDocumentsJob();
        WriteSetting("autopromptshown", "-1");
    }
}

namespace {

// Why a scheduled job is marked as overdue, when it is: it has not made a
// backup for longer than its timer's period. Only the timer file is read, so
// refreshing the list starts no program.
std::optional<std::string> OverdueText(const std::string& jobName,
                                       const std::optional<LastBackup>& last) {
    const schedule::InstalledSchedule installed = schedule::ReadInstalledSchedule(jobName, false);
    if (!installed.schedule || installed.schedule->frequency == schedule::Frequency::None)
        return std::nullopt;
    std::optional<std::time_t> since = last ? RecordedTimeValue(last->time) : std::nullopt;
    if (!since)
        since = installed.installedAt;
    if (!since || !schedule::IsOverdue(*installed.schedule, *since, platform::Now()))
        return std::nullopt;
    return "Scheduled " + schedule::Describe(*installed.schedule) +
           (last ? ", but the last backup was made " + schedule::ShownTime(*since)
                 : ", but no backup has been made since " + schedule::ShownTime(*since));
}

} // namespace

void frmMain::DataRefresh() {
    setWindowTitle(ui::ToQString(std::string(ProgramTitle) + " - " + JobStoreFolder));
    SetStatusText("Retrieving list of jobs");
    {
        const QSignalBlocker quiet(lstBackupJobs);
        lstBackupJobs->clear();
        for (const std::string& name : ListJobs(JobStoreFolder)) {
            auto* item = new QListWidgetItem(ui::ToQString(name));
            MarkJobItem(*item);
            lstBackupJobs->addItem(item);
        }
    }
    SetStatusText("");
    UpdateProperties();
}

void frmMain::MarkJobItem(QListWidgetItem& item) {
    // A job whose last backup failed, or that is overdue, is marked; its text
    // stays its name.
    const std::string name = ui::FromQString(item.text());
    const auto last = ReadLastBackup(JobStoreFolder + name);
    std::optional<std::string> mark;
    if (last && last->outcome == "failed")
        mark = "The last backup failed: " + last->reason;
    else
        mark = OverdueText(name, last);
    item.setIcon(mark ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
    item.setToolTip(mark ? ui::ToQString(*mark) : QString());
}

void frmMain::UpdateProperties() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name) {
        cmdExclude->setEnabled(false);
        mnuJob[JobCommand::Exclusions]->setEnabled(false);
        mnuJob[JobCommand::VerifyBackups]->setEnabled(false);
        mnuJob[JobCommand::Schedule]->setEnabled(false);
        cmdSchedule->setEnabled(false);
        txtSource->setText("");
        lblInfo->setText("");
        lblLastBackup->setText("");
        lblSchedule->setText("");
        SetJobCommands(false, false, false);
        return;
    }
    SetStatusText("Retrieving job information");
    cmdExclude->setEnabled(true);
    mnuJob[JobCommand::Exclusions]->setEnabled(true);
    mnuJob[JobCommand::VerifyBackups]->setEnabled(true);
    mnuJob[JobCommand::Schedule]->setEnabled(true);
    cmdSchedule->setEnabled(true);

    const std::string jobFolder = JobStoreFolder + *name;
    // The count as written: a job of exactly one folder shows that folder.
    const double folderCount = DeclaredFolderCount(jobFolder);
    const std::string firstFolder = folderCount == 1 ? SourceFolderValue(jobFolder, 1) : "";
    txtSource->setText(ui::ToQString(SourceText(folderCount, firstFolder)));
    const bool rootBackupPresent =
        !ReadSetting("rootbk", "", JobPlace(jobFolder, JobSection::Settings)).empty();
    SetJobCommands(folderCount >= 1 && !rootBackupPresent, folderCount >= 1, true);

    const ArchiveTotals totals = MeasureArchives(jobFolder);
    lblInfo->setText(ui::ToQString(JobInformationText(JobStoreFolder, totals, rootBackupPresent)));
    ShowLastBackup(jobFolder);
    ShowSchedule(*name, false);
    SetStatusText("");
}

void frmMain::ShowLastBackup(const std::string& jobFolder) {
    const auto last = ReadLastBackup(jobFolder);
    if (!last) {
        lblLastBackup->setText("");
        return;
    }
    const QDateTime when = QDateTime::fromString(ui::ToQString(last->time), "yyyy-MM-dd HH:mm:ss");
    const QString whenText = QLocale::system().toString(when.date(), QLocale::ShortFormat) + " " +
                             when.time().toString("HH:mm");
    lblLastBackup->setText(ui::ToQString(LastBackupText(*last, ui::FromQString(whenText))));
}

void frmMain::ShowSchedule(const std::string& jobName, bool askScheduler) {
    const schedule::InstalledSchedule installed =
        schedule::ReadInstalledSchedule(jobName, askScheduler);
    if (!installed.schedule || installed.schedule->frequency == schedule::Frequency::None) {
        lblSchedule->setText("");
        return;
    }
    std::optional<std::time_t> next = installed.nextRun;
    if (!next && installed.problem.empty())
        next = schedule::NextRun(*installed.schedule, platform::Now());
    std::string text = "Schedule: " + schedule::Describe(*installed.schedule);
    if (!installed.problem.empty())
        text += ", not running: " + installed.problem;
    else if (next)
        text += ", next run " + schedule::ShownTime(*next);
    lblSchedule->setText(ui::ToQString(text));
}

void frmMain::SetJobCommands(bool rootBackup, bool incrementalBackup, bool sourceAndExclusions) {
    cmdAction[0]->setEnabled(rootBackup);
    mnuJob[JobCommand::RootBackup]->setEnabled(rootBackup);
    cmdAction[1]->setEnabled(incrementalBackup);
    mnuJob[JobCommand::IncrementalBackup]->setEnabled(incrementalBackup);
    cmdChooseSource->setEnabled(sourceAndExclusions);
    mnuJob[JobCommand::SourceFolders]->setEnabled(sourceAndExclusions);
}

void frmMain::lstBackupJobs_Click() {
    UpdateProperties();
}

std::optional<std::string> frmMain::SelectedJobName() const {
    const QList<QListWidgetItem*> selected = lstBackupJobs->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return ui::FromQString(selected.front()->text());
}

std::string frmMain::StatusText() const {
    return ui::FromQString(statusPanel_->text());
}

void frmMain::SetStatusText(std::string_view text) {
    progress_->SetStatusText(text);
}

void frmMain::SetProgressMinimum(int minimum) {
    progress_->SetProgressMinimum(minimum);
    ShowProgressBarWhenUsed();
}

void frmMain::SetProgressMaximum(int maximum) {
    progress_->SetProgressMaximum(maximum);
    ShowProgressBarWhenUsed();
}

void frmMain::SetProgressValue(int value) {
    progress_->SetProgressValue(value);
    ShowProgressBarWhenUsed();
}

void frmMain::ShowProgressBarWhenUsed() {
    axProgressBar->setVisible(running_ || (axProgressBar->maximum() > axProgressBar->minimum() &&
                                           axProgressBar->value() > axProgressBar->minimum()));
}

void frmMain::closeEvent(QCloseEvent* event) {
    // A backup run in progress ends first; the window asks nothing and
    // saves nothing on closing.
    if (running_) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    // The program lives as long as this window: the help window and any
    // other window left open close with it.
    if (!event->isAccepted())
        return;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible())
            window->close();
    }
}

} // namespace rk::jobs
