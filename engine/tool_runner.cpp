#include "engine/tool_runner.h"

#include "platform/process.h"
#include "platform/secret_descriptor.h"

#include <charconv>

namespace rk {

namespace {

std::function<void()>& WaitHook() {
    static std::function<void()> hook;
    return hook;
}

struct Watch {
    std::function<void(const ToolProgress&)> progress;
    std::function<bool()> stopRequested;
};

Watch& CurrentWatch() {
    static Watch watch;
    return watch;
}

ToolPasswords& CurrentPasswords() {
    static ToolPasswords passwords;
    return passwords;
}

// Which passwords a utility run gets.
enum class PasswordUse { Unzip, Zip };

ToolOutcome Run(const std::string& commandLine,
                const std::function<void(std::string_view line)>& errorLine, PasswordUse use) {
    platform::ProcessWatch watch;
    watch.errorLine = errorLine;
    watch.whileWaiting = WaitHook();
    const Watch& current = CurrentWatch();
    if (current.progress) {
        watch.progressVariable = "RKZIP_PROGRESS_FD";
        watch.progressLine = [&current](std::string_view line) {
            if (const std::optional<ToolProgress> progress = ParseToolProgress(line))
                current.progress(*progress);
        };
    }
    watch.stopRequested = current.stopRequested;

    platform::ProcessStart start;
    start.args = platform::SplitCommandLine(commandLine);
    // A descriptor named in our own environment is never passed on by
    // mistake: the utility gets the variable only with our passwords.
    start.withheldVariables = {kPasswordVariable};
    const ToolPasswords& passwords = CurrentPasswords();
    std::vector<std::string> handed;
    if (use == PasswordUse::Unzip)
        handed = passwords.passwords.all();
    else if (passwords.encrypt && !passwords.passwords.empty())
        handed = {passwords.passwords.all().front()};
    std::optional<platform::SecretDescriptor> descriptor;
    if (!handed.empty()) {
        std::string text = platform::TextOfPasswords(handed);
        Result<platform::SecretDescriptor> made = platform::SecretDescriptor::Holding(text);
        platform::ClearSecretText(text);
        platform::ClearSecretTexts(handed);
        if (!made) {
            ToolOutcome refused;
            refused.startError = made.reason();
            return refused;
        }
        descriptor.emplace(std::move(*made));
        start.passedDescriptor = descriptor->descriptor();
        start.passedAs = kPasswordDescriptor;
        start.passedVariable = kPasswordVariable;
    }
    return platform::RunProcess(std::move(start), watch);
}

} // namespace

ToolPasswordScope::ToolPasswordScope(ToolPasswords passwords)
    : previous_(std::move(CurrentPasswords())) {
    CurrentPasswords() = std::move(passwords);
}

ToolPasswordScope::~ToolPasswordScope() {
    CurrentPasswords() = std::move(previous_);
}

void SetToolWaitHook(std::function<void()> hook) {
    WaitHook() = std::move(hook);
}

std::optional<ToolProgress> ParseToolProgress(std::string_view line) {
    constexpr std::string_view tag = "rkzip-progress ";
    if (line.substr(0, tag.size()) != tag)
        return std::nullopt;
    line.remove_prefix(tag.size());
    ToolProgress progress;
    const char* at = line.data();
    const char* end = line.data() + line.size();
    for (std::uint64_t* field :
         {&progress.filesDone, &progress.filesTotal, &progress.bytesDone, &progress.bytesTotal}) {
        if (field != &progress.filesDone && (at == end || *at++ != ' '))
            return std::nullopt;
        const auto [next, error] = std::from_chars(at, end, *field);
        if (error != std::errc() || next == at)
            return std::nullopt;
        at = next;
    }
    if (at != end || progress.filesDone > progress.filesTotal ||
        progress.bytesDone > progress.bytesTotal)
        return std::nullopt;
    return progress;
}

ToolWatchScope::ToolWatchScope(std::function<void(const ToolProgress&)> progress,
                               std::function<bool()> stopRequested) {
    CurrentWatch() = {std::move(progress), std::move(stopRequested)};
}

ToolWatchScope::~ToolWatchScope() {
    CurrentWatch() = {};
}

bool ToolStoppable() {
    return static_cast<bool>(CurrentWatch().stopRequested);
}

ToolOutcome RunTool(const std::string& commandLine,
                    const std::function<void(std::string_view line)>& errorLine) {
    return Run(commandLine, errorLine, PasswordUse::Unzip);
}

ToolOutcome RunZipTool(const std::string& commandLine,
                       const std::function<void(std::string_view line)>& errorLine) {
    return Run(commandLine, errorLine, PasswordUse::Zip);
}

} // namespace rk
