#include "platform/spawned_process.h"

#include "platform/file_system.h"
#include "platform/ignored_signal.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
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
// How often a watched process's watcher is called, in milliseconds.
constexpr int kWatchTick = 50;

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

// Reads what is there from the pipe's read end into `buffer`; closes the end
// when the writer has closed it or reading fails.
ssize_t ReadSome(Pipe& pipe, char* buffer, size_t size) {
    const ssize_t n = read(pipe.fd[0], buffer, size);
    if (n == 0 || (n < 0 && errno != EINTR))
        pipe.Close(0);
    return n;
}

// Our environment without the withheld variables and those set anew, then
// those set anew ("NAME=VALUE").
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& withheld,
                                         const std::vector<std::string>& set) {
    const auto named = [](std::string_view entry, std::string_view name) {
        return entry.size() > name.size() && entry.substr(0, name.size()) == name &&
               entry[name.size()] == '=';
    };
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        bool keep = true;
        for (const std::string& name : withheld)
            keep = keep && !named(entry, name);
        for (const std::string& assignment : set)
            keep =
                keep && !named(entry, std::string_view(assignment).substr(0, assignment.find('=')));
        if (keep)
            environment.emplace_back(entry);
    }
    environment.insert(environment.end(), set.begin(), set.end());
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (auto& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// One process from its start to its end.
class RunningProcess {
  public:
    RunningProcess(const ProcessStart& start, const ProcessWatch& watch, ProcessOutcome& outcome)
        : start_(start), watch_(watch), outcome_(outcome),
          withProgress_(!watch.progressVariable.empty() && watch.progressLine),
          polling_(watch.whileWaiting || watch.stopRequested) {}

    bool Spawn();
    void Exchange();
    void Wait();

  private:
    bool OpenPipes();
    void Watch();
    void WriteInput();
    void TakeErrors(const char* data, size_t size);
    void TakeProgress(const char* data, size_t size);
    const std::string& ShownName() const {
        return start_.shownName.empty() ? start_.args[0] : start_.shownName;
    }

    const ProcessStart& start_;
    const ProcessWatch& watch_;
    ProcessOutcome& outcome_;
    const bool withProgress_;
    // A watcher is called while the process runs, so nothing waits without
    // a time limit.
    const bool polling_;
    Pipe input_, output_, errors_, progress_;
    std::string errorText_;
    std::string progressText_;
    size_t written_ = 0;
    pid_t pid_ = 0;
};

bool RunningProcess::OpenPipes() {
    const bool opened = (!start_.feedInput || input_.Open()) &&
                        (!start_.keepOutput || output_.Open()) && errors_.Open() &&
                        (!withProgress_ || progress_.Open());
    if (!opened)
        outcome_.startError = std::strerror(errno);
    return opened;
}

bool RunningProcess::Spawn() {
    if (start_.args.empty()) {
        outcome_.startError = "empty command line";
        return false;
    }
    if (!OpenPipes())
        return false;
    std::vector<std::string> args = start_.args;
    const std::vector<char*> argv = Pointers(args);
    const bool passing = start_.passedDescriptor >= 0 && !start_.passedVariable.empty();
    const bool ownEnvironment = withProgress_ || passing || !start_.withheldVariables.empty();
    std::vector<std::string> assignments;
    if (withProgress_)
        assignments.push_back(watch_.progressVariable + "=" + std::to_string(kProgressDescriptor));
    if (passing)
        assignments.push_back(start_.passedVariable + "=" + std::to_string(start_.passedAs));
    std::vector<std::string> environment;
    if (ownEnvironment)
        environment = EnvironmentWith(start_.withheldVariables, assignments);
    const std::vector<char*> envp = Pointers(environment);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (start_.feedInput)
        posix_spawn_file_actions_adddup2(&actions, input_.fd[0], 0);
    if (start_.keepOutput)
        posix_spawn_file_actions_adddup2(&actions, output_.fd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors_.fd[1], 2);
    if (withProgress_)
        posix_spawn_file_actions_adddup2(&actions, progress_.fd[1], kProgressDescriptor);
    if (!start_.feedInput)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // Last: the descriptors duplicated above may have had this number here.
    if (passing)
        posix_spawn_file_actions_adddup2(&actions, start_.passedDescriptor, start_.passedAs);
    char* const* const env = ownEnvironment ? envp.data() : environ;
    const int rc = start_.searchPath
                       ? posix_spawnp(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), env)
                       : posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    input_.Close(0);
    output_.Close(1);
    errors_.Close(1);
    progress_.Close(1);
    if (rc != 0) {
        outcome_.startError = "cannot start '" + ShownName() + "': " + std::strerror(rc);
        return false;
    }
    outcome_.started = true;
    if (start_.input.empty())
        input_.Close(1);
    else
        fcntl(input_.fd[1], F_SETFL, O_NONBLOCK);
    return true;
}

