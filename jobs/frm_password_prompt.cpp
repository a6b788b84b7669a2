#include "jobs/frm_password_prompt.h"

#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace rk::jobs {

frmPasswordPrompt::frmPasswordPrompt(const std::string& jobName, const std::string& why,
                                     QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmPasswordPrompt");
    setWindowTitle(ui::ToQString("Password - " + jobName));
    lblWhy = new QLabel(ui::ToQString(why + "\n\nType the password of these backups:"), this);
    lblWhy->setObjectName("lblWhy");
    lblWhy->setWordWrap(true);
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName("txtPassword");
    txtPassword->setAccessibleName("Password");
    txtPassword->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblWhy);
    layout->addWidget(txtPassword);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::optional<std::string> AskPasswordInWindow(const std::string& jobName, const std::string& why) {
    frmPasswordPrompt prompt(jobName, why);
    if (ui::Current().ShowModal(prompt) != QDialog::Accepted)
        return std::nullopt;
    std::string typed = prompt.txtPassword->text().toStdString();
    prompt.txtPassword->clear();
    if (typed.empty())
        return std::nullopt;
    return typed;
}

} // namespace rk::jobs
