#include "restore/consolidate_life.h"

#include "app/main.h"
#include "core/file_checks.h"
#include "restore/command_dates.h"
#include "restore/frm_extract.h"

#include "core/report_lines.h"
#include "platform/drive_map.h"
#include "ui/qt_text.h"

#include <QLineEdit>
#include <QLocale>

#include <filesystem>
#include <ostream>

namespace rk::restore {

namespace {

// One line per line of the text, each starting with the program's name.
void Report(std::ostream& errors, const std::string& text) {
    ReportLines(errors, text);
}

// Removes a folder tree without following links; folders restored without
// write permission for their owner are opened up first.
bool RemoveTree(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(folder, error);
    return !error;
}

} // namespace

int RunConsolidateLife(std::string_view startDate, std::string_view endDate,
                       const std::string& sourceFolder, ProgressDisplay& progress,
                       std::ostream& errors) {
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
            return app::ExitUnusable;
        }
    }
    if (!FolderExists(sourceFolder)) {
        Report(errors, "the folder \"" + sourceFolder + "\" does not exist");
        return app::ExitUnusable;
    }

    frmExtract dialog(progress);
    // The extraction goes into a new folder of the temporary folder; once the
    // consolidated archive is verified, that copy of the range has served.
    const std::string destination = ui::FromQString(dialog.txtDestination->text());
    const bool destinationExisted = PathExists(destination);
    const ExtractOutcome outcome =
        dialog.AutoExtract(ExtractAction::Consolidate, sourceFolder, *start, *end);
    if (outcome.end == ExtractEnd::Success) {
        const auto host = platform::ToHostPath(destination);
        if (!destinationExisted && host && !RemoveTree(*host))
            Report(errors, "the extracted copy \"" + destination + "\" could not be removed");
        return app::ExitSuccess;
    }
    Report(errors, outcome.reason);
    return app::ExitFailed;
}

} // namespace rk::restore
