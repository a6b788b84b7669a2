#include "jobs/frm_encryption.h"

#include "engine/job_passwords.h"
#include "jobs/password_strength.h"
#include "platform/password_command.h"
#include "platform/secret_store.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace rk::jobs {

namespace {

QLabel* WrappedLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

QLineEdit* PasswordBox(const char* name, const char* accessible, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessible);
    box->setEchoMode(QLineEdit::Password);
    return box;
}

std::string KeepingText(const PasswordKeeping& keeping, const JobEncryption& encryption) {
    if (keeping.fromCommand)
        return "The passwords come from the command in RAVELKEEP_PASSWORD_COMMAND; the desktop's "
               "keyring is not used.";
    if (!keeping.keyringReady)
        return "The desktop's keyring cannot keep the password: " + keeping.problem + "." +
               (encryption.askEachRun ? " The password is asked for at each run." : "");
    if (keeping.stored == 0)
        return "No password of this job is stored in the desktop's keyring.";
    return "The desktop's keyring keeps " +
           (keeping.stored == 1 ? std::string("the password")
                                : std::to_string(keeping.stored) +
                                      " passwords (the newest, and earlier ones for older "
                                      "backups)") +
           " of this job.";
}

// Stores `password` in front of the earlier ones; the keyring may refuse.
Result<void> StoreNewPassword(const Job& job, const std::string& password) {
    const platform::SecretOwner owner = SecretOwnerOf(job.folder());
    platform::KeyringAnswer earlier = platform::ReadKeyringPasswords(owner, true);
    if (earlier.state != platform::KeyringState::Ready)
        return Result<void>::Failure(earlier.problem);
    std::vector<std::string> passwords{password};
    for (const std::string& old : earlier.passwords)
        if (old != password && passwords.size() < kMostPasswords)
            passwords.push_back(old);
    platform::ClearSecretTexts(earlier.passwords);
    Result<void> stored = platform::StoreKeyringPasswords(owner, passwords);
    platform::ClearSecretTexts(passwords);
    return stored;
}

bool TurnOff(const Job& job, const JobEncryption& before, const PasswordKeeping& keeping) {
    if (!WriteJobEncryption(job, {}).ok()) {
        ui::MsgBox("The setting of \"" + job.name() + "\" could not be written.", ui::Buttons::OK,
                   ui::Icon::Critical);
        return false;
    }
    if (!before.encrypt && !before.askEachRun)
        return false;
    if (!keeping.keyringReady || keeping.stored == 0) {
        ui::MsgBox("New backups of \"" + job.name() +
                   "\" are no longer encrypted. The backups encrypted before still need their "
                   "password to restore.");
        return true;
    }
    const ui::Answer forget = ui::MsgBox(
        "New backups of \"" + job.name() +
            "\" are no longer encrypted. The earlier passwords stay stored in the desktop's "
            "keyring, so the encrypted backups still restore.\n\nForget the stored passwords as "
            "well? Then the encrypted backups of this job open only with a password typed from "
            "memory, and a forgotten password means those backups are lost.",
        ui::Buttons::YesNo, ui::Icon::Question, ui::Answer::No);
    if (forget != ui::Answer::Yes)
        return true;
    if (const Result<void> forgotten =
            platform::ForgetKeyringPasswords(SecretOwnerOf(job.folder()));
        !forgotten)
        ui::MsgBox("The passwords could not be forgotten: " + forgotten.reason() + ".",
                   ui::Buttons::OK, ui::Icon::Exclamation);
    return true;
}

// Encryption on with a newly typed password: into the keyring, or, where
// none can keep it, asked for at each run.
bool TurnOnWithPassword(const Job& job, const std::string& password,
                        const PasswordKeeping& keeping) {
    JobEncryption encryption{true, false};
    if (keeping.fromCommand) {
        ui::MsgBox("The passwords of \"" + job.name() +
                       "\" come from the command in RAVELKEEP_PASSWORD_COMMAND, so the password "
                       "typed here is not stored. New backups are encrypted with the first "
                       "password that command prints.",
                   ui::Buttons::OK, ui::Icon::Information);
    } else if (const Result<void> stored = StoreNewPassword(job, password); !stored) {
        const ui::Answer ask = ui::MsgBox(
            "The password cannot be stored in the desktop's keyring: " + stored.reason() +
                ".\n\nAsk for the password at each backup and restore of \"" + job.name() +
                "\" instead? Scheduled backups of this job are then skipped, with a "
                "notification.",
            ui::Buttons::YesNo, ui::Icon::Exclamation, ui::Answer::No);
        if (ask != ui::Answer::Yes)
            return false;
        encryption.askEachRun = true;
    }
    RememberTypedPassword(job.folder(), password);
    if (!WriteJobEncryption(job, encryption).ok()) {
        ui::MsgBox("The setting of \"" + job.name() + "\" could not be written.", ui::Buttons::OK,
                   ui::Icon::Critical);
        return false;
    }
    return true;
}

} // namespace

