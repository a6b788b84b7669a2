#pragma once
// Running the zip and unzip utilities: start a command line without a shell,
// wait for it without a time limit, and hand back how it ended.

#include "platform/secret_text.h"
#include "platform/spawned_process.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace rk {

// How a utility run ended: whether it started, its exit code, why its end
// could not be read, the last lines of its error output, and whether it was
// stopped because the person asked (ToolWatchScope). Its standard output
// reaches ours and is not kept.
using ToolOutcome = platform::ProcessOutcome;

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

// The passwords a run hands the utilities: the unzip utility gets all of
// them (newest first, one per line), the zip utility the first, and only when
// the run encrypts what it writes.
struct ToolPasswords {
    platform::ClearedPasswords passwords;
    bool encrypt = false;
};

// The environment variable naming the inherited descriptor that holds the
// passwords ("RAVELKEEP_PASSWORD_FD=4"; descriptor 3 is the progress
// channel).
inline constexpr const char* kPasswordVariable = "RAVELKEEP_PASSWORD_FD";
inline constexpr int kPasswordDescriptor = 4;

// While it lives, every utility RunTool and RunZipTool start gets the
// passwords through a memory file inherited as descriptor 4 (never on its
// command line, in its environment or in a file on disk). Scopes nest: the
// inner one holds while it lives.
class ToolPasswordScope {
  public:
    explicit ToolPasswordScope(ToolPasswords passwords);
    ~ToolPasswordScope();
    ToolPasswordScope(const ToolPasswordScope&) = delete;
    ToolPasswordScope& operator=(const ToolPasswordScope&) = delete;

  private:
    ToolPasswords previous_;
};

// True while a utility can be stopped by the person: the window then lets
// input reach its Cancel button during the wait.
bool ToolStoppable();

// Starts the command line (its first piece names the program), waits for it
// and hands back the outcome. `errorLine`, when set, is handed every line
// the utility writes to its standard error (which still reaches ours
// unchanged), so a caller can read all of them, not only the last ones the
// outcome keeps.
ToolOutcome RunTool(const std::string& commandLine,
                    const std::function<void(std::string_view line)>& errorLine = {});

// The same for the zip utility: it gets the first password of the
// ToolPasswordScope when the scope encrypts, and none otherwise.
ToolOutcome RunZipTool(const std::string& commandLine,
                       const std::function<void(std::string_view line)>& errorLine = {});

// While a utility runs, the window keeps repainting: the program installs a
// hook that is called about every 50 ms during every wait.
void SetToolWaitHook(std::function<void()> hook);

} // namespace rk
