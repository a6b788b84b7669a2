#pragma once
// The seam when nobody can see or answer anything (no display): every message
// goes to the error stream as one line, and every question takes the answer
// that does nothing (Cancel, No, or OK for a notice). Nothing ever waits.

#include "ui/seam.h"

#include <iosfwd>

namespace rk::ui {

class HeadlessSeam final : public Seam {
  public:
    explicit HeadlessSeam(std::ostream& errors);

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
    std::ostream& errors_;
};

} // namespace rk::ui
