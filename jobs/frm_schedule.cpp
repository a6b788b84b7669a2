#include "jobs/frm_schedule.h"

#include "ui/centre.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

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
    lblInstalled->setAccessibleName("Installed schedule");

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
    lblInstalled->setText(ui::ToQString(schedule::InstalledScheduleText(installed)));
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
    if (const std::optional<std::string> problem =
            schedule::InstallSchedule(jobName_, Chosen(), command_)) {
        ui::MsgBox("The schedule could not be changed: " + *problem, ui::Buttons::OK,
                   ui::Icon::Critical);
        return;
    }
    accept();
}

bool ShowScheduleDialog(QWidget* parent, const std::string& jobName) {
    frmSchedule form(jobName, schedule::ThisInstallation(), parent);
    return ui::Current().ShowModal(form) == QDialog::Accepted;
}

} // namespace rk::jobs
