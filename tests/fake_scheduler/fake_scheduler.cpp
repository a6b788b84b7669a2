// Called as "systemctl" or "crontab" (by the name it was started under). It
// appends every call to $RK_FAKE_SCHEDULER_LOG, one line per call with each
// argument in brackets, and keeps its state in the folder
// $RK_FAKE_SCHEDULER_STATE:
//   systemctl --user show-environment | daemon-reload | restart U: succeed;
//   enable U / disable [--now] U: mark U enabled or not, and, as systemctl
//   does, make or remove the link timers.target.wants/U in the unit folder
//   ($XDG_CONFIG_HOME/systemd/user); is-enabled U;
//   show ... NextElapseUSecRealtime --value U: "@<RK_FAKE_NEXT_ELAPSE>" when
//   U is enabled, or with RK_FAKE_NEXT_ELAPSE_FORM=date the date form of
//   systemd 252 in UTC ("Wed 2026-12-09 21:02:00 UTC"). With
//   RK_FAKE_SYSTEMD=absent every call fails as systemctl does without a user
//   manager.
//   crontab -l: the kept crontab, or "no crontab for user" and exit 1;
//   crontab -: keeps standard input as the crontab.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Systemctl(const std::vector<std::string>& args, const fs::path& state) {
    if (Env("RK_FAKE_SYSTEMD") == "absent") {
        std::cerr << "Failed to connect to bus: No medium found\n";
        return 1;
    }
    if (args.empty() || args[0] != "--user") {
        std::cerr << "stand-in systemctl: only --user is answered\n";
        return 1;
    }
    const std::string verb = args.size() > 1 ? args[1] : "";
    const std::string unit = args.size() > 2 ? args.back() : "";
    const fs::path enabled = state / ("enabled-" + unit);
    const fs::path wants =
        fs::path(Env("XDG_CONFIG_HOME")) / "systemd" / "user" / "timers.target.wants" / unit;
    if (verb == "show-environment") {
        std::cout << "HOME=" << Env("HOME") << '\n';
        return 0;
    }
    if (verb == "daemon-reload" || verb == "restart")
        return 0;
    if (verb == "enable") {
        std::ofstream(enabled) << "1";
        std::error_code ec;
        fs::create_directories(wants.parent_path(), ec);
        fs::remove(wants, ec);
        fs::create_symlink(wants.parent_path().parent_path() / unit, wants, ec);
        return 0;
    }
    if (verb == "disable") {
        std::error_code ec;
        fs::remove(enabled, ec);
        fs::remove(wants, ec);
        return 0;
    }
    if (verb == "is-enabled") {
        const bool on = fs::exists(enabled);
        std::cout << (on ? "enabled" : "disabled") << '\n';
        return on ? 0 : 1;
    }
    if (verb == "show") {
        if (fs::exists(enabled) && Env("RK_FAKE_NEXT_ELAPSE_FORM") == "date") {
            const std::time_t when = std::strtoll(Env("RK_FAKE_NEXT_ELAPSE").c_str(), nullptr, 10);
            std::tm utc{};
            gmtime_r(&when, &utc);
            char text[64];
            std::strftime(text, sizeof text, "%a %Y-%m-%d %H:%M:%S UTC", &utc);
            std::cout << text << '\n';
        } else if (fs::exists(enabled)) {
            std::cout << '@' << Env("RK_FAKE_NEXT_ELAPSE") << '\n';
        } else
            std::cout << "\n";
        return 0;
    }
    std::cerr << "stand-in systemctl: unknown verb " << verb << '\n';
    return 1;
}

int Crontab(const std::vector<std::string>& args, const fs::path& state) {
    const fs::path table = state / "crontab";
    if (args.size() == 1 && args[0] == "-l") {
        std::ifstream in(table, std::ios::binary);
        if (!in) {
            std::cerr << "no crontab for user\n";
            return 1;
        }
        std::cout << in.rdbuf();
        return 0;
    }
    if (args.size() == 1 && args[0] == "-") {
        const std::string text((std::istreambuf_iterator<char>(std::cin)),
                               std::istreambuf_iterator<char>());
        std::ofstream(table, std::ios::binary | std::ios::trunc) << text;
        return 0;
    }
    std::cerr << "stand-in crontab: unknown call\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = fs::path(argv[0]).filename().string();
    std::vector<std::string> args(argv + 1, argv + argc);
    {
        std::ofstream log(Env("RK_FAKE_SCHEDULER_LOG"), std::ios::app);
        log << name;
        for (const std::string& a : args)
            log << " [" << a << ']';
        log << '\n';
    }
    const fs::path state = Env("RK_FAKE_SCHEDULER_STATE");
    if (name == "systemctl")
        return Systemctl(args, state);
    if (name == "crontab")
        return Crontab(args, state);
    std::cerr << "stand-in scheduler: called as " << name << '\n';
    return 1;
}
