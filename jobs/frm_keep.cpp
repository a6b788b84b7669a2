#include "jobs/frm_keep.h"

#include "restore/thinning_run.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace rk::jobs {

namespace {

// A count from 0 up; "forever" below 0.
QSpinBox* CountBox(const char* name, const char* accessible, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->setRange(kKeepForever, 9999);
    box->setSpecialValueText("forever");
    box->setValue(value);
    return box;
}

} // namespace

frmKeep::frmKeep(const Job& job, QWidget* parent) : QDialog(parent), job_(job) {
    setObjectName("frmKeep");
    setWindowTitle(ui::ToQString("Keep - " + job.name()));
    const std::optional<KeepPolicy> saved = ReadKeepPolicy(job);
    const KeepPolicy shown = saved.value_or(kProposedKeepPolicy);
    chkThin = new QCheckBox("Thin backups by themselves after each backup", this);
    chkThin->setObjectName("chkThin");
    chkThin->setChecked(saved.has_value());
    txtDays = CountBox("txtDays", "Keep every backup for days", shown.days, this);
    txtWeeks = CountBox("txtWeeks", "Then one a day for weeks", shown.weeks, this);
    txtMonths = CountBox("txtMonths", "Then one a week for months", shown.months, this);
    txtYears = CountBox("txtYears", "Then one a month for years", shown.years, this);
    lblWords = new QLabel(this);
    lblWords->setObjectName("lblWords");
    lblWords->setWordWrap(true);
    lblExample = new QLabel(this);
    lblExample->setObjectName("lblExample");
    lblExample->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow("Keep every backup for (days):", txtDays);
    form->addRow("then one a day for (weeks):", txtWeeks);
    form->addRow("then one a week for (months):", txtMonths);
    form->addRow("then one a month for (years):", txtYears);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkThin);
    layout->addLayout(form);
    layout->addWidget(lblWords);
    layout->addWidget(lblExample);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chkThin, &QCheckBox::toggled, this, [this] { ShowWords(); });
    for (QSpinBox* box : {txtDays, txtWeeks, txtMonths, txtYears})
        connect(box, &QSpinBox::valueChanged, this, [this] { ShowWords(); });
    ShowWords();
}

std::optional<KeepPolicy> frmKeep::Policy() const {
    if (!chkThin->isChecked())
        return std::nullopt;
    return KeepPolicy{txtDays->value(), txtWeeks->value(), txtMonths->value(), txtYears->value()};
}

void frmKeep::ShowWords() {
    for (QSpinBox* box : {txtDays, txtWeeks, txtMonths, txtYears})
        box->setEnabled(chkThin->isChecked());
    const std::optional<KeepPolicy> policy = Policy();
    if (!policy) {
        lblWords->setText("Every backup is kept: nothing is thinned.");
        lblExample->setText("");
        return;
    }
    lblWords->setText(ui::ToQString(KeepPolicyWords(*policy)));
    lblExample->setText(
        ui::ToQString(restore::ThinningExample(job_, *policy, restore::LocalToday())));
}

bool ShowKeepDialog(QWidget* parent, const Job& job) {
    frmKeep form(job, parent);
    if (ui::Current().ShowModal(form) != QDialog::Accepted)
        return false;
    const std::optional<KeepPolicy> policy = form.Policy();
    if (policy == ReadKeepPolicy(job))
        return false;
    WriteKeepPolicy(job, policy);
    return true;
}

} // namespace rk::jobs
