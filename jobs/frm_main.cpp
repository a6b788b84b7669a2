#include "jobs/frm_main.h"

#include "core/job_files.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "engine/last_backup.h"
#include "engine/last_thin.h"
#include "engine/skipped_run.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_copy.h"
#include "jobs/job_information.h"
#include "jobs/job_marks.h"
#include "jobs/job_store.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "schedule/installed_schedule.h"
#include "schedule/schedule_record.h"
#include "ui/centre.h"
#include "ui/qt_text.h"
#include "ui/seam.h"
#include "ui/shown_time.h"
#include "ui/status_progress.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

namespace rk::jobs {

namespace {

// A recorded "yyyy-mm-dd hh:nn:ss" as the window writes a date and time.
std::string WhenText(const std::string& recorded) {
    const std::optional<std::time_t> when = RecordedTimeValue(recorded);
    return when ? ui::ShownDateTime(*when) : recorded;
}

QStyle::StandardPixmap MarkPicture(JobMarkKind kind) {
    switch (kind) {
    case JobMarkKind::Failed:
        return QStyle::SP_MessageBoxCritical;
    case JobMarkKind::Skipped:
        return QStyle::SP_MessageBoxInformation;
    case JobMarkKind::Partial:
    case JobMarkKind::Overdue:
        break;
    }
    return QStyle::SP_MessageBoxWarning;
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
    // Runs made elsewhere (a schedule's) change the job store: the window
    // follows, a moment after the last change.
    storeWatcher_ = new QFileSystemWatcher(this);
    followTimer_ = new QTimer(this);
    followTimer_->setSingleShot(true);
    followTimer_->setInterval(150);
    connect(storeWatcher_, &QFileSystemWatcher::fileChanged, followTimer_,
            qOverload<>(&QTimer::start));
    connect(storeWatcher_, &QFileSystemWatcher::directoryChanged, followTimer_,
            qOverload<>(&QTimer::start));
    connect(followTimer_, &QTimer::timeout, this, [this] { FollowJobStore(); });
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

void frmMain::OfferMyDocumentsJob() {
    if (ui::MsgBox("Do you want Ravelkeep to automatically create a backup job for your 'My "
                   "Documents' folder?",
                   ui::Buttons::YesNo, ui::Icon::Question) != ui::Answer::Yes)
        return;
    if (const Result<void> made = MakeMyDocumentsJob(); !made)
        ui::MsgBox(made.reason(), ui::Buttons::OK, ui::Icon::Exclamation);
}

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
    WatchJobStore();
}

void frmMain::MarkJobItem(QListWidgetItem& item) {
    // A job whose last backup failed, was partial or skipped, or that is
    // overdue, is marked; its text stays its name.
    const std::vector<JobMark> marks = JobMarks(ui::FromQString(item.text()), platform::Now());
    std::string tip;
    for (const JobMark& mark : marks)
        tip += (tip.empty() ? "" : "\n") + mark.text;
    item.setIcon(marks.empty() ? QIcon() : style()->standardIcon(MarkPicture(marks.front().kind)));
    item.setToolTip(ui::ToQString(tip));
}

void frmMain::WatchJobStore() {
    if (!storeWatcher_->files().isEmpty())
        storeWatcher_->removePaths(storeWatcher_->files());
    if (!storeWatcher_->directories().isEmpty())
        storeWatcher_->removePaths(storeWatcher_->directories());
    QStringList paths;
    for (int row = 0; row < lstBackupJobs->count(); ++row) {
        const std::string jobFolder =
            JobStoreFolder + ui::FromQString(lstBackupJobs->item(row)->text());
        // The folder too: a record written anew replaces the file by rename.
        if (const std::optional<std::string> folder = platform::ToHostPath(jobFolder)) {
            paths.push_back(ui::ToQString(*folder));
            if (const std::optional<std::string> settings =
                    platform::ToHostPath(jobFolder + "\\" + std::string(JobSettingsFileName)))
                paths.push_back(ui::ToQString(*settings));
        }
    }
    // A run skipped for a disk not connected leaves its record here; the
    // folder is made so that the first record is seen too.
    const std::string skipped = SkippedRunFolder();
    // A folder that cannot be made is refused below like any missing path.
    (void)platform::MakeHostFolders(skipped, 0700);
    paths.push_back(ui::ToQString(skipped));
    // Paths that do not exist (a job folder gone since) are refused quietly.
    for (const QString& path : paths)
        if (QFileInfo::exists(path))
            storeWatcher_->addPath(path);
}

void frmMain::FollowJobStore() {
    // A backup run of this window writes the record itself and shows its
    // end; the window follows once it is over.
    if (running_) {
        followTimer_->start();
        return;
    }
    ReadJobsAgain();
    WatchJobStore();
}

void frmMain::ReadJobsAgain() {
    for (int row = 0; row < lstBackupJobs->count(); ++row)
        MarkJobItem(*lstBackupJobs->item(row));
    ShowSelectedJob();
}

void frmMain::RefreshKeepingSelection() {
    const std::optional<std::string> selected = SelectedJobName();
    DataRefresh();
    if (!selected)
        return;
    const QList<QListWidgetItem*> found =
        lstBackupJobs->findItems(ui::ToQString(*selected), Qt::MatchExactly);
    if (found.isEmpty())
        return;
    // Selecting it reads its information as a click on it does.
    lstBackupJobs->setCurrentItem(found.front());
}

void frmMain::UpdateProperties() {
    if (!SelectedJobName()) {
        ShowSelectedJob();
        return;
    }
    SetStatusText("Retrieving job information");
    ShowSelectedJob();
    SetStatusText("");
}

void frmMain::ShowSelectedJob() {
    const std::optional<std::string> name = SelectedJobName();
    if (!name) {
        cmdExclude->setEnabled(false);
        mnuJob[JobCommand::Exclusions]->setEnabled(false);
        mnuJob[JobCommand::VerifyBackups]->setEnabled(false);
        mnuJob[JobCommand::Schedule]->setEnabled(false);
        mnuJob[JobCommand::CopyTo]->setEnabled(false);
        mnuJob[JobCommand::CopyNow]->setEnabled(false);
        mnuJob[JobCommand::RestoreFiles]->setEnabled(false);
        cmdSchedule->setEnabled(false);
        txtSource->setText("");
        lblInfo->setText("");
        lblLastBackup->setText("");
        lblSchedule->setText("");
        SetJobCommands(false, false, false);
        return;
    }
    cmdExclude->setEnabled(true);
    mnuJob[JobCommand::Exclusions]->setEnabled(true);
    mnuJob[JobCommand::VerifyBackups]->setEnabled(true);
    mnuJob[JobCommand::Schedule]->setEnabled(true);
    mnuJob[JobCommand::CopyTo]->setEnabled(true);
    mnuJob[JobCommand::CopyNow]->setEnabled(true);
    mnuJob[JobCommand::RestoreFiles]->setEnabled(true);
    cmdSchedule->setEnabled(true);

    const Job job(JobStoreFolder, *name);
    // The count as written: a job of exactly one folder shows that folder.
    const double folderCount = job.declaredFolderCount();
    const std::string firstFolder = folderCount == 1 ? job.sourceFolder(1) : "";
    txtSource->setText(ui::ToQString(SourceText(folderCount, firstFolder)));
    const bool rootBackupPresent = !job.rootBackup().empty();
    SetJobCommands(folderCount >= 1 && !rootBackupPresent, folderCount >= 1, true);

    ShowJobLines(*name, false);
}

void frmMain::ShowJobLines(const std::string& jobName, bool askScheduler) {
    const Job job(JobStoreFolder, jobName);
    const bool rootBackupPresent = !job.rootBackup().empty();
    const ArchiveTotals totals = MeasureArchives(job);
    lblInfo->setText(ui::ToQString(JobInformationText(JobStoreFolder, totals, rootBackupPresent)));
    ShowLastBackup(job);
    ShowSchedule(jobName, askScheduler);
}

void frmMain::ShowLastBackup(const Job& job) {
    const auto last = job.lastBackup();
    std::string text;
    // A run skipped since the last one made tells why there is no newer one.
    if (const auto skipped = job.skippedRun(); skipped && SkipIsNewer(*skipped, last))
        text = SkippedRunText(*skipped, WhenText(skipped->time));
    else if (last)
        text = LastBackupText(*last, WhenText(last->time));
    // The last thinning shows whenever there was one, also for a job whose
    // backups have no record (made before runs were recorded, or thinned by
    // hand) and beside a skipped run.
    if (const std::optional<LastThin> thin = ReadLastThin(job))
        text += (text.empty() ? "" : "\n") + LastThinText(*thin);
    if (const std::string copy = CopyInformationText(job.folder()); !copy.empty())
        text += (text.empty() ? "" : "\n") + copy;
    lblLastBackup->setText(ui::ToQString(text));
}

void frmMain::ShowSchedule(const std::string& jobName, bool askScheduler) {
    // The schedule as the Schedule dialog recorded it, timer or crontab line.
    const std::optional<schedule::ScheduleRecord> record =
        schedule::ReadScheduleRecord(Job(JobStoreFolder, jobName).folder());
    if (!record || !record->schedule || record->schedule->frequency == schedule::Frequency::None) {
        lblSchedule->setText("");
        return;
    }
    schedule::InstalledSchedule installed;
    if (askScheduler)
        installed = schedule::ReadInstalledSchedule(jobName, true);
    std::optional<std::time_t> next = installed.nextRun;
    if (!next && installed.problem.empty())
        next = schedule::NextRun(*record->schedule, platform::Now());
    std::string text = "Schedule: " + schedule::Describe(*record->schedule);
    if (!installed.problem.empty())
        text += ", not running: " + installed.problem;
    else if (next)
        text += ", next run " + ui::ShownDateTime(*next);
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
