#pragma once
// The progress display drawn on the main window: its status text (through the
// window's own setter) and its progress bar, which accepts any minimum,
// maximum and value.

#include "engine/progress_display.h"

#include <functional>
#include <string_view>

class QProgressBar;

namespace rk {

class StatusBarProgress final : public ProgressDisplay {
  public:
    StatusBarProgress(std::function<void(std::string_view)> setStatusText, QProgressBar& bar);

    void SetStatusText(std::string_view text) override;
    void SetProgressMinimum(int minimum) override;
    void SetProgressMaximum(int maximum) override;
    void SetProgressValue(int value) override;

  private:
    std::function<void(std::string_view)> setStatusText_;
    QProgressBar& bar_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
    // Draws the last values set: a maximum not above the minimum shows an
    // empty bar, a value outside the range is shown at its nearer end.
    void Show();
};

} // namespace rk
