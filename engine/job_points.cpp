#include "engine/job_points.h"

#include "core/text.h"
#include "engine/job_archives.h"
#include "engine/point_record.h"
#include "platform/file_system.h"

namespace rk {

JobPointsOutcome LoadJobPoints(const Installation& installation, const std::string& folder,
                               std::size_t count) {
    JobPointsOutcome outcome;
    std::vector<std::string> names = JobArchiveNames(folder);
    if (names.size() > count)
        names.resize(count);
    PointRecordsOutcome records = ReadPointRecords(installation, folder, names);
    if (!records.complete) {
        outcome.failedArchive = records.failedArchive;
        outcome.reason = records.reason;
        return outcome;
    }
    std::vector<TimePoint> points;
    points.reserve(names.size());
    for (const auto& name : names) {
        TimePoint point;
        point.archiveName = name;
        point.when = PointTimeText(name);
        point.size = platform::FileLength(AddBackslash(folder) + name).value_or(0);
        points.push_back(std::move(point));
    }
    outcome.points = PointsInTime(std::move(points), records.records);
    outcome.complete = true;
    return outcome;
}

} // namespace rk
