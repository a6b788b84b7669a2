#pragma once
// The end of a job's last thinning run, kept in section "lastthin" of its
// "rkjob.ini": when it ended, how many archives there were before and after,
// the bytes it freed, its outcome and the reason.

#include "engine/job.h"

#include <optional>
#include <string>

namespace rk {

struct LastThin {
    std::string time;     // "yyyy-mm-dd hh:nn:ss", local time
    long long before = 0; // archives before the run
    long long after = 0;  // archives after it
    long long bytesFreed = 0;
    std::string outcome; // "thinned", "nothing", "failed" or "incomplete"
    std::string reason;  // on one line, when there is one
};

void RecordLastThin(const Job& job, const LastThin& thin);
std::optional<LastThin> ReadLastThin(const Job& job);

// "Last thinning: 2026-12-10 01:00:00, 40 backups to 12, 3.2 MB freed" and,
// when it failed, the reason: "..., failed, nothing deleted: <reason>", or
// "..., 40 backups to 30, 1.0 MB freed, then failed: <reason>" when the
// periods before the failed one were thinned.
std::string LastThinText(const LastThin& thin);

} // namespace rk
