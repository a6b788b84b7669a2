#include "measured_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kErrorTail = 400;

// The text of a file the run wrote (its stderr, its measures); the file is
// removed.
std::string ReadAndRemove(const std::string& path) {
    std::string text;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            text.append(buffer, n);
        std::fclose(in);
    }
    unlink(path.c_str());
    if (text.size() > kErrorTail)
        text.erase(0, text.size() - kErrorTail);
    return text;
}

} // namespace

Measure RunMeasured(const std::vector<std::string>& args, const fs::path& folder) {
    Measure measure;
    const fs::path helper = fs::read_symlink("/proc/self/exe").parent_path() / "rk_bench_spawn";
    std::string resultPath = (fs::temp_directory_path() / "rk-bench-result-XXXXXX").string();
    const int resultFd = mkstemp(resultPath.data());
    if (resultFd >= 0)
        close(resultFd);
    std::vector<std::string> helperArgs = {helper.string(), resultPath};
    helperArgs.insert(helperArgs.end(), args.begin(), args.end());
    std::vector<char*> argv;
    argv.reserve(helperArgs.size() + 1);
    for (const auto& a : helperArgs)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::string errorPath = (fs::temp_directory_path() / "rk-bench-stderr-XXXXXX").string();
    const int errorFd = mkstemp(errorPath.data());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errorFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorFd, 2);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());

    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (errorFd >= 0)
        close(errorFd);
    int status = 0;
    if (rc == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    measure.errorTail = ReadAndRemove(errorPath);
    const std::string result = ReadAndRemove(resultPath);
    if (rc != 0 || !WIFEXITED(status) || WEXITSTATUS(status) >= 125 ||
        std::sscanf(result.c_str(), "%d %lf %ld", &measure.exitCode, &measure.seconds,
                    &measure.peakKb) != 3) {
        measure.errorTail = "cannot start " + args[0] + " " + measure.errorTail;
        return measure;
    }
    measure.started = true;
    return measure;
}

void Accumulate(Measure& total, const Measure& one) {
    if (!total.started) {
        total = one;
        return;
    }
    total.seconds += one.seconds;
    total.peakKb = std::max(total.peakKb, one.peakKb);
    if (total.exitCode == 0 && one.exitCode != 0) {
        total.exitCode = one.exitCode;
        total.errorTail = one.errorTail;
    }
    total.started = total.started && one.started;
}

std::optional<std::string> FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            const std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace rk::bench
