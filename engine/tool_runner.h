#pragma once
// Running the zip and unzip utilities: start a command line without a shell,
// wait for it without a time limit, and hand back how it ended.

#include <cstdint>
#include <functional>
#include <string>

namespace rk {

struct ToolOutcome {
    bool started = false;
    int exitCode = -1;
    // The last lines the utility wrote to its standard error.
    std::string stderrTail;
    // Why it could not be started.
    std::string startError;
};

// Starts the command line (its first piece names the program) and waits for
// it. True when the process was started and has ended.
bool RunAndWait(std::string& commandLine);
// As RunAndWait; the show-window value (-99: none, 4: shown without taking the
// focus) has no meaning for the utilities here and is accepted for callers.
void RunAndWaitShow(std::string& commandLine, std::int32_t& showWindow);
// Both runners above, with the outcome handed back.
ToolOutcome RunTool(const std::string& commandLine);

// While a utility runs, the window keeps repainting: the program installs a
// hook that is called about every 50 ms during every wait.
void SetToolWaitHook(std::function<void()> hook);

// A folder path in the temporary folder: prefix + the first free number
// ("...\rk0", "...\rk1"), not created; the temporary folder itself when the
// prefix is empty. No trailing backslash unless it is a drive root. Empty
// text when no safe temporary folder can be had (TempFolderProblem says why).
std::string GetTempFolder(std::string_view prefix = {});
// Why there is no temporary folder, naming it; empty text when there is one.
std::string TempFolderProblem();

// The space-free form of an existing path, or the path unchanged.
std::string GetShortPath(std::string_view path);

} // namespace rk
