#pragma once
// A job's keep policy, section "keep" of its "rkjob.ini": every backup of
// the last "days" days, then one a day for "weeks" weeks, then one a week for
// "months" months, then one a month for "years" years (-1: that step lasts
// forever). A job without the section keeps every backup.

#include "engine/job.h"

#include <optional>
#include <string>

namespace rk {

inline constexpr int kKeepForever = -1;

struct KeepPolicy {
    int days = 2;
    int weeks = 4;
    int months = 6;
    int years = kKeepForever;
    bool operator==(const KeepPolicy&) const = default;
};

// The policy the Keep dialog proposes: 2 days, 4 weeks, 6 months, forever.
inline constexpr KeepPolicy kProposedKeepPolicy{};

// The job's policy, or nothing when its "rkjob.ini" has no "keep" section.
// A key that is missing or not a whole number takes the proposed value; a
// negative number is forever.
std::optional<KeepPolicy> ReadKeepPolicy(const Job& job);

// Writes the policy; nothing removes the section, so the job keeps every
// backup again.
void WriteKeepPolicy(const Job& job, const std::optional<KeepPolicy>& policy);

// The policy in plain words, e.g. "Keep every backup for 2 days, then one a
// day for 4 weeks, then one a week for 6 months, then one a month forever."
std::string KeepPolicyWords(const KeepPolicy& policy);

} // namespace rk
