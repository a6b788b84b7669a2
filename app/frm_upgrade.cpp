#include "app/frm_upgrade.h"

#include "core/settings.h"
#include "core/text.h"
#include "ui/centre.h"
#include "ui/seam.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace rk::app {

namespace {

constexpr std::string_view PromptKey = "UpgradePromptShown";

QLabel* Paragraph(const char* name, const char* text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

} // namespace

frmUpgrade::frmUpgrade(QWidget* parent) : QDialog(parent) {
    BuildControls();
    Form_Load();
}

void frmUpgrade::BuildControls() {
    setObjectName("frmUpgrade");
    setWindowTitle("Upgraders");

    lblUpgrade1 = Paragraph(
        "lblUpgrade1",
        "Ravelkeep 2 is not compatible with backup sets created with Ravelkeep 1. If you are "
        "upgrading, it is recommended that you consolidate them (using the Consolidate option) "
        "and archive your old backup sets and remove them from the Backups folder.");
    lblUpgrade2 = Paragraph("lblUpgrade2", "Launch Ravelkeep 1. Select View/Extract/Consilidate. "
                                           "Once consolidated, move the backup sets to another "
                                           "location.");
    chkNoShowAgain = new QCheckBox("Do not show me this again");
    chkNoShowAgain->setObjectName("chkNoShowAgain");
    cmdOK = new QPushButton("OK");
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkNoShowAgain);
    bottom->addStretch();
    bottom->addWidget(cmdOK);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblUpgrade1);
    layout->addWidget(lblUpgrade2);
    layout->addLayout(bottom);
    setFixedWidth(420);
    adjustSize();

    connect(cmdOK, &QPushButton::clicked, this, [this] { accept(); });
}

void frmUpgrade::Form_Load() {
    ui::CentreOnScreen(*this);
    chkNoShowAgain->setChecked(LeadingNumber(ReadSetting(PromptKey)) != 0.0);
}

void frmUpgrade::done(int result) {
    WriteSetting(PromptKey, chkNoShowAgain->isChecked() ? "-1" : "0");
    QDialog::done(result);
}

bool UpgradeNotesDue() {
    return RoundHalfEven(LeadingNumber(ReadSetting(PromptKey))) != -1;
}

void ShowUpgradeNotes(QWidget* parent) {
    frmUpgrade form(parent);
    ui::Current().ShowModal(form);
}

} // namespace rk::app
