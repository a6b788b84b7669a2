#include "app/main.h"

#include "app/frm_upgrade.h"
#include "app/start_up.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "core/settings.h"
#include "ui/seam.h"

#include <iostream>

namespace rk::app {

namespace {

std::ostream& Errors(const MainContext& context) {
    return context.errors != nullptr ? *context.errors : std::cerr;
}

// A failed extended write is told the way every other failure is: by a
// message box when someone can read it, else on standard error.
void InstallSettingsFailureHandler(bool personPresent) {
    if (personPresent)
        SetExtendedWriteFailureHandler(
            [](std::string_view text) { ui::MsgBox(text, ui::Buttons::OK, ui::Icon::Critical); });
    else
        SetExtendedWriteFailureHandler({});
}

// The notification's summary for a windowless life that could not start.
std::string NotStartedSummary(const CommandLine& command) {
    switch (command.life) {
    case Life::IncrementalBackup:
        return "The backup of \"" + command.jobName + "\" did not run";
    case Life::Verify:
        return "The verification of \"" + command.jobName + "\" did not run";
    case Life::Consolidate:
        return "The consolidation did not run";
    case Life::Thin:
        return "The thinning of \"" + command.jobName + "\" did not run";
    case Life::Restore:
        return "The restore of \"" + command.jobName + "\" did not run";
    case Life::Interactive:
        break;
    }
    return "Ravelkeep did not start";
}

bool Configured(const MainContext& context, const CommandLine& command) {
    const Result<void> configured = CheckConfiguration();
    if (configured)
        return true;
    if (!context.personPresent) {
        if (!context.displayProblem.empty())
            ReportLine(Errors(context), context.displayProblem);
        // A scheduled run's user reads this at the desktop, where the
        // options are set; a display may well be there.
        const std::string where = context.unattended ? "from the desktop" : "with a display";
        const std::string line = std::string(NotConfiguredText) + " (" + configured.reason() +
                                 "; start Ravelkeep " + where + " to set its options)";
        ReportLine(Errors(context), line);
        if (context.unattended && context.notify)
            context.notify(NotStartedSummary(command), line);
        return false;
    }
    return ConfigureWithUser();
}

MainOutcome RunInteractive(const MainContext& context) {
    if (!context.personPresent && !context.windowWithoutDisplayRequested) {
        ReportLine(Errors(context), "the main window needs a display; set DISPLAY or "
                                    "WAYLAND_DISPLAY, or name an action such as /ib/JOB");
        return {false, ExitUnusable};
    }
    context.lives.showMainWindow();
    if (context.personPresent && UpgradeNotesDue())
        ShowUpgradeNotes();
    return {true, ExitSuccess};
}

} // namespace

MainOutcome Main(std::string_view argumentText, const MainContext& context) {
    SetProgramFolder(context.programFolderHost);
    InstallSettingsFailureHandler(context.personPresent);
    const CommandLine command = ParseCommandLine(argumentText);
    if (command.life == Life::IncrementalBackup && context.lives.incrementalBackupFirst) {
        // Before anything is created or asked: a retry with nothing to make
        // up ends silently, a disk not connected is not a configuration
        // problem.
        JobStoreFolder = JobStoreSettingFolder();
        if (const std::optional<int> exitCode = context.lives.incrementalBackupFirst(command))
            return {false, *exitCode};
    }
    ApplyJobStoreSetting();
    ReadUtilitySettings();
    if (!Configured(context, command))
        return {false, ExitUnusable};

    switch (command.life) {
    case Life::IncrementalBackup:
        return {false, context.lives.incrementalBackup(command)};
    case Life::Consolidate:
        return {false, context.lives.consolidate(command)};
    case Life::Verify:
        return {false, context.lives.verify(command)};
    case Life::Thin:
        return {false, context.lives.thin(command)};
    case Life::Restore:
        return {false, context.lives.restore(command)};
    case Life::Interactive:
        break;
    }
    return RunInteractive(context);
}

} // namespace rk::app
