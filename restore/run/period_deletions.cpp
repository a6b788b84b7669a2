#include "restore/run/period_deletions.h"

#include "engine/point_record.h"
#include "engine/points_in_time.h"

namespace rk::restore {

std::optional<std::vector<std::string>> PeriodGoneNames(const Installation& installation,
                                                        const std::string& folder,
                                                        const std::vector<std::string>& archives,
                                                        std::string& reason) {
    if (archives.empty())
        return std::vector<std::string>();
    PointRecordsOutcome records = ReadPointRecords(installation, folder, archives);
    if (!records.complete) {
        reason = records.failedArchive + ": " + records.reason;
        return std::nullopt;
    }
    std::vector<TimePoint> points(archives.size());
    for (std::size_t i = 0; i < archives.size(); ++i)
        points[i].archiveName = archives[i];
    const PointsInTime period(std::move(points), records.records);
    // Every file named in the period has an event in it: one not there at
    // its end was last recorded gone.
    const int end = static_cast<int>(archives.size()) - 1;
    std::vector<std::string> gone;
    for (std::uint32_t file = 0; file < period.FileCount(); ++file)
        if (!period.PresentAt(file, end))
            gone.push_back(period.FileName(file));
    return gone;
}

} // namespace rk::restore
