#include "platform/process.h"

#include "platform/drive_map.h"
#include "platform/file_system.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::platform {

namespace {

constexpr size_t kTailBytes = 4096;
constexpr int kTailLines = 20;

// Keeps the last lines of what the process wrote to its standard error.
void KeepTail(std::string& tail, const char* data, size_t size) {
    tail.append(data, size);
    if (tail.size() > kTailBytes)
        tail.erase(0, tail.size() - kTailBytes);
    int lines = 0;
    for (size_t i = tail.size(); i-- > 0;) {
        if (tail[i] == '\n' && i + 1 < tail.size() && ++lines >= kTailLines) {
            tail.erase(0, i + 1);
            break;
        }
    }
}

} // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument)
                args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

ProcessOutcome RunProcess(const std::vector<std::string>& args,
                          const std::function<void()>& whileWaiting) {
    ProcessOutcome outcome;
    if (args.empty()) {
        outcome.startError = "empty command line";
        return outcome;
    }
    const auto program = ToHostPath(args[0]);
    if (!program) {
        outcome.startError = "'" + args[0] + "' names no local file";
        return outcome;
    }
    std::vector<std::string> hostArgs = args;
    hostArgs[0] = *program;
    std::vector<char*> argv;
    for (auto& a : hostArgs)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int errPipe[2];
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program->c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    if (rc != 0) {
        close(errPipe[0]);
        outcome.startError = "cannot start '" + args[0] + "': " + std::strerror(rc);
        return outcome;
    }
    outcome.started = true;

    pollfd reader{errPipe[0], POLLIN, 0};
    bool open = true;
    char buffer[4096];
    while (open) {
        const int ready = poll(&reader, 1, 50);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
            if (n > 0) {
                WriteAllBytes(2, buffer, static_cast<size_t>(n));
                KeepTail(outcome.stderrTail, buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                open = false;
            }
        }
        if (whileWaiting)
            whileWaiting();
    }
    close(errPipe[0]);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, whileWaiting ? WNOHANG : 0);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            status = 0;
            break;
        }
        if (done == 0) {
            whileWaiting();
            usleep(50 * 1000);
        }
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace rk::platform
