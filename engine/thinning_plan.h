#pragma once
// Which archives a keep policy thins: every archive of the last days is
// kept; older ones fall into periods (a day, a calendar week from Monday, a
// calendar month, and everything older than the last step), and the
// archives of a period that holds more than one are consolidated into one
// archive dated as the period's last. Periods follow the calendar, so a
// period once thinned stays one archive.

#include "engine/extract_plan.h"
#include "engine/keep_policy.h"

#include <string>
#include <vector>

namespace rk {

struct ThinningPeriod {
    CalendarDay firstDay{};            // the day of its oldest archive
    CalendarDay lastDay{};             // the day of its newest archive
    std::vector<std::string> archives; // oldest first, two or more
};

struct ThinningPlan {
    std::vector<ThinningPeriod> periods; // oldest first
    // The archives there would be after thinning, oldest first: those left
    // as they are and each period's consolidated archive.
    std::vector<std::string> remaining;
};

// The plan for the archives (names in list order, JobArchiveNames) on `today`.
// Names without an archive date are left as they are.
ThinningPlan PlanThinning(const std::vector<std::string>& archiveNames, const KeepPolicy& policy,
                          CalendarDay today);

// The name the consolidation gives a period's archive: the newest archive's
// base name + "_C." + its extension.
std::string ConsolidatedArchiveName(const std::string& newestArchive);

} // namespace rk
