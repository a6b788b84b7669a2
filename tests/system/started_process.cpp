#include "started_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::test {

namespace {

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& changes) {
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    for (const std::string& change : changes) {
        const std::string name = change.substr(0, change.find('='));
        std::erase_if(environment, [&](const std::string& entry) {
            return entry.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (change.find('=') != std::string::npos)
            environment.push_back(change);
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

} // namespace

StartedProcess::~StartedProcess() {
    Stop();
}

std::optional<std::string> StartedProcess::Start(const std::vector<std::string>& arguments,
                                                 const StartOptions& options) {
    if (pid_ > 0)
        return std::string("already started");
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environment = EnvironmentWith(options.environment);
    std::vector<char*> argv = Pointers(argumentTexts);
    std::vector<char*> envp = Pointers(environment);
    const std::string log = options.log.empty() ? "/dev/null" : options.log.string();
    const std::string procs =
        options.cgroup.empty() ? std::string() : (options.cgroup / "cgroup.procs").string();
    // Opened before the fork: the child only duplicates and writes.
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (logFd < 0)
        return "cannot open " + log + ": " + std::strerror(errno);
    int procsFd = -1;
    if (!procs.empty()) {
        procsFd = open(procs.c_str(), O_WRONLY | O_CLOEXEC);
        if (procsFd < 0) {
            const std::string reason = "cannot open " + procs + ": " + std::strerror(errno);
            close(logFd);
            return reason;
        }
    }
    int inputPipe[2] = {-1, -1};
    if (!input_.empty()) {
        if (pipe2(inputPipe, O_CLOEXEC) != 0 || write(inputPipe[1], input_.data(), input_.size()) !=
                                                    static_cast<ssize_t>(input_.size())) {
            close(logFd);
            return std::string("cannot give the input: ") + std::strerror(errno);
        }
        close(inputPipe[1]);
    }
    const pid_t child = fork();
    if (child == 0) {
        // "0" moves the writing process itself.
        if (procsFd >= 0 && write(procsFd, "0", 1) != 1)
            _exit(124);
        const int input = inputPipe[0] >= 0 ? inputPipe[0] : open("/dev/null", O_RDONLY);
        if (input < 0 || dup2(input, 0) < 0 || dup2(logFd, 1) < 0 || dup2(logFd, 2) < 0)
            _exit(124);
        // A process group of its own, so a stop reaches what it started.
        setpgid(0, 0);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    const int forkError = errno;
    close(logFd);
    if (inputPipe[0] >= 0)
        close(inputPipe[0]);
    if (procsFd >= 0)
        close(procsFd);
    if (child < 0)
        return std::string("fork: ") + std::strerror(forkError);
    pid_ = child;
    exitCode_.reset();
    return std::nullopt;
}

bool StartedProcess::Running() {
    if (pid_ <= 0 || exitCode_)
        return false;
    int status = 0;
    const pid_t ended = waitpid(pid_, &status, WNOHANG);
    if (ended == pid_) {
        exitCode_ = ExitCodeOf(status);
        return false;
    }
    return ended == 0;
}

std::optional<int> StartedProcess::WaitForExit(std::chrono::milliseconds limit) {
    WaitUntil(limit, [&] { return !Running(); });
    return exitCode_;
}

void StartedProcess::Stop(std::chrono::milliseconds grace) {
    if (pid_ <= 0)
        return;
    if (Running()) {
        kill(pid_, SIGTERM);
        if (!WaitForExit(grace)) {
            kill(pid_, SIGKILL);
            WaitForExit(std::chrono::seconds(5));
        }
    }
    pid_ = -1;
}

} // namespace rk::test