PasswordKeeping ReadPasswordKeeping(const Job& job) {
    PasswordKeeping keeping;
    if (platform::PasswordCommand()) {
        keeping.fromCommand = true;
        return keeping;
    }
    platform::KeyringAnswer answer =
        platform::ReadKeyringPasswords(SecretOwnerOf(job.folder()), false);
    keeping.keyringReady = answer.state == platform::KeyringState::Ready;
    keeping.stored = answer.passwords.size();
    keeping.problem = answer.problem;
    platform::ClearSecretTexts(answer.passwords);
    return keeping;
}

frmEncryption::frmEncryption(const Job& job, const JobEncryption& encryption,
                             const PasswordKeeping& keeping, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmEncryption");
    setWindowTitle(ui::ToQString("Encrypt New Backups - " + job.name()));
    chkEncrypt = new QCheckBox("Encrypt new backups", this);
    chkEncrypt->setObjectName("chkEncrypt");
    chkEncrypt->setChecked(encryption.encrypt);
    txtPassword = PasswordBox("txtPassword", "New password", this);
    txtConfirm = PasswordBox("txtConfirm", "New password again", this);
    lblStrength = WrappedLabel("lblStrength", this);
    lblWarning = WrappedLabel("lblWarning", this);
    lblWarning->setText(kLostPasswordWarning);
    lblKept = WrappedLabel("lblKept", this);
    lblKept->setText(ui::ToQString(KeepingText(keeping, encryption)));
    auto* note = WrappedLabel("lblNote", this);
    note->setText("The archives stay standard zip files (WinZip AES-256): 7-Zip and other "
                  "archivers open them with the password. The names of the files in them stay "
                  "readable. Leave the password empty to keep the one stored.");

    auto* form = new QFormLayout;
    form->addRow("New password:", txtPassword);
    form->addRow("Type it again:", txtConfirm);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(chkEncrypt);
    layout->addLayout(form);
    layout->addWidget(lblStrength);
    layout->addWidget(lblWarning);
    layout->addWidget(lblKept);
    layout->addWidget(note);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chkEncrypt, &QCheckBox::toggled, this, [this] { ShowState(); });
    connect(txtPassword, &QLineEdit::textChanged, this, [this] { ShowState(); });
    ShowState();
}

std::string frmEncryption::Password() const {
    return txtPassword->text().toStdString();
}

std::string frmEncryption::Confirmation() const {
    return txtConfirm->text().toStdString();
}

void frmEncryption::ShowState() {
    const bool on = chkEncrypt->isChecked();
    txtPassword->setEnabled(on);
    txtConfirm->setEnabled(on);
    lblStrength->setText(on ? ui::ToQString(PasswordStrengthHint(Password())) : QString());
}

bool ShowEncryptionDialog(QWidget* parent, const Job& job) {
    const JobEncryption before = ReadJobEncryption(job);
    const PasswordKeeping keeping = ReadPasswordKeeping(job);
    frmEncryption form(job, before, keeping, parent);
    for (;;) {
        if (ui::Current().ShowModal(form) != QDialog::Accepted)
            return false;
        if (!form.chkEncrypt->isChecked())
            return TurnOff(job, before, keeping);
        std::string password = form.Password();
        std::string confirmation = form.Confirmation();
        form.txtPassword->clear();
        form.txtConfirm->clear();
        const bool typed = !password.empty() || !confirmation.empty();
        std::string problem;
        if (typed && password != confirmation)
            problem = "The two passwords differ. Type the same password twice.";
        else if (typed)
            problem = PasswordProblem(password);
        else if (typed && !keeping.fromCommand && keeping.stored >= kMostPasswords)
            problem = "The keyring keeps " + std::to_string(kMostPasswords) + " passwords of \"" +
                      job.name() +
                      "\" already, the most its backups can be opened with. Consolidate the "
                      "older backups first, or keep the present password.";
        else if (!keeping.fromCommand && keeping.stored == 0)
            problem = "Type the password for the new backups of \"" + job.name() + "\" twice.";
        if (!problem.empty()) {
            platform::ClearSecretText(password);
            platform::ClearSecretText(confirmation);
            ui::MsgBox(problem, ui::Buttons::OK, ui::Icon::Exclamation);
            continue;
        }
        bool changed = false;
        if (typed)
            changed = TurnOnWithPassword(job, password, keeping);
        else if (before != JobEncryption{true, false})
            changed = WriteJobEncryption(job, {true, false}).ok();
        platform::ClearSecretText(password);
        platform::ClearSecretText(confirmation);
        return changed;
    }
}

} // namespace rk::jobs
