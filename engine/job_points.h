#pragma once
// The points in time of a job folder: its archives (engine/job_archives.h),
// their sizes and their point records read through the unzip utility, as
// one PointsInTime for the restore window and "rkbak /restore".

#include "engine/points_in_time.h"

#include <string>

namespace rk {

struct Installation;

struct JobPointsOutcome {
    bool complete = false;
    // The archive whose record could not be had, and why.
    std::string failedArchive;
    std::string reason;
    PointsInTime points;
};

// Every archive of `folder` (Windows text), oldest first, as a point in time;
// only the oldest `count` when fewer are needed (a point and those before it
// are all a restore of that point reads).
JobPointsOutcome LoadJobPoints(const Installation& installation, const std::string& folder,
                               std::size_t count = static_cast<std::size_t>(-1));

} // namespace rk
