#include "engine/skipped_run.h"

#include "core/text.h"
#include "platform/file_system.h"
#include "platform/ini_lines.h"
#include "platform/system_folders.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace rk {

namespace {

constexpr std::string_view kSection = "skipped";

// The record's file: named by a hash of the job folder's text, which the
// record holds as well, so two names that share a hash never mix.
std::string RecordPath(const std::string& jobFolder) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : AddBackslash(jobFolder)) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "skipped-%016llx.ini", static_cast<unsigned long long>(hash));
    return SkippedRunFolder() + "/" + name;
}

// A value on one line: line breaks would end the entry.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

} // namespace

std::string SkippedRunFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/ravelkeep";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.local/state/ravelkeep";
}

bool RecordSkippedRun(const std::string& jobFolder, const SkippedRun& skipped) {
    // The state folder itself may not be there yet (a new account).
    const std::string folder = SkippedRunFolder();
    if (!platform::MakeHostFolders(folder.substr(0, folder.rfind('/')), 0700) ||
        !platform::EnsurePrivateFolder(folder))
        return false;
    const std::string text =
        "[" + std::string(kSection) + "]\n" + "jobfolder=" + OneLine(AddBackslash(jobFolder)) +
        "\n" + "time=" + OneLine(skipped.time) + "\n" + "reason=" + OneLine(skipped.reason) + "\n" +
        "hostpath=" + OneLine(skipped.hostPath) + "\n";
    return platform::WriteHostFileAtomically(RecordPath(jobFolder), text);
}

std::optional<SkippedRun> ReadSkippedRun(const std::string& jobFolder) {
    const std::optional<std::string> text = platform::ReadHostFile(RecordPath(jobFolder));
    if (!text)
        return std::nullopt;
    const auto value = [&](std::string_view key) {
        return platform::FindIniEntry(*text, kSection, key, platform::kSettingsRules);
    };
    if (value("jobfolder") != OneLine(AddBackslash(jobFolder)))
        return std::nullopt;
    SkippedRun skipped;
    skipped.time = value("time").value_or("");
    skipped.reason = value("reason").value_or("");
    skipped.hostPath = value("hostpath").value_or("");
    return skipped;
}

void ClearSkippedRun(const std::string& jobFolder) {
    unlink(RecordPath(jobFolder).c_str());
}

} // namespace rk
