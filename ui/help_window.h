#pragma once
// The window that shows the program's help file. The help file is Markdown
// text; each heading is the anchor "#words-of-the-heading", so the contents
// entries link to their sections. The window stays open beside the program
// until closed.

#include <QDialog>
#include <QString>

#include <string>

class QTextBrowser;

namespace rk::ui {

// The anchor of a heading: lower case, words joined by "-", other
// punctuation left out ("Root and incremental backups" gives
// "root-and-incremental-backups").
QString HeadingAnchor(const QString& heading);

class HelpWindow final : public QDialog {
  public:
    HelpWindow();
    // Loads the file (host path); false when it cannot be read.
    bool Load(const std::string& helpFileHostPath);

    QTextBrowser* Browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

} // namespace rk::ui
