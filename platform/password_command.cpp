#include "platform/password_command.h"

#include "platform/process.h"
#include "platform/secret_text.h"
#include "platform/spawned_process.h"

#include <cstdlib>

namespace rk::platform {

std::optional<std::string> PasswordCommand() {
    const char* value = std::getenv(kPasswordCommandVariable);
    if (value == nullptr || std::string(value).find_first_not_of(" \t") == std::string::npos)
        return std::nullopt;
    return std::string(value);
}

Result<std::vector<std::string>> PasswordsFromCommand(const std::string& commandLine) {
    using Answer = Result<std::vector<std::string>>;
    ProcessStart start;
    start.args = SplitCommandLine(commandLine);
    start.searchPath = true;
    start.keepOutput = true;
    start.keepErrors = true;
    // The command must not take a password channel of ours for its own.
    start.withheldVariables = {"RAVELKEEP_PASSWORD_FD"};
    const std::string shown = start.args.empty() ? commandLine : start.args[0];
    ProcessOutcome outcome = SpawnAndWait(start);
    std::vector<std::string> passwords = PasswordsOfText(outcome.out);
    ClearSecretText(outcome.out);
    if (!outcome.started)
        return Answer::Failure("the password command of " + std::string(kPasswordCommandVariable) +
                               " could not be started: " + outcome.startError);
    if (!ProcessSucceeded(outcome)) {
        ClearSecretTexts(passwords);
        std::string said = outcome.stderrTail;
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r'))
            said.pop_back();
        return Answer::Failure("the password command '" + shown + "' failed" +
                                   (outcome.endError.empty()
                                        ? " with exit code " + std::to_string(outcome.exitCode)
                                        : ": " + outcome.endError) +
                                   (said.empty() ? "" : ": " + said),
                               {});
    }
    while (!passwords.empty() && passwords.back().empty())
        passwords.pop_back();
    if (passwords.empty())
        return Answer::Failure("the password command '" + shown + "' printed no password");
    return passwords;
}

} // namespace rk::platform
