#pragma once
// The Encrypt New Backups dialog: whether the job's new backups are
// encrypted, and their password, typed twice, with a strength hint and the
// plain warning that a lost password means lost backups. The password goes
// to the desktop's keyring (never to a file); a changed password keeps the
// earlier ones there, newest first, so older backups still open. Where no
// keyring can keep it, the job may ask for it at each run instead.

#include "engine/job.h"
#include "engine/job_encryption.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include <string>

namespace rk::jobs {

// Where the job's passwords are kept now, as the dialog tells it.
struct PasswordKeeping {
    // The passwords come from RAVELKEEP_PASSWORD_COMMAND: none is stored.
    bool fromCommand = false;
    // The keyring answered; how many passwords it keeps for the job.
    bool keyringReady = false;
    std::size_t stored = 0;
    // Why the keyring could not answer.
    std::string problem;
};

PasswordKeeping ReadPasswordKeeping(const Job& job);

class frmEncryption final : public QDialog {
  public:
    frmEncryption(const Job& job, const JobEncryption& encryption, const PasswordKeeping& keeping,
                  QWidget* parent = nullptr);

    QCheckBox* chkEncrypt;
    QLineEdit* txtPassword;
    QLineEdit* txtConfirm;
    QLabel* lblStrength;
    QLabel* lblWarning;
    QLabel* lblKept;

    std::string Password() const;
    std::string Confirmation() const;

  private:
    void ShowState();
};

// The warning the dialog shows.
inline constexpr const char* kLostPasswordWarning =
    "If you lose this password, the backups encrypted with it are lost: nobody, not even "
    "Ravelkeep, can open them without it.";

// Shows the dialog for the job and carries out what was chosen (asking
// further where needed); true when the job's setting or passwords changed.
bool ShowEncryptionDialog(QWidget* parent, const Job& job);

} // namespace rk::jobs
