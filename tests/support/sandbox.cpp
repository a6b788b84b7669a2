#include "sandbox.h"

#include "platform/drive_map.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::test {

namespace fs = std::filesystem;

Sandbox::Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "rk-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a sandbox folder");
    root_ = pattern;
    fs::create_directories(c());
    fs::create_directories(d());
    fs::create_directories(home());
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "config");
    setEnv("RAVELKEEP_DRIVES", "C=" + c().string() + ";D=" + d().string() + ";Z=/");
    setEnv("HOME", home().string());
    setEnv("TMPDIR", (root_ / "tmp").string());
    setEnv("XDG_CONFIG_HOME", (root_ / "config").string());
    // Skip records of runs whose disk was not connected stay in the sandbox.
    setEnv("XDG_STATE_HOME", (root_ / "state").string());
    setEnv("RAVELKEEP_REGISTRY", registry().string());
    // A bus that is not there: no test's failed run notifies the real desktop.
    setEnv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root_ / "no-session-bus").string());
    rk::platform::ReloadDriveMap();
}

Sandbox::~Sandbox() {
    // The environment comes back first, then the drive map made from it.
    environment_.Restore();
    rk::platform::ReloadDriveMap();
    std::error_code ec;
    // Read-only folders made by a test must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::none, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
}

void Sandbox::write(const fs::path& hostPath, std::string_view content) const {
    fs::create_directories(hostPath.parent_path());
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + hostPath.string());
}

std::string Sandbox::read(const fs::path& hostPath) const {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path ProgramDir() {
    const char* dir = std::getenv("RK_PROGRAM_DIR");
    return dir != nullptr && *dir != '\0' ? fs::path(dir) : fs::path(RK_BUILT_PROGRAM_DIR);
}

std::vector<std::string> ArchiveNamesInOrder(const fs::path& archive) {
    const RunResult listed = Run({"/usr/bin/unzip", "-Z1", archive.string()});
    std::vector<std::string> names;
    if (listed.exitCode != 0)
        return names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line != kDeletionRecordEntry)
            names.push_back(line);
    return names;
}

std::vector<std::string> ArchiveNames(const fs::path& archive, bool withFolders) {
    std::vector<std::string> names;
    for (std::string& name : ArchiveNamesInOrder(archive))
        if (withFolders || name.back() != '/')
            names.push_back(std::move(name));
    std::sort(names.begin(), names.end());
    return names;
}

RunResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env,
              const fs::path& workingFolder) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    for (const auto& change : env) {
        const auto eq = change.find('=');
        const std::string name = change.substr(0, eq);
        std::erase_if(environment, [&](const std::string& v) {
            return v.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (eq != std::string::npos)
            environment.push_back(change);
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    RunResult result;
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        result.err = "cannot start " + args[0];
        return result;
    }
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0)
                continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

void InstallProgramCopy(const Sandbox& box, const fs::path& folder, std::string_view folderText,
                        std::string_view jobStore, std::string_view moreSettings) {
    fs::create_directories(folder);
    for (const char* file : {"rkbak", "rkzip", "rkunzip", "excl.txt"})
        fs::copy_file(ProgramDir() / file, folder / file, fs::copy_options::overwrite_existing);
    const std::string at(folderText);
    box.write(folder / "rkbak.ini", "[settings]\r\nziputil=" + at + "\\rkzip\r\nunziputil=" + at +
                                        "\\rkunzip\r\njobs=" + std::string(jobStore) +
                                        "\r\nUpgradePromptShown=-1\r\n" +
                                        std::string(moreSettings));
}

} // namespace rk::test
