#pragma once
// The program's one progress display, the main window's status text and
// progress bar, as the long operations write it. Any minimum, maximum and
// value must be accepted, in any order, without failing.

#include <string_view>

namespace rk {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    virtual void SetStatusText(std::string_view text) = 0;
    virtual void SetProgressMinimum(int minimum) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressValue(int value) = 0;
};

// A display nobody watches: a windowless run, a benchmark.
class NoProgress final : public ProgressDisplay {
  public:
    void SetStatusText(std::string_view) override {}
    void SetProgressMinimum(int) override {}
    void SetProgressMaximum(int) override {}
    void SetProgressValue(int) override {}
};

} // namespace rk
