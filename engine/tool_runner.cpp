#include "engine/tool_runner.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "platform/process.h"
#include "platform/system_folders.h"

namespace rk {

namespace {

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}

} // namespace

void SetToolWaitHook(std::function<void()> hook) {
    WaitHook() = std::move(hook);
}

ToolOutcome RunTool(const std::string& commandLine) {
    const auto outcome = platform::RunProcess(platform::SplitCommandLine(commandLine), WaitHook());
    return {outcome.started, outcome.exitCode, outcome.stderrTail, outcome.startError};
}

bool RunAndWait(std::string& commandLine) {
    return RunTool(commandLine).started;
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
