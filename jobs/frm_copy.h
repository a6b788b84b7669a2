#pragma once
// The dialogs of a job's copy on other storage, through rclone:
// "Copy backups to" (Job menu) chooses a remote of the user's rclone
// configuration and a path on it, with a button that opens "rclone config"
// in a terminal to make a new remote; "Get Job From Copy" (File menu) lists
// the jobs a folder of a remote holds and picks one to bring back into the
// job store. Without rclone installed, both say how to get it.

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rk::jobs {

class frmCopyTo final : public QDialog {
  public:
    // For the job `jobName`, whose copy setting is `remote` ("" for none).
    frmCopyTo(const std::string& jobName, const std::string& remote, QWidget* parent = nullptr);

    // "NAME:path" as chosen, or "" when the job is to have no copy.
    std::string Remote() const;
    // Reads the remotes of the user's configuration again.
    void ReadRemotes();

    QCheckBox* chkCopy;
    QComboBox* cboRemote;
    QLineEdit* txtPath;
    QPushButton* cmdNewRemote;
    // What rclone said, or how to get it when it is missing.
    QLabel* lblRclone;

  private:
    void ShowEnabled();
    std::string wanted_;
};

class frmGetJob final : public QDialog {
  public:
    explicit frmGetJob(QWidget* parent = nullptr);

    // The remote's folder that holds the jobs, "NAME:path".
    std::string Folder() const;
    // The chosen job, when one is chosen.
    std::optional<std::string> JobName() const;
    // Lists the jobs of the folder the controls name.
    void ListJobs();

    QComboBox* cboRemote;
    QLineEdit* txtPath;
    QPushButton* cmdList;
    QListWidget* lstJobs;
    QLabel* lblRclone;
};

// Opens "rclone config" in a terminal (x-terminal-emulator) and waits for it
// to be closed, the window kept drawn; why not, when it could not be opened.
std::optional<std::string> OpenRcloneConfig();

// What Verify Backups adds about the job's copy: nothing when the job has no
// copy or the copy holds every archive as it is here; else, after a blank
// line, each archive the copy lacks or holds otherwise, or why the copy
// could not be checked. `whileWaiting` keeps the window drawn.
std::string CopyVerificationText(const std::string& jobFolder,
                                 const std::function<void()>& whileWaiting);

// The lines the main window shows about the job's copy: "Copy backups to:
// REMOTE", and "Copy to REMOTE pending: REASON" while copies are pending;
// empty for a job without a copy.
std::string CopyInformationText(const std::string& jobFolder);

} // namespace rk::jobs
