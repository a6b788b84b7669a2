#include "jobs/frm_schedule.h"

#include "core/job_files.h"
#include "platform/clock.h"
#include "schedule/schedule_record.h"
#include "ui/centre.h"
#include "ui/qt_text.h"
#include "ui/seam.h"
#include "ui/shown_time.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <utility>

namespace rk::jobs {

namespace {

using schedule::Frequency;
using schedule::Place;

constexpr const char* kAskCrontab = "systemd's user manager is not running. Install the schedule "
                                    "as a line in your crontab instead?";

// Brings the job's record in line with what is really installed: corrected
// when they differ, removed when nothing is installed. Left alone when the
// scheduler could not be asked.
void CorrectRecord(const std::string& jobName, const schedule::InstalledSchedule& installed) {
    const std::string jobFolder = JobFolderOf(jobName);
    const std::optional<schedule::ScheduleRecord> recorded =
        schedule::ReadScheduleRecord(jobFolder);
    if (installed.place == Place::None) {
        if (recorded && installed.problem.empty())
            schedule::RemoveScheduleRecord(jobFolder);
        return;
    }
    // A crontab line does not tell when it was installed: the recorded time
    // stays, else it is now.
    std::optional<std::time_t> since = platform::Now();
    if (recorded && recorded->place == installed.place && recorded->installedAt)
        since = recorded->installedAt;
    const schedule::ScheduleRecord actual = schedule::RecordOfInstalled(installed, since);
    if (!recorded || !schedule::SameSchedule(*recorded, actual))
        schedule::WriteScheduleRecord(jobFolder, actual);
}

// A label with a mnemonic for its field, which takes the label's text as its
// accessible name.
QLabel* FieldLabel(const char* name, const char* text, QWidget* field, const char* fieldName) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setBuddy(field);
    field->setAccessibleName(fieldName);
    return label;
}

} // namespace

frmSchedule::frmSchedule(std::string jobName, schedule::BackupCommand command, QWidget* parent)
    : QDialog(parent), jobName_(std::move(jobName)), command_(std::move(command)) {
    BuildControls();
    Form_Load();
}

