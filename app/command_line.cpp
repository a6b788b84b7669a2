#include "app/command_line.h"

#include "core/text.h"

namespace rk::app {

CommandLine ParseCommandLine(std::string_view argumentText) {
    CommandLine command;
    const std::string action = LowerCase(GetToken(argumentText, 2, "/"));
    if (action == "ib") {
        command.life = Life::IncrementalBackup;
        command.jobName = GetToken(argumentText, 3, "/");
    } else if (action == "verify") {
        command.life = Life::Verify;
        command.jobName = GetToken(argumentText, 3, "/");
    } else if (action == "thin") {
        command.life = Life::Thin;
        command.jobName = GetToken(argumentText, 3, "/");
    } else if (action == "restore") {
        command.life = Life::Restore;
        command.jobName = GetToken(argumentText, 3, "/");
        command.archiveName = GetToken(argumentText, 4, "/");
        size_t at = std::string_view::npos;
        for (size_t from = 0, slashes = 0; slashes < 4; ++slashes, from = at + 1)
            if ((at = argumentText.find('/', from)) == std::string_view::npos)
                break;
        if (at != std::string_view::npos)
            command.destination = std::string(argumentText.substr(at + 1));
    } else if (action == "c") {
        command.life = Life::Consolidate;
        command.startDate = GetToken(argumentText, 3, "/");
        command.endDate = GetToken(argumentText, 4, "/");
        command.sourceFolder = GetToken(argumentText, 5, "/");
    }
    return command;
}

} // namespace rk::app
