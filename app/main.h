#pragma once
// Main: the program-wide values, the configuration check, and the choice of
// the life by the word after the first "/" of the argument text
// (app/command_line.h). The lives themselves belong to later subsystems and
// are handed in by the program.

#include "app/command_line.h"
#include "core/life_exit_codes.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace rk::app {

// Exit codes of the windowless lives (core/life_exit_codes.h).
using rk::ExitFailed;
using rk::ExitSuccess;
using rk::ExitUnusable;

struct Lives {
    // "ib", before the configuration check, with JobStoreFolder as set (not
    // yet created): the exit code when the run ends there (a schedule's retry
    // with nothing to make up, the backup disk not connected); nothing to go
    // on. May be empty.
    std::function<std::optional<int>(const CommandLine& command)> incrementalBackupFirst;
    // "ib": the incremental backup of command.jobName; its exit code.
    std::function<int(const CommandLine& command)> incrementalBackup;
    // "c": the consolidation of command's date range; its exit code.
    std::function<int(const CommandLine& command)> consolidate;
    // "verify": every archive of command.jobName read back; its exit code.
    std::function<int(const CommandLine& command)> verify;
    // "thin": command.jobName thinned by its keep policy; its exit code.
    std::function<int(const CommandLine& command)> thin;
    // "restore": command.jobName restored as it was at command.archiveName
    // into command.destination; its exit code.
    std::function<int(const CommandLine& command)> restore;
    // Anything else: load and show the main window and call its DataRefresh.
    std::function<void()> showMainWindow;
};

struct MainContext {
    // The folder the executable runs from, host path.
    std::string programFolderHost;
    // False when no person can see or answer a dialog (no display): then
    // every question is replaced by a line on `errors` and an exit.
    bool personPresent = true;
    // True when the platform without a display was asked for by name
    // (QT_QPA_PLATFORM=offscreen): the main window is then shown there all
    // the same, and every question is still answered as when nobody is there.
    bool windowWithoutDisplayRequested = false;
    // True when a windowless life was started where nobody may answer (by a
    // schedule, under systemd, or with no terminal); personPresent is false
    // then too. An unconfigured installation is then also told through
    // `notify`.
    bool unattended = false;
    // Tells the desktop that a run did not happen: a summary and the body.
    std::function<void(const std::string& summary, const std::string& body)> notify;
    // Why the display named by the environment could not be used, when the
    // run fell back to no display; told only when a dialog was needed.
    std::string displayProblem;
    Lives lives;
    std::ostream* errors = nullptr;
};

struct MainOutcome {
    // True when the main window is up and the program lives on in its loop.
    bool interactive = false;
    // The exit code when not interactive.
    int exitCode = ExitSuccess;
};

MainOutcome Main(std::string_view argumentText, const MainContext& context);

} // namespace rk::app
