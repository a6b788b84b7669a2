#include "restore/restore_request.h"

#include "core/text.h"
#include "engine/tool_runner.h"
#include "platform/file_system.h"
#include "restore/command_dates.h"

#include <algorithm>

namespace rk::restore {

std::vector<std::string> ListedArchiveNames(const std::string& sourceFolder) {
    std::vector<std::string> names;
    for (const platform::FoundEntry& entry :
         platform::Enumerate(AddBackslash(sourceFolder) + "rk_*.zip", platform::kAttrNormal))
        names.push_back(entry.name);
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return LowerCase(a) < LowerCase(b);
    });
    if (names.size() > kMostListEntries)
        names.resize(kMostListEntries);
    return names;
}

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
        request.archiveNames = ListedArchiveNames(request.source);
    return request;
}

std::string MissingDestinationProblem(const RestoreRequest& request) {
    if (!request.destination.empty())
        return {};
    return TempFolderProblem();
}

} // namespace rk::restore
