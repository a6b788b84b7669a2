#include "engine/tool_runner.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "platform/process.h"
#include "platform/system_folders.h"

#include <charconv>

namespace rk {

namespace {

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}

struct Watch {
    std::function<void(const ToolProgress&)> progress;
    std::function<bool()> stopRequested;
};

Watch& CurrentWatch() {
    static Watch watch;
    return watch;
}

} // namespace

void SetToolWaitHook(std::function<void()> hook) {
    WaitHook() = std::move(hook);
}

std::optional<ToolProgress> ParseToolProgress(std::string_view line) {
    constexpr std::string_view tag = "rkzip-progress ";
    if (line.substr(0, tag.size()) != tag)
        return std::nullopt;
    line.remove_prefix(tag.size());
    ToolProgress progress;
    const char* at = line.data();
    const char* end = line.data() + line.size();
    for (std::uint64_t* field :
         {&progress.filesDone, &progress.filesTotal, &progress.bytesDone, &progress.bytesTotal}) {
        if (field != &progress.filesDone && (at == end || *at++ != ' '))
            return std::nullopt;
        const auto [next, error] = std::from_chars(at, end, *field);
        if (error != std::errc() || next == at)
            return std::nullopt;
        at = next;
    }
    if (at != end || progress.filesDone > progress.filesTotal ||
        progress.bytesDone > progress.bytesTotal)
        return std::nullopt;
    return progress;
}

ToolWatchScope::ToolWatchScope(std::function<void(const ToolProgress&)> progress,
                               std::function<bool()> stopRequested) {
    CurrentWatch() = {std::move(progress), std::move(stopRequested)};
}

ToolWatchScope::~ToolWatchScope() {
    CurrentWatch() = {};
}

bool ToolStoppable() {
    return static_cast<bool>(CurrentWatch().stopRequested);
}

ToolOutcome RunTool(const std::string& commandLine,
                    const std::function<void(std::string_view line)>& errorLine) {
    platform::ProcessWatch watch;
    watch.errorLine = errorLine;
    watch.whileWaiting = WaitHook();
    const Watch& current = CurrentWatch();
    if (current.progress) {
        watch.progressVariable = "RKZIP_PROGRESS_FD";
        watch.progressLine = [&current](std::string_view line) {
            if (const std::optional<ToolProgress> progress = ParseToolProgress(line))
                current.progress(*progress);
        };
    }
    watch.stopRequested = current.stopRequested;
    const auto outcome = platform::RunProcess(platform::SplitCommandLine(commandLine), watch);
    return {outcome.started,    outcome.exitCode, outcome.stderrTail,
            outcome.startError, outcome.endError, outcome.stopped};
}

bool RunAndWait(std::string& commandLine) {
    const ToolOutcome outcome = RunTool(commandLine);
    return outcome.started && outcome.endError.empty();
}

void RunAndWaitShow(std::string& commandLine, std::int32_t& /*showWindow*/) {
    RunTool(commandLine);
}

std::string GetTempFolder(std::string_view prefix) {
    std::string path = TrimAtNull(platform::TempPath());
    // Without a safe temporary folder there is no folder in it either: never
    // "\\rk0", which would be the root of the current drive.
    if (path.empty())
        return {};
    if (path.back() != '\\')
        path += '\\';
    if (!prefix.empty()) {
        for (unsigned long long n = 0;; ++n) {
            const std::string candidate = std::string(prefix) + std::to_string(n);
            if (!FolderExists(path + candidate)) {
                path += candidate;
                break;
            }
        }
    }
    if (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string TempFolderProblem() {
    return platform::TempPathProblem();
}

std::string GetShortPath(std::string_view path) {
    return platform::ShortPath(path);
}

} // namespace rk
