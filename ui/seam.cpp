#include "ui/seam.h"

#include "core/report_lines.h"

#include <QDialog>

#include <iostream>

namespace rk::ui {

namespace {

// Stands in while no seam is installed: nothing can be asked, so every call
// says so on standard error and takes the cancelling answer.
class MissingSeam final : public Seam {
  public:
    Answer ShowMessage(const Message& message) override {
        Complain("message box: " + message.text);
        return Answer::Cancel;
    }
    std::optional<std::string> InputBox(std::string_view prompt, std::string_view,
                                        std::string_view) override {
        Complain("input box: " + std::string(prompt));
        return std::nullopt;
    }
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override {
        Complain("file dialog: " + request.title);
        return std::nullopt;
    }
    std::optional<std::string> FolderDialog(QWidget*, std::string_view title,
                                            const std::string&) override {
        Complain("folder dialog: " + std::string(title));
        return std::nullopt;
    }
    int ShowModal(QDialog& form) override {
        Complain("form: " + form.objectName().toStdString());
        return QDialog::Rejected;
    }
    bool OpenInDesktop(const std::string& hostPath) override {
        Complain("open: " + hostPath);
        return false;
    }
    void ShowHelp(const std::string& helpFileHostPath) override {
        Complain("help: " + helpFileHostPath);
    }

  private:
    static void Complain(const std::string& what) {
        ReportLine(std::cerr, "no user interface for " + what);
    }
};

MissingSeam missingSeam;
Seam* current = nullptr;

} // namespace

Seam& Current() {
    return current != nullptr ? *current : missingSeam;
}

SeamScope::SeamScope(Seam& seam) : previous_(current) {
    current = &seam;
}

SeamScope::~SeamScope() {
    current = previous_;
}

Answer MsgBox(std::string_view text, Buttons buttons, Icon icon,
              std::optional<Answer> defaultAnswer) {
    return Current().ShowMessage(Message{std::string(text), buttons, icon, defaultAnswer});
}

} // namespace rk::ui
