#include "app/main.h"

#include "app/frm_upgrade.h"
#include "app/start_up.h"
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

bool Configured(const MainContext& context) {
    const std::string problem = ConfigurationProblem();
    if (problem.empty())
        return true;
    if (!context.personPresent) {
        if (!context.displayProblem.empty())
            ReportLine(Errors(context), context.displayProblem);
        ReportLine(Errors(context), std::string(NotConfiguredText) + " (" + problem +
                                        "; start Ravelkeep with a display to set its options)");
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
    ApplyJobStoreSetting();
    ReadUtilitySettings();
    if (!Configured(context))
        return {false, ExitUnusable};

    const CommandLine command = ParseCommandLine(argumentText);
    switch (command.life) {
    case Life::IncrementalBackup:
        return {false, context.lives.incrementalBackup(command)};
    case Life::Consolidate:
        return {false, context.lives.consolidate(command)};
    case Life::Verify:
        return {false, context.lives.verify(command)};
    case Life::Interactive:
        break;
    }
    return RunInteractive(context);
}

} // namespace rk::app
