#pragma once
// Running the zip and unzip utilities: start a command line without a shell,
// wait for it without a time limit, and hand back how it ended.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rk {

struct ToolOutcome {
    bool started = false;
    int exitCode = -1;
    // The last lines the utility wrote to its standard error.
    std::string stderrTail;
    // Why it could not be started.
    std::string startError;
    // Why how it ended could not be read; such a run has failed (exit code
    // -1), whatever the utility did.
    std::string endError;
    // It was stopped because the person asked (ToolWatchScope).
    bool stopped = false;
};

// How far the zip utility has got, as it reports it.
struct ToolProgress {
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
};

// A line of the utility's progress channel
// ("rkzip-progress FILES_DONE FILES_TOTAL BYTES_DONE BYTES_TOTAL"), or nothing.
std::optional<ToolProgress> ParseToolProgress(std::string_view line);

// While it lives, every utility RunTool starts reports its progress to
// `progress` (through RKZIP_PROGRESS_FD; a utility that does not know it
// reports nothing), and is stopped by SIGTERM once `stopRequested` answers
// true. Scopes do not nest.
class ToolWatchScope {
  public:
    ToolWatchScope(std::function<void(const ToolProgress&)> progress,
                   std::function<bool()> stopRequested);
    ~ToolWatchScope();
    ToolWatchScope(const ToolWatchScope&) = delete;
    ToolWatchScope& operator=(const ToolWatchScope&) = delete;
};

// True while a utility can be stopped by the person: the window then lets
// input reach its Cancel button during the wait.
bool ToolStoppable();

// Starts the command line (its first piece names the program) and waits for
// it. True when the process was started and its end was read.
bool RunAndWait(std::string& commandLine);
// As RunAndWait; the show-window value (-99: none, 4: shown without taking the
// focus) has no meaning for the utilities here and is accepted for callers.
void RunAndWaitShow(std::string& commandLine, std::int32_t& showWindow);
// Both runners above, with the outcome handed back. `errorLine`, when set,
// is handed every line the utility writes to its standard error (which still
// reaches ours unchanged), so a caller can read all of them, not only the
// last ones the outcome keeps.
ToolOutcome RunTool(const std::string& commandLine,
                    const std::function<void(std::string_view line)>& errorLine = {});

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
