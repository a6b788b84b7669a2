#include "platform/process.h"

#include "platform/drive_map.h"
#include "platform/file_system.h"

#include <cerrno>
#include <csignal>
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
constexpr size_t kLongestErrorLine = 64 * 1024;
// The descriptor the progress channel has in the started process.
constexpr int kProgressDescriptor = 3;

// Keeps the last lines of what the process wrote to its standard error. A
// line cut by the byte limit is dropped whole, so the tail never starts in
// the middle of a line.
void KeepTail(std::string& tail, const char* data, size_t size) {
    tail.append(data, size);
    if (tail.size() > kTailBytes) {
        const size_t cut = tail.size() - kTailBytes;
        const size_t lineEnd = tail.find('\n', cut > 0 ? cut - 1 : 0);
        tail.erase(0, lineEnd == std::string::npos ? cut : lineEnd + 1);
    }
    int lines = 0;
    for (size_t i = tail.size(); i-- > 0;) {
        if (tail[i] == '\n' && i + 1 < tail.size() && ++lines >= kTailLines) {
            tail.erase(0, i + 1);
            break;
        }
    }
}

// Hands every whole line of `text` to `take` and keeps the rest.
void HandLines(std::string& text, const std::function<void(std::string_view)>& take) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        take(line);
    }
    text.erase(0, start);
}

} // namespace

std::string EndErrorText(const std::string& program, int error) {
    return "cannot read how '" + program + "' ended: " + std::strerror(error);
}

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
    ProcessWatch watch;
    watch.whileWaiting = whileWaiting;
    return RunProcess(args, watch);
}

ProcessOutcome RunProcess(const std::vector<std::string>& args, const ProcessWatch& watch) {
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

    const bool withProgress = !watch.progressVariable.empty() && watch.progressLine;
    int errPipe[2];
    int progressPipe[2] = {-1, -1};
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    if (withProgress && pipe2(progressPipe, O_CLOEXEC) != 0) {
        outcome.startError = std::strerror(errno);
        close(errPipe[0]);
        close(errPipe[1]);
        return outcome;
    }
    // The environment, with the progress channel named when there is one.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        if (!withProgress || std::string_view(*e).rfind(watch.progressVariable + "=", 0) != 0)
            environment.emplace_back(*e);
    if (withProgress)
        environment.push_back(watch.progressVariable + "=" + std::to_string(kProgressDescriptor));
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (withProgress)
        posix_spawn_file_actions_adddup2(&actions, progressPipe[1], kProgressDescriptor);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program->c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errPipe[1]);
    if (withProgress)
        close(progressPipe[1]);
    if (rc != 0) {
        close(errPipe[0]);
        if (withProgress)
            close(progressPipe[0]);
        outcome.startError = "cannot start '" + args[0] + "': " + std::strerror(rc);
        return outcome;
    }
    outcome.started = true;

    // Asked once, between reads: the process is sent SIGTERM, and ends as it
    // chooses (a utility removes what it had half written).
    const auto checkStop = [&] {
        if (!outcome.stopped && watch.stopRequested && watch.stopRequested()) {
            kill(pid, SIGTERM);
            outcome.stopped = true;
        }
    };
    pollfd readers[2] = {{errPipe[0], POLLIN, 0}, {progressPipe[0], POLLIN, 0}};
    const nfds_t count = withProgress ? 2 : 1;
    std::string progressText;
    std::string errorText;
    char buffer[4096];
    while (readers[0].fd >= 0 || (withProgress && readers[1].fd >= 0)) {
        const int ready = poll(readers, count, 50);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && readers[0].fd >= 0 && readers[0].revents != 0) {
            const ssize_t n = read(errPipe[0], buffer, sizeof buffer);
            if (n > 0) {
                WriteAllBytes(2, buffer, static_cast<size_t>(n));
                KeepTail(outcome.stderrTail, buffer, static_cast<size_t>(n));
                if (watch.errorLine) {
                    errorText.append(buffer, static_cast<size_t>(n));
                    HandLines(errorText, watch.errorLine);
                    // A line without end is not held without bound.
                    if (errorText.size() > kLongestErrorLine) {
                        watch.errorLine(errorText);
                        errorText.clear();
                    }
                }
            } else if (n == 0 || errno != EINTR) {
                readers[0].fd = -1;
            }
        }
        if (ready > 0 && withProgress && readers[1].fd >= 0 && readers[1].revents != 0) {
            const ssize_t n = read(progressPipe[0], buffer, sizeof buffer);
            if (n > 0) {
                progressText.append(buffer, static_cast<size_t>(n));
                for (size_t end; (end = progressText.find('\n')) != std::string::npos;) {
                    watch.progressLine(std::string_view(progressText).substr(0, end));
                    progressText.erase(0, end + 1);
                }
            } else if (n == 0 || errno != EINTR) {
                readers[1].fd = -1;
            }
        }
        if (watch.whileWaiting)
            watch.whileWaiting();
        checkStop();
    }
    close(errPipe[0]);
    if (withProgress)
        close(progressPipe[0]);
    if (watch.errorLine && !errorText.empty())
        watch.errorLine(errorText);
    int status = 0;
    const bool polling = watch.whileWaiting || watch.stopRequested;
    for (;;) {
        const pid_t done = waitpid(pid, &status, polling ? WNOHANG : 0);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            // Without its status the process cannot count as having
            // succeeded: the outcome keeps exit code -1 and says why.
            outcome.endError = EndErrorText(args[0], errno);
            return outcome;
        }
        if (done == 0) {
            if (watch.whileWaiting)
                watch.whileWaiting();
            checkStop();
            usleep(50 * 1000);
        }
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace rk::platform
