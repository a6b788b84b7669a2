#pragma once
// A job's backups as points in time, and the tree of files as it was at
// each: built from the archives' point records (engine/point_record.h),
// oldest first. A file is there at a point when the newest archive at or
// before it that holds the file or records it as gone holds it; its version
// there is that archive's. An archive that both holds a file and records it
// as gone (a consolidation of a period in which the file came back and was
// deleted again) leaves it gone at that point, with that archive's version
// among its versions.
//
// Names are listed names ("Data\a\f.txt", or the escaped form of
// core/listed_names.h), exactly as the archives' "@" lists take them;
// files are numbered from 0 in the order of their names' bytes.

#include "engine/point_record.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// One backup of the job as a point in time.
struct TimePoint {
    std::string archiveName; // "rk_2026_12_09_14_00_00.zip"
    // "2026-12-09 14:00:00" read from the name, or empty text when the name
    // holds no date and time.
    std::string when;
    PointKind kind = PointKind::Unknown;
    std::uint64_t size = 0; // bytes of the archive file
};

// The date and time of an archive's name ("rk_YYYY_MM_DD_HH_NN_SS...")
// as "YYYY-MM-DD HH:NN:SS", or empty text.
std::string PointTimeText(std::string_view archiveName);

// One version of a file: the point (archive) holding it.
struct FileVersion {
    int point = 0;
    std::uint64_t size = 0;
    std::int64_t mtime = 0; // the file's own modification time
};

// A file of the tree at a point, with the version it has there.
struct PresentFile {
    std::uint32_t file = 0;
    FileVersion version;
};

class PointsInTime {
  public:
    PointsInTime() = default;
    // `points` and `records` are parallel, oldest first. A point's kind is
    // taken from its record when it has a deletion record.
    PointsInTime(std::vector<TimePoint> points, const std::vector<PointRecord>& records);

    const std::vector<TimePoint>& Points() const { return points_; }
    // The index of the point of that archive name (letter case ignored), or -1.
    int PointOf(std::string_view archiveName) const;

    std::size_t FileCount() const { return names_.size(); }
    const std::string& FileName(std::uint32_t file) const { return names_[file]; }
    // The file of that exact listed name, or -1.
    std::int64_t FileOf(std::string_view listedName) const;

    // Every file there at the point, in name order.
    std::vector<PresentFile> TreeAt(int point) const;
    // Whether the file is there at the point, and its version there.
    bool PresentAt(std::uint32_t file, int point, FileVersion* version = nullptr) const;
    // Every archive holding the file, oldest first.
    std::vector<FileVersion> Versions(std::uint32_t file) const;
    // The files whose name holds `text` (ASCII letter case ignored; empty
    // text finds nothing) at any point, in name order. With
    // `lastComponentOnly`, only the name after the last "\" is searched.
    std::vector<std::uint32_t> Search(std::string_view text, bool lastComponentOnly = true) const;

  private:
    // What one archive says of one file: it holds it, or records it gone,
    // or both.
    struct Event {
        std::int32_t point = 0;
        bool held = false;
        bool gone = false;
        std::uint64_t size = 0;
        std::int64_t mtime = 0;
    };
    bool HasVersion(std::uint32_t file) const;
    // The last event at or before the point, or nullptr.
    const Event* EventAt(std::uint32_t file, int point) const;

    std::vector<TimePoint> points_;
    std::vector<std::string> names_; // sorted
    // The events of file i are events_[firstEvent_[i] .. firstEvent_[i + 1]),
    // oldest first.
    std::vector<Event> events_;
    std::vector<std::uint32_t> firstEvent_;
};

} // namespace rk
