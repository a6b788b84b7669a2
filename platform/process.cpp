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
    return RunProcess(std::move(start), watch);
}

ProcessOutcome RunProcess(ProcessStart start, const ProcessWatch& watch) {
    if (!start.args.empty()) {
        const std::string named = start.args[0];
        const auto program = ToHostPath(named);
        if (!program) {
            ProcessOutcome refused;
            refused.startError = "'" + named + "' names no local file";
            return refused;
        }
        // Messages name the utility as the command line does.
        start.args[0] = *program;
        start.shownName = named;
    }
    return SpawnAndWait(start, watch);
}

} // namespace rk::platform
