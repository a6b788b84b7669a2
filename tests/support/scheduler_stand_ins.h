#pragma once
// The stand-in "systemctl" and "crontab" (rk_fake_scheduler) first on PATH
// for the lifetime of the object, with their log and state in the sandbox.

#include "support/sandbox.h"

#include "support/saved_environment.h"

#include <filesystem>
#include <string>
#include <vector>

namespace rk::test {

class SchedulerStandIns {
  public:
    // Without `withSystemd` the stand-in systemctl answers as one with no user
    // manager does; without `withCrontab` there is no crontab on PATH.
    explicit SchedulerStandIns(const Sandbox& box, bool withSystemd = true,
                               bool withCrontab = true);
    ~SchedulerStandIns();
    SchedulerStandIns(const SchedulerStandIns&) = delete;
    SchedulerStandIns& operator=(const SchedulerStandIns&) = delete;

    // Every call made since the start (or the last ClearCalls), one per line:
    // "systemctl [--user] [enable] [x.timer]".
    std::vector<std::string> Calls() const;
    void ClearCalls() const;
    // The crontab the stand-in keeps; empty when there is none.
    std::string Crontab() const;
    std::filesystem::path UnitFolder() const;

  private:
    std::filesystem::path folder_;
    SavedEnvironment environment_;
    void Set(const char* name, const std::string& value) { environment_.Set(name, value); }
};

} // namespace rk::test
