#include "engine/last_thin.h"

#include "engine/last_backup.h"

#include <charconv>
#include <cstdio>

namespace rk {

namespace {

long long Number(const std::string& text) {
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string SizeText(long long bytes) {
    char text[40];
    if (bytes >= 1024LL * 1024)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%lld bytes", bytes);
    return text;
}

} // namespace

void RecordLastThin(const Job& job, const LastThin& thin) {
    if (!job.exists())
        return;
    const SettingsPlace place = job.section(JobSection::LastThin);
    WriteSetting(std::nullopt, std::nullopt, place);
    WriteSetting("time", thin.time, place);
    WriteSetting("before", std::to_string(thin.before), place);
    WriteSetting("after", std::to_string(thin.after), place);
    WriteSetting("freed", std::to_string(thin.bytesFreed), place);
    WriteSetting("outcome", thin.outcome, place);
    if (!thin.reason.empty())
        WriteSetting("reason", OneLineReason(thin.reason), place);
}

std::optional<LastThin> ReadLastThin(const Job& job) {
    const SettingsPlace place = job.section(JobSection::LastThin);
    LastThin thin;
    thin.time = ReadSetting("time", {}, place);
    thin.outcome = ReadSetting("outcome", {}, place);
    if (thin.time.empty() && thin.outcome.empty())
        return std::nullopt;
    thin.before = Number(ReadSetting("before", {}, place));
    thin.after = Number(ReadSetting("after", {}, place));
    thin.bytesFreed = Number(ReadSetting("freed", {}, place));
    thin.reason = ReadSetting("reason", {}, place);
    return thin;
}

std::string LastThinText(const LastThin& thin) {
    std::string text = "Last thinning: " + thin.time;
    const std::string reason = thin.reason.empty() ? std::string() : ": " + thin.reason;
    // A run fails at its first failed period; the periods before it were
    // thinned and stay so.
    if (thin.outcome == "failed" && thin.before == thin.after && thin.bytesFreed == 0)
        return text + ", failed, nothing deleted" + reason;
    text += ", " + std::to_string(thin.before) + " backups to " + std::to_string(thin.after) +
            ", " + SizeText(thin.bytesFreed) + " freed";
    if (thin.outcome == "failed")
        return text + ", then failed" + reason;
    if (thin.outcome == "incomplete" && !thin.reason.empty())
        text += " (" + thin.reason + ")";
    return text;
}

} // namespace rk
