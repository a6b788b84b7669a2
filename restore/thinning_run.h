#pragma once
// Thinning a job's backups by its keep policy: each period the policy thins
// (engine/thinning_plan.h) is consolidated as the extract dialog's
// Consolidate does with "Delete consolidated backups" ticked: extracted
// newest first into a new folder, zipped into one archive, checked by
// content, and only then are the period's archives deleted. A failed period
// deletes nothing and ends the run; no extraction stays behind, also not one
// a killed run left (it is removed by the next run). The run is recorded in
// section "lastthin" of the job's "rkjob.ini".

#include "engine/job.h"
#include "engine/last_thin.h"
#include "engine/progress_display.h"
#include "engine/thinning_plan.h"

#include <string>

namespace rk::restore {

struct ThinningEnd {
    // False when the job has no keep policy: nothing was done or recorded.
    bool hasPolicy = false;
    // The run as recorded; outcome "thinned", "nothing", "failed" or
    // "incomplete" (made, but some replaced archives could not be deleted).
    LastThin record;
    bool Failed() const { return record.outcome == "failed" || record.outcome == "incomplete"; }
};

// Today, as the local clock (platform/clock.h) gives it.
CalendarDay LocalToday();

// Thins the job on `today`.
ThinningEnd ThinJob(const Installation& installation, const Job& job, ProgressDisplay& progress,
                    CalendarDay today);

// The sentence telling what a policy would do to the job's archives today:
// "Today 14 backups; after thinning 6 would remain, the oldest from
// 09/03/2025."
std::string ThinningExample(const Job& job, const KeepPolicy& policy, CalendarDay today);

} // namespace rk::restore
