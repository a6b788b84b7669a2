#include "support/scheduler_stand_ins.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace rk::test {

namespace fs = std::filesystem;

SchedulerStandIns::SchedulerStandIns(const Sandbox& box, bool withSystemd, bool withCrontab)
    : folder_(box.root() / "scheduler") {
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "bin");
    fs::create_directories(folder_ / "state");
    const fs::path standIn = ProgramDir() / "rk_fake_scheduler";
    fs::create_symlink(standIn, folder_ / "bin" / "systemctl");
    if (withCrontab)
        fs::create_symlink(standIn, folder_ / "bin" / "crontab");
    // Only the stand-ins are on PATH: a real systemctl or crontab is never
    // reached, and a stand-in left out is missing.
    Set("PATH", (folder_ / "bin").string());
    Set("RK_FAKE_SCHEDULER_LOG", (folder_ / "calls.log").string());
    Set("RK_FAKE_SCHEDULER_STATE", (folder_ / "state").string());
    Set("RK_FAKE_SYSTEMD", withSystemd ? "present" : "absent");
    Set("RK_FAKE_NEXT_ELAPSE", "1796601600");
}

SchedulerStandIns::~SchedulerStandIns() = default;

std::vector<std::string> SchedulerStandIns::Calls() const {
    std::vector<std::string> calls;
    std::ifstream log(folder_ / "calls.log");
    for (std::string line; std::getline(log, line);)
        calls.push_back(line);
    return calls;
}

void SchedulerStandIns::ClearCalls() const {
    std::error_code ec;
    fs::remove(folder_ / "calls.log", ec);
}

std::string SchedulerStandIns::Crontab() const {
    std::ifstream in(folder_ / "state" / "crontab", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path SchedulerStandIns::UnitFolder() const {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    return fs::path(config ? config : "") / "systemd" / "user";
}

} // namespace rk::test
