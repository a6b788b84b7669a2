#pragma once
// While a backup run holds the user-interface thread, the window keeps
// repainting but takes no input: its menus, toolbar and controls are disabled
// and the wait cursor shows. Input that arrived meanwhile is dropped when the
// run ends, so a click made during a run never starts another one.

class QWidget;

namespace rk::jobs {

class BusyWindow {
  public:
    // `parts`: the widgets that take input (menu bar, toolbar, controls).
    BusyWindow(QWidget* menuBar, QWidget* toolbar, QWidget* controls);
    ~BusyWindow();
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

  private:
    QWidget* menuBar_;
    QWidget* toolbar_;
    QWidget* controls_;
};

} // namespace rk::jobs
