#include "ui/status_progress.h"

#include <QProgressBar>

#include <algorithm>

namespace rk {

StatusBarProgress::StatusBarProgress(std::function<void(std::string_view)> setStatusText,
                                     QProgressBar& bar)
    : setStatusText_(std::move(setStatusText)), bar_(bar), minimum_(bar.minimum()),
      maximum_(bar.maximum()), value_(bar.value()) {}

void StatusBarProgress::SetStatusText(std::string_view text) {
    if (setStatusText_)
        setStatusText_(text);
}

void StatusBarProgress::SetProgressMinimum(int minimum) {
    minimum_ = minimum;
    Show();
}

void StatusBarProgress::SetProgressMaximum(int maximum) {
    maximum_ = maximum;
    Show();
}

void StatusBarProgress::SetProgressValue(int value) {
    value_ = value;
    Show();
}

void StatusBarProgress::Show() {
    // An empty range would make the bar a busy indicator; it shows empty.
    if (maximum_ <= minimum_) {
        bar_.setRange(minimum_, minimum_ + 1);
        bar_.setValue(minimum_);
        return;
    }
    bar_.setRange(minimum_, maximum_);
    bar_.setValue(std::clamp(value_, minimum_, maximum_));
}

} // namespace rk
