#pragma once
// Asks for the password of a job's encrypted backups when none is known (a
// job brought from another computer, a job that asks at each run, a keyring
// that cannot be reached). The password is used for this run of the program
// only and stored nowhere.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include <optional>
#include <string>

namespace rk::jobs {

class frmPasswordPrompt final : public QDialog {
  public:
    frmPasswordPrompt(const std::string& jobName, const std::string& why,
                      QWidget* parent = nullptr);

    QLabel* lblWhy;
    QLineEdit* txtPassword;
};

// Shows the prompt; the typed password, or nothing when cancelled.
std::optional<std::string> AskPasswordInWindow(const std::string& jobName, const std::string& why);

} // namespace rk::jobs
