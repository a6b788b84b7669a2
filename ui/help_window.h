#pragma once
// The window that shows the program's help file. The help file is Markdown
// text; the window stays open beside the program until closed.

#include <QDialog>

#include <string>

class QTextBrowser;

namespace rk::ui {

class HelpWindow final : public QDialog {
  public:
    HelpWindow();
    // Loads the file (host path); false when it cannot be read.
    bool Load(const std::string& helpFileHostPath);

  private:
    QTextBrowser* browser_;
};

} // namespace rk::ui
