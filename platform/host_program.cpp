#include "platform/host_program.h"

#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::platform {

namespace {

struct Pipe {
    int fd[2] = {-1, -1};
    bool Open() { return pipe2(fd, O_CLOEXEC) == 0; }
    void Close(int end) {
        if (fd[end] >= 0)
            close(fd[end]);
        fd[end] = -1;
    }
    ~Pipe() {
        Close(0);
        Close(1);
    }
};

} // namespace

bool HostProgramSucceeded(const HostProgramOutcome& outcome) {
    return outcome.started && outcome.endError.empty() && outcome.exitCode == 0;
}

bool HostProgramExists(const std::string& name) {
    if (name.empty())
        return false;
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string_view folders = path ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty())
            folder = ".";
        if (access((folder + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        folders.remove_prefix(colon + 1);
    }
}

HostProgramOutcome RunHostProgram(const std::vector<std::string>& args, std::string_view input) {
    HostProgramOutcome outcome;
    if (args.empty()) {
        outcome.startError = "empty command line";
        return outcome;
    }
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    Pipe in, out, err;
    if (!in.Open() || !out.Open() || !err.Open()) {
        outcome.startError = std::strerror(errno);
        return outcome;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.fd[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out.fd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err.fd[1], 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    in.Close(0);
    out.Close(1);
    err.Close(1);
    if (rc != 0) {
        outcome.startError = "cannot start '" + args[0] + "': " + std::strerror(rc);
        return outcome;
    }
    outcome.started = true;

    // A program that stops reading its input early must not end this one.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);

    std::size_t written = 0;
    if (input.empty())
        in.Close(1);
    else
        fcntl(in.fd[1], F_SETFL, O_NONBLOCK);
    char buffer[4096];
    while (out.fd[0] >= 0 || err.fd[0] >= 0 || in.fd[1] >= 0) {
        pollfd fds[3] = {{in.fd[1], POLLOUT, 0}, {out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (in.fd[1] >= 0 && fds[0].revents != 0) {
            const ssize_t n = write(in.fd[1], input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                in.Close(1);
        }
        for (int i = 1; i <= 2; ++i) {
            Pipe& pipe = i == 1 ? out : err;
            if (pipe.fd[0] < 0 || fds[i].revents == 0)
                continue;
            const ssize_t n = read(pipe.fd[0], buffer, sizeof buffer);
            if (n > 0)
                (i == 1 ? outcome.out : outcome.err).append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                pipe.Close(0);
        }
    }
    sigaction(SIGPIPE, &previous, nullptr);
    int status = 0;
    for (;;) {
        if (waitpid(pid, &status, 0) == pid)
            break;
        if (errno != EINTR) {
            outcome.endError = EndErrorText(args[0], errno);
            return outcome;
        }
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace rk::platform
