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
    } else if (action == "c") {
        command.life = Life::Consolidate;
        command.startDate = GetToken(argumentText, 3, "/");
        command.endDate = GetToken(argumentText, 4, "/");
        command.sourceFolder = GetToken(argumentText, 5, "/");
    }
    return command;
}

} // namespace rk::app