// Called between reads: the watcher's tick, and a stop asked once: the
// process is sent SIGTERM, and ends as it chooses (a utility removes what it
// had half written).
void RunningProcess::Watch() {
    if (watch_.whileWaiting)
        watch_.whileWaiting();
    if (!outcome_.stopped && watch_.stopRequested && watch_.stopRequested()) {
        kill(pid_, SIGTERM);
        outcome_.stopped = true;
    }
}

void RunningProcess::WriteInput() {
    const std::string_view input = start_.input;
    const ssize_t n = write(input_.fd[1], input.data() + written_, input.size() - written_);
    if (n > 0)
        written_ += static_cast<size_t>(n);
    if ((n < 0 && errno != EAGAIN && errno != EINTR) || written_ == input.size())
        input_.Close(1);
}

void RunningProcess::TakeErrors(const char* data, size_t size) {
    if (start_.keepErrors)
        outcome_.err.append(data, size);
    else
        WriteAllBytes(2, data, size);
    KeepTail(outcome_.stderrTail, data, size);
    if (!watch_.errorLine)
        return;
    errorText_.append(data, size);
    HandLines(errorText_, watch_.errorLine);
    // A line without end is not held without bound.
    if (errorText_.size() > kLongestErrorLine) {
        watch_.errorLine(errorText_);
        errorText_.clear();
    }
}

// Progress lines are handed on as written: a line end other than '\n' is
// part of the line.
void RunningProcess::TakeProgress(const char* data, size_t size) {
    progressText_.append(data, size);
    for (size_t end; (end = progressText_.find('\n')) != std::string::npos;) {
        watch_.progressLine(std::string_view(progressText_).substr(0, end));
        progressText_.erase(0, end + 1);
    }
}

void RunningProcess::Exchange() {
    // A program that stops reading its input early must not end this one.
    std::optional<IgnoredSignal> brokenPipes;
    if (start_.feedInput)
        brokenPipes.emplace(SIGPIPE);
    char buffer[4096];
    while (input_.fd[1] >= 0 || output_.fd[0] >= 0 || errors_.fd[0] >= 0 || progress_.fd[0] >= 0) {
        pollfd fds[4] = {{input_.fd[1], POLLOUT, 0},
                         {output_.fd[0], POLLIN, 0},
                         {errors_.fd[0], POLLIN, 0},
                         {progress_.fd[0], POLLIN, 0}};
        const int ready = poll(fds, 4, polling_ ? kWatchTick : -1);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0) {
            if (fds[0].revents != 0)
                WriteInput();
            ssize_t n = 0;
            if (fds[1].revents != 0 && (n = ReadSome(output_, buffer, sizeof buffer)) > 0)
                outcome_.out.append(buffer, static_cast<size_t>(n));
            if (fds[2].revents != 0 && (n = ReadSome(errors_, buffer, sizeof buffer)) > 0)
                TakeErrors(buffer, static_cast<size_t>(n));
            if (fds[3].revents != 0 && (n = ReadSome(progress_, buffer, sizeof buffer)) > 0)
                TakeProgress(buffer, static_cast<size_t>(n));
        }
        Watch();
    }
    if (watch_.errorLine && !errorText_.empty())
        watch_.errorLine(errorText_);
}

void RunningProcess::Wait() {
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, polling_ ? WNOHANG : 0);
        if (done == pid_)
            break;
        if (done < 0 && errno != EINTR) {
            // Without its status the process cannot count as having
            // succeeded: the outcome keeps exit code -1 and says why.
            outcome_.endError = EndErrorText(ShownName(), errno);
            return;
        }
        if (done == 0) {
            Watch();
            usleep(kWatchTick * 1000);
        }
    }
    outcome_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

bool ProcessSucceeded(const ProcessOutcome& outcome) {
    return outcome.started && outcome.endError.empty() && outcome.exitCode == 0;
}

std::string EndErrorText(const std::string& program, int error) {
    return "cannot read how '" + program + "' ended: " + std::strerror(error);
}

ProcessOutcome SpawnAndWait(const ProcessStart& start, const ProcessWatch& watch) {
    ProcessOutcome outcome;
    RunningProcess process(start, watch, outcome);
    if (!process.Spawn())
        return outcome;
    process.Exchange();
    process.Wait();
    return outcome;
}

} // namespace rk::platform
