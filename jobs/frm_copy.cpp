#include "jobs/frm_copy.h"

#include "engine/copy_record.h"
#include "engine/copy_target.h"
#include "engine/job_copy.h"
#include "engine/rclone_run.h"
#include "platform/host_program.h"
#include "platform/spawned_process.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace rk::jobs {

namespace {

constexpr std::string_view kTerminal = "x-terminal-emulator";

template <typename Widget, typename... Args>
Widget* Named(QWidget* parent, const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(name);
    return widget;
}

// Fills the box with the remotes; the label says why there are none.
void FillRemotes(QComboBox& box, QLabel& label, const std::string& wanted) {
    box.clear();
    const Result<std::vector<std::string>> remotes = ListRemotes();
    if (!remotes) {
        label.setText(ui::ToQString(remotes.reason()));
        return;
    }
    for (const std::string& remote : *remotes)
        box.addItem(ui::ToQString(remote));
    label.setText(remotes->empty() ? "Your rclone configuration has no remote yet: make one with "
                                     "New Remote..."
                                   : "");
    const int at = box.findText(ui::ToQString(wanted));
    if (at >= 0)
        box.setCurrentIndex(at);
}

QLabel* WrappedLabel(QWidget* parent, const char* name) {
    auto* label = Named<QLabel>(parent, name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

frmCopyTo::frmCopyTo(const std::string& jobName, const std::string& remote, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmCopyTo");
    setWindowTitle(ui::ToQString("Copy backups to - " + jobName));
    const std::size_t colon = remote.find(':');
    wanted_ = colon == std::string::npos ? std::string() : remote.substr(0, colon);
    chkCopy = Named<QCheckBox>(this, "chkCopy", "Copy each new backup to other storage (rclone)");
    chkCopy->setChecked(!remote.empty());
    cboRemote = Named<QComboBox>(this, "cboRemote");
    cboRemote->setAccessibleName("Remote");
    txtPath = Named<QLineEdit>(this, "txtPath");
    txtPath->setAccessibleName("Path on the remote");
    txtPath->setText(ui::ToQString(colon == std::string::npos ? "ravelkeep/" + jobName
                                                              : remote.substr(colon + 1)));
    cmdNewRemote = Named<QPushButton>(this, "cmdNewRemote", "New Remote...");
    cmdNewRemote->setToolTip("Opens rclone config in a terminal");
    lblRclone = WrappedLabel(this, "lblRclone");

    auto* remoteRow = new QHBoxLayout;
    remoteRow->addWidget(cboRemote, 1);
    remoteRow->addWidget(cmdNewRemote);
    auto* form = new QFormLayout;
    form->addRow("Remote:", remoteRow);
    form->addRow("Path:", txtPath);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkCopy);
    layout->addLayout(form);
    layout->addWidget(lblRclone);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chkCopy, &QCheckBox::toggled, this, [this] { ShowEnabled(); });
    connect(cmdNewRemote, &QPushButton::clicked, this, [this] {
        if (const std::optional<std::string> problem = OpenRcloneConfig())
            lblRclone->setText(ui::ToQString(*problem));
        else
            ReadRemotes();
    });
    ReadRemotes();
}

void frmCopyTo::ReadRemotes() {
    FillRemotes(*cboRemote, *lblRclone, wanted_);
    ShowEnabled();
}

void frmCopyTo::ShowEnabled() {
    const bool rclone = RcloneInstalled();
    chkCopy->setEnabled(rclone || chkCopy->isChecked());
    for (QWidget* part : std::initializer_list<QWidget*>{cboRemote, txtPath})
        part->setEnabled(rclone && chkCopy->isChecked());
    cmdNewRemote->setEnabled(rclone);
}

std::string frmCopyTo::Remote() const {
    if (!chkCopy->isChecked())
        return {};
    return ui::FromQString(cboRemote->currentText()) + ":" + ui::FromQString(txtPath->text());
}

frmGetJob::frmGetJob(QWidget* parent) : QDialog(parent) {
    setObjectName("frmGetJob");
    setWindowTitle("Get Job From Copy");
    cboRemote = Named<QComboBox>(this, "cboRemote");
    cboRemote->setAccessibleName("Remote");
    txtPath = Named<QLineEdit>(this, "txtPath", "ravelkeep");
    txtPath->setAccessibleName("Folder of the jobs on the remote");
    cmdList = Named<QPushButton>(this, "cmdList", "List Jobs");
    lstJobs = Named<QListWidget>(this, "lstJobs");
    lstJobs->setAccessibleName("Jobs on the remote");
    lblRclone = WrappedLabel(this, "lblRclone");

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(txtPath, 1);
    pathRow->addWidget(cmdList);
    auto* form = new QFormLayout;
    form->addRow("Remote:", cboRemote);
    form->addRow("Folder:", pathRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lstJobs, 1);
    layout->addWidget(lblRclone);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cmdList, &QPushButton::clicked, this, [this] { ListJobs(); });
    connect(lstJobs, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    FillRemotes(*cboRemote, *lblRclone, {});
    cmdList->setEnabled(cboRemote->count() > 0);
}

std::string frmGetJob::Folder() const {
    return ui::FromQString(cboRemote->currentText()) + ":" + ui::FromQString(txtPath->text());
}

std::optional<std::string> frmGetJob::JobName() const {
    const QListWidgetItem* item = lstJobs->currentItem();
    if (item == nullptr)
        return std::nullopt;
    return ui::FromQString(item->text());
}

void frmGetJob::ListJobs() {
    lstJobs->clear();
    const Result<CopyTarget> folder = CheckCopyTarget(Folder());
    if (!folder) {
        lblRclone->setText(ui::ToQString(folder.reason()));
        return;
    }
    const Result<std::vector<std::string>> jobs = ListJobsOnCopy(*folder);
    if (!jobs) {
        lblRclone->setText(ui::ToQString(jobs.reason()));
        return;
    }
    for (const std::string& job : *jobs)
        lstJobs->addItem(ui::ToQString(job));
    if (lstJobs->count() > 0)
        lstJobs->setCurrentRow(0);
    lblRclone->setText(jobs->empty() ? ui::ToQString("No jobs in " + folder->Text() + ".") : "");
}

std::optional<std::string> OpenRcloneConfig() {
    if (!RcloneInstalled())
        return std::string(kRcloneMissingText);
    if (!platform::HostProgramExists(std::string(kTerminal)))
        return "No terminal program (x-terminal-emulator) was found: run \"rclone config\" in a "
               "terminal, then open this dialog again.";
    platform::ProcessStart start;
    start.args = {std::string(kTerminal), "-e", std::string(kRcloneProgram), "config"};
    start.searchPath = true;
    start.keepOutput = true;
    start.keepErrors = true;
    platform::ProcessWatch watch;
    watch.whileWaiting = [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 40); };
    const platform::ProcessOutcome ended = platform::SpawnAndWait(start, watch);
    if (!ended.started)
        return ended.startError;
    return std::nullopt;
}

std::string CopyVerificationText(const std::string& jobFolder,
                                 const std::function<void()>& whileWaiting) {
    CopyWatch watch;
    watch.whileWaiting = whileWaiting;
    const Result<std::vector<CopyDifference>> differences = VerifyJobCopy(jobFolder, watch);
    const std::string remote = ReadCopyRecord(jobFolder).remote;
    if (!differences)
        return "\n\nThe copy on " + remote + " could not be checked: " + differences.reason();
    if (differences->empty())
        return {};
    std::string text = "\n\nThe copy on " + remote + " does not match:";
    for (const CopyDifference& difference : *differences)
        text += "\n" + difference.name + " " + difference.what;
    return text;
}

std::string CopyInformationText(const std::string& jobFolder) {
    const CopyRecord record = ReadCopyRecord(jobFolder);
    if (record.remote.empty())
        return {};
    std::string text = "Copy backups to: " + record.remote;
    if (record.pending())
        text += "\n" + CopyPendingText(record);
    return text;
}

} // namespace rk::jobs
