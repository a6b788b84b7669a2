#include "engine/keep_policy.h"

#include <charconv>

namespace rk {

namespace {

constexpr std::string_view kDays = "days";
constexpr std::string_view kWeeks = "weeks";
constexpr std::string_view kMonths = "months";
constexpr std::string_view kYears = "years";

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value < 0 ? kKeepForever : value;
}

std::string Count(int n, const std::string& unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

// " for N units", or " forever".
std::string Span(int n, const std::string& unit) {
    return n == kKeepForever ? " forever" : " for " + Count(n, unit);
}

} // namespace

std::optional<KeepPolicy> ReadKeepPolicy(const Job& job) {
    const SettingsPlace place = job.section(JobSection::Keep);
    KeepPolicy policy;
    bool any = false;
    for (auto [key, value] :
         {std::pair{kDays, &policy.days}, std::pair{kWeeks, &policy.weeks},
          std::pair{kMonths, &policy.months}, std::pair{kYears, &policy.years}}) {
        const std::string text = ReadSetting(key, {}, place);
        any = any || !text.empty();
        if (const std::optional<int> number = WholeNumber(text))
            *value = *number;
    }
    if (!any)
        return std::nullopt;
    return policy;
}

void WriteKeepPolicy(const Job& job, const std::optional<KeepPolicy>& policy) {
    const SettingsPlace place = job.section(JobSection::Keep);
    if (!policy) {
        WriteSetting(std::nullopt, std::nullopt, place);
        return;
    }
    WriteSetting(kDays, std::to_string(policy->days), place);
    WriteSetting(kWeeks, std::to_string(policy->weeks), place);
    WriteSetting(kMonths, std::to_string(policy->months), place);
    WriteSetting(kYears, std::to_string(policy->years), place);
}

std::string KeepPolicyWords(const KeepPolicy& policy) {
    std::string words = "Keep every backup" + Span(policy.days, "day");
    if (policy.days != kKeepForever) {
        words += ", then one a day" + Span(policy.weeks, "week");
        if (policy.weeks != kKeepForever) {
            words += ", then one a week" + Span(policy.months, "month");
            if (policy.months != kKeepForever) {
                words += ", then one a month" + Span(policy.years, "year");
                if (policy.years != kKeepForever)
                    words += ", then one for everything older";
            }
        }
    }
    return words + ".";
}

} // namespace rk
