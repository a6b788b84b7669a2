#include "platform/process.h"

#include "platform/drive_map.h"

namespace rk::platform {

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument)
                args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        args.push_back(std::move(current));
    return args;
}

ProcessOutcome RunProcess(const std::vector<std::string>& args,
                          const std::function<void()>& whileWaiting) {
    ProcessWatch watch;
    watch.whileWaiting = whileWaiting;
    return RunProcess(args, watch);
}

ProcessOutcome RunProcess(const std::vector<std::string>& args, const ProcessWatch& watch) {
    ProcessStart start;
    start.args = args;
    if (!args.empty()) {
        const auto program = ToHostPath(args[0]);
        if (!program) {
            ProcessOutcome refused;
            refused.startError = "'" + args[0] + "' names no local file";
            return refused;
        }
        // Messages name the utility as the command line does.
        start.args[0] = *program;
        start.shownName = args[0];
    }
    return SpawnAndWait(start, watch);
}

} // namespace rk::platform