void frmSchedule::BuildControls() {
    setObjectName("frmSchedule");
    setWindowTitle("Schedule");

    lblJob = new QLabel;
    lblJob->setObjectName("lblJob");
    lblJob->setTextFormat(Qt::PlainText);
    lblJob->setWordWrap(true);

    cboFrequency = new QComboBox;
    cboFrequency->setObjectName("cboFrequency");
    cboFrequency->addItems({"Never", "Every hour", "Every day", "Every week"});
    lblFrequency =
        FieldLabel("lblFrequency", "&Make an incremental backup:", cboFrequency, "Frequency");
    cboWeekday = new QComboBox;
    cboWeekday->setObjectName("cboWeekday");
    for (int day = 1; day <= 7; ++day)
        cboWeekday->addItem(ui::ToQString(schedule::WeekdayName(day)));
    lblWeekday = FieldLabel("lblWeekday", "On &day:", cboWeekday, "Day");
    txtTime = new QTimeEdit;
    txtTime->setObjectName("txtTime");
    txtTime->setDisplayFormat("HH:mm");
    lblTime = FieldLabel("lblTime", "At &time:", txtTime, "Time");
    txtMinute = new QSpinBox;
    txtMinute->setObjectName("txtMinute");
    txtMinute->setRange(0, 59);
    lblMinute =
        FieldLabel("lblMinute", "&Minutes past the hour:", txtMinute, "Minutes past the hour");

    lblInstalled = new QLabel;
    lblInstalled->setObjectName("lblInstalled");
    lblInstalled->setTextFormat(Qt::PlainText);
    lblInstalled->setWordWrap(true);
    // Its own text is what it says; this is what it is for.
    lblInstalled->setAccessibleDescription("Installed schedule");

    cmdOK = new QPushButton("OK");
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel");
    cmdCancel->setObjectName("cmdCancel");

    auto* fields = new QFormLayout;
    fields->addRow(lblFrequency, cboFrequency);
    fields->addRow(lblWeekday, cboWeekday);
    fields->addRow(lblTime, txtTime);
    fields->addRow(lblMinute, txtMinute);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJob);
    layout->addLayout(fields);
    layout->addSpacing(6);
    layout->addWidget(lblInstalled);
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(cboFrequency, &QComboBox::currentIndexChanged, this, [this] { cboFrequency_Change(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmSchedule::Form_Load() {
    lblJob->setText(ui::ToQString("Backup job: " + jobName_));
    const schedule::InstalledSchedule installed = schedule::ReadInstalledSchedule(jobName_);
    std::string installedText = schedule::InstalledScheduleText(installed, ui::ShownDateTime);
    // With nothing installed, the user learns before OK where a schedule
    // would go.
    if (installed.place == Place::None && installed.problem.empty()) {
        const schedule::PlaceChoice choice = schedule::AvailablePlace();
        if (choice.managerNotRunning)
            installedText += "\nsystemd's user manager is not running: a schedule can only be "
                             "installed as a line in your crontab.";
        if (choice.place == Place::None)
            installedText += "\nNeither systemd's user manager nor crontab is available.";
    }
    lblInstalled->setText(ui::ToQString(installedText));
    CorrectRecord(jobName_, installed);
    // A schedule changed by hand into a form not shown here is offered as a
    // daily one; it stays as it is unless OK is pressed.
    schedule::Schedule shown{Frequency::Daily, 2, 0, 1};
    if (installed.schedule)
        shown = *installed.schedule;
    else if (installed.place == schedule::Place::None)
        shown.frequency = Frequency::None;
    Show(shown);
    adjustSize();
    ui::CentreOnScreen(*this);
}

void frmSchedule::Show(const schedule::Schedule& shown) {
    cboFrequency->setCurrentIndex(static_cast<int>(shown.frequency));
    cboWeekday->setCurrentIndex(shown.weekday - 1);
    txtTime->setTime(QTime(shown.hour, shown.minute));
    txtMinute->setValue(shown.minute);
    cboFrequency_Change();
}

void frmSchedule::cboFrequency_Change() {
    const auto frequency = static_cast<Frequency>(cboFrequency->currentIndex());
    const bool hourly = frequency == Frequency::Hourly;
    const bool atTime = frequency == Frequency::Daily || frequency == Frequency::Weekly;
    lblWeekday->setEnabled(frequency == Frequency::Weekly);
    cboWeekday->setEnabled(frequency == Frequency::Weekly);
    lblTime->setEnabled(atTime);
    txtTime->setEnabled(atTime);
    lblMinute->setEnabled(hourly);
    txtMinute->setEnabled(hourly);
}

schedule::Schedule frmSchedule::Chosen() const {
    schedule::Schedule chosen;
    chosen.frequency = static_cast<Frequency>(cboFrequency->currentIndex());
    chosen.weekday = cboWeekday->currentIndex() + 1;
    if (chosen.frequency == Frequency::Hourly) {
        chosen.minute = txtMinute->value();
    } else {
        chosen.hour = txtTime->time().hour();
        chosen.minute = txtTime->time().minute();
    }
    return chosen;
}

void frmSchedule::cmdOK_Click() {
    const schedule::Schedule chosen = Chosen();
    Place place = Place::None;
    if (chosen.frequency != Frequency::None) {
        const schedule::PlaceChoice choice = schedule::AvailablePlace();
        place = choice.place;
        // A crontab line is never put in the timer's place without asking.
        if (place == Place::Crontab && choice.managerNotRunning &&
            ui::MsgBox(kAskCrontab, ui::Buttons::YesNo, ui::Icon::Question) != ui::Answer::Yes)
            return;
    }
    if (const Result<void> installed = schedule::InstallSchedule(jobName_, chosen, command_, place);
        !installed) {
        ui::MsgBox("The schedule could not be changed: " + installed.reason(), ui::Buttons::OK,
                   ui::Icon::Critical);
        return;
    }
    const std::string jobFolder = JobFolderOf(jobName_);
    if (chosen.frequency == Frequency::None)
        schedule::RemoveScheduleRecord(jobFolder);
    else
        schedule::WriteScheduleRecord(jobFolder,
                                      schedule::RecordOfInstall(place, chosen, platform::Now()));
    accept();
}

bool ShowScheduleDialog(QWidget* parent, const std::string& jobName) {
    frmSchedule form(jobName, schedule::ThisInstallation(), parent);
    return ui::Current().ShowModal(form) == QDialog::Accepted;
}

} // namespace rk::jobs
