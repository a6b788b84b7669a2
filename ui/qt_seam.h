#pragma once
// The seam as a person sees it: Qt message boxes, input box, file and folder
// dialogs, modal forms, the desktop's opener and the help window.

#include "ui/seam.h"

#include <memory>

namespace rk::ui {

class HelpWindow;

class QtSeam final : public Seam {
  public:
    QtSeam();
    ~QtSeam() override;

    Answer ShowMessage(const Message& message) override;
    std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                        std::string_view defaultText) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> FolderDialog(QWidget* owner, std::string_view title,
                                            const std::string& initialFolder) override;
    int ShowModal(QDialog& form) override;
    bool OpenInDesktop(const std::string& hostPath) override;
    void ShowHelp(const std::string& helpFileHostPath) override;

  private:
    std::unique_ptr<HelpWindow> helpWindow_;
};

} // namespace rk::ui
