#include "restore/restore_request.h"

#include "engine/job_archives.h"
#include "engine/temporary_folders.h"
#include "restore/command_dates.h"

namespace rk::restore {

std::string DefaultDestination() {
    return GetTempFolder("rk");
}

RestoreRequest MakeRestoreRequest(const RestoreInputs& inputs) {
    RestoreRequest request;
    request.silent = inputs.silent;
    request.source = inputs.source;
    request.destination = inputs.destination;
    request.startDay = DayOf(inputs.start);
    request.endDay = DayOf(inputs.end);
    request.startText = ShortDateText(inputs.start);
    request.endText = ShortDateText(inputs.end);
    request.action = inputs.action;
    request.deleteReplaced = inputs.deleteReplaced;
    if (!request.destination.empty())
        request.archiveNames = JobArchiveNames(request.source);
    return request;
}

std::string MissingDestinationProblem(const RestoreRequest& request) {
    if (!request.destination.empty())
        return {};
    return TempFolderProblem();
}

} // namespace rk::restore
