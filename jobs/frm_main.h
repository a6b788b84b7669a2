#pragma once
// The main window: for now its title, and the status bar whose first panel is
// the status text and whose progress bar is the program's progress display.

#include <QMainWindow>

#include <string>
#include <string_view>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace rk::jobs {

class frmMain final : public QMainWindow {
  public:
    // Loads the window (not shown).
    explicit frmMain(QWidget* parent = nullptr);

    // Refills the window from the job store folder; sets the title.
    void DataRefresh();

    // The text of the status bar's first panel.
    std::string StatusText() const;
    void SetStatusText(std::string_view text);

    QStatusBar* axStatusBar;
    QProgressBar* axProgressBar;

  private:
    QLabel* statusPanel_;
};

} // namespace rk::jobs
