#include "restore/consolidate_life.h"

#include "app/main.h"
#include "core/file_checks.h"
#include "restore/command_dates.h"
#include "restore/frm_extract.h"

#include <ostream>

namespace rk::restore {

namespace {

// One line per line of the text, each starting with the program's name.
void Report(std::ostream& errors, const std::string& text) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            errors << "rkbak: " << text.substr(start, end - start) << '\n';
        start = end + 1;
    }
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
                               "\" is not a date (write dates as 2026-12-01)");
            return app::ExitUnusable;
        }
    }
    if (!FolderExists(sourceFolder)) {
        Report(errors, "the folder \"" + sourceFolder + "\" does not exist");
        return app::ExitUnusable;
    }

    frmExtract dialog(progress);
    const ExtractOutcome outcome = dialog.AutoExtract(1, sourceFolder, *start, *end);
    if (outcome.end == ExtractEnd::Success)
        return app::ExitSuccess;
    Report(errors, outcome.reason);
    return app::ExitFailed;
}

} // namespace rk::restore
