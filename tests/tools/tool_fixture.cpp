#include "tool_fixture.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>

extern char** environ;

namespace rk::test {

ToolTest::ToolTest() = default;

RunResult ToolTest::Zip(const std::vector<std::string>& args) const {
    std::vector<std::string> full{(ProgramDir() / "rkzip").string()};
    full.insert(full.end(), args.begin(), args.end());
    return rk::test::Run(full);
}

RunResult ToolTest::Unzip(const std::vector<std::string>& args) const {
    std::vector<std::string> full{(ProgramDir() / "rkunzip").string()};
    full.insert(full.end(), args.begin(), args.end());
    return rk::test::Run(full);
}

pid_t ToolTest::Start(const std::string& tool, const std::vector<std::string>& args) const {
    std::vector<std::string> full{(ProgramDir() / tool).string()};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(full.size() + 1);
    for (auto& a : full)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&signals, number);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::vector<std::string> ToolTest::NamesIn(const std::filesystem::path& archive) const {
    return ArchiveNames(archive, false);
}

bool ToolTest::IsSound(const std::filesystem::path& archive) const {
    const RunResult tested = rk::test::Run({"/usr/bin/unzip", "-tq", archive.string()});
    // unzip reports an archive without entries as a warning (exit 1).
    return tested.exitCode == 0 ||
           (tested.exitCode == 1 && tested.out.find("zipfile is empty") != std::string::npos);
}

RunResult ToolTest::Backup(const std::string& mode, const std::string& archiveWindows,
                           const std::string& exclusionWindows,
                           const std::string& listWindows) const {
    return Zip({mode, "-P", "-r", "-whs", "-yp", "-^^", "-x@" + exclusionWindows, archiveWindows,
                "@" + listWindows});
}

void ToolTest::WriteLines(const std::filesystem::path& file,
                          const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    sandbox.write(file, text);
}

} // namespace rk::test
