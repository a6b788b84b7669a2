#include "restore/consolidate_life.h"

#include "core/file_checks.h"
#include "core/life_exit_codes.h"
#include "core/report_lines.h"
#include "engine/progress_display.h"
#include "platform/drive_map.h"
#include "restore/command_dates.h"
#include "restore/extraction_cleanup.h"
#include "restore/restore_request.h"
#include "restore/run/restore_run.h"
#include "restore/silent_run.h"
#include "ui/qt_text.h"

#include <QLocale>

#include <ostream>

namespace rk::restore {

namespace {

// One line per line of the text, each starting with the program's name.
void Report(std::ostream& errors, const std::string& text) {
    ReportLines(errors, text);
}

} // namespace

int RunConsolidateLife(std::string_view startDate, std::string_view endDate,
                       const std::string& sourceFolder, std::ostream& errors) {
    const auto start = ParseCommandDate(startDate);
    const auto end = ParseCommandDate(endDate);
    for (const auto& [date, text, which] :
         {std::tuple{start, startDate, "start"}, std::tuple{end, endDate, "end"}}) {
        if (!date) {
            Report(errors, "the " + std::string(which) + " date \"" + std::string(text) +
                               "\" is not a date (write dates as 2026-12-01, or as " +
                               ui::FromQString(QLocale::system().toString(QDate(2026, 12, 1),
                                                                          QLocale::ShortFormat)) +
                               " with -, . or a space between the numbers)");
            return ExitUnusable;
        }
    }
    if (!FolderExists(sourceFolder)) {
        Report(errors, "the folder \"" + sourceFolder + "\" does not exist");
        return ExitUnusable;
    }

    RestoreInputs inputs;
    inputs.action = ExtractAction::Consolidate;
    inputs.source = sourceFolder;
    inputs.destination = DefaultDestination();
    inputs.start = *start;
    inputs.end = *end;
    inputs.silent = true;
    const RestoreRequest request = MakeRestoreRequest(inputs);
    if (const std::string problem = MissingDestinationProblem(request); !problem.empty()) {
        Report(errors, problem);
        return ExitFailed;
    }

    // The extraction goes into a new folder of the temporary folder: a copy
    // of the range that has served once the run ends, verified or failed.
    const std::string& destination = request.destination;
    const bool destinationExisted = PathExists(destination);
    NoProgress progress;
    NoConversation conversation;
    NoPicker picker;
    const ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress, conversation, picker);
    const auto host = platform::ToHostPath(destination);
    if (outcome.details.extractionHoldsOnlyCopy) {
        // The consolidated backup that was there before was replaced by one
        // that failed its check: the copy is all that holds its files.
        Report(errors, outcome.reason);
        Report(errors, "the extracted copy of the backups is kept in \"" +
                           outcome.details.extractionFolder +
                           "\"; it holds files the consolidated backup " +
                           "no longer holds soundly");
        return ExitFailed;
    }
    if (!destinationExisted && host && PathExists(destination) && !RemoveTree(*host))
        Report(errors, "the extracted copy \"" + destination + "\" could not be removed");
    if (outcome.status == RunStatus::Done)
        return ExitSuccess;
    Report(errors, outcome.reason);
    return ExitFailed;
}

} // namespace rk::restore
