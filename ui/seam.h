#pragma once
// The seam between the program and everything a person sees or answers:
// message boxes, the input box, the file and folder dialogs, modal forms,
// opening a file or folder in the desktop and the help. Forms and commands
// call Current(); the program installs the Qt implementation, tests install a
// scripted one. Paths crossing the seam are host paths.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDialog;
class QWidget;

namespace rk::ui {

enum class Buttons { OK, OKCancel, YesNo, YesNoCancel };
enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Answer { OK, Cancel, Yes, No };

// A message box; its title is always the program title.
struct Message {
    std::string text;
    Buttons buttons = Buttons::OK;
    Icon icon = Icon::None;
    // The button Enter presses; the first button when not given.
    std::optional<Answer> defaultAnswer;
};

enum class FileDialogMode { Open, Save };

// One entry of a file dialog's type list: what the user reads and the
// patterns it admits ("*.exe", or several separated by ";").
struct FileFilter {
    std::string description;
    std::string pattern;
};

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    QWidget* owner = nullptr;
    std::string title;
    // Host folder the dialog opens in; empty lets the dialog choose.
    std::string initialFolder;
    std::vector<FileFilter> filters;
    // Appended to a typed name without extension; empty for none.
    std::string defaultSuffix;
    // The filter chosen when the dialog opens (an index into `filters`).
    std::size_t initialFilter = 0;
};

class Seam {
  public:
    virtual ~Seam() = default;

    virtual Answer ShowMessage(const Message& message) = 0;
    // The text the user confirmed, or nothing when cancelled.
    virtual std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                                std::string_view defaultText) = 0;
    // The host path of the confirmed file, or nothing when cancelled.
    virtual std::optional<std::string> FileDialog(const FileDialogRequest& request) = 0;
    // The host path of the chosen folder, or nothing when cancelled. The
    // dialog opens at `initialFolder` (host path) when it names one.
    virtual std::optional<std::string> FolderDialog(QWidget* owner, std::string_view title,
                                                    const std::string& initialFolder) = 0;
    // Shows a form modally until it is closed; its result (QDialog::Accepted
    // or QDialog::Rejected).
    virtual int ShowModal(QDialog& form) = 0;
    // Hands a file or folder (host path) to the desktop; does not wait.
    virtual bool OpenInDesktop(const std::string& hostPath) = 0;
    // Shows the help file (host path).
    virtual void ShowHelp(const std::string& helpFileHostPath) = 0;
};

// The seam in use. Without one installed, every call fails loudly on
// standard error and answers Cancel.
Seam& Current();

// Installs a seam for the lifetime of the scope and restores the previous
// one afterwards.
class SeamScope {
  public:
    explicit SeamScope(Seam& seam);
    ~SeamScope();
    SeamScope(const SeamScope&) = delete;
    SeamScope& operator=(const SeamScope&) = delete;

  private:
    Seam* previous_;
};

// A message box through the current seam.
Answer MsgBox(std::string_view text, Buttons buttons = Buttons::OK, Icon icon = Icon::None,
              std::optional<Answer> defaultAnswer = std::nullopt);

} // namespace rk::ui
