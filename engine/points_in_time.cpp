#include "engine/points_in_time.h"

#include "platform/ascii_text.h"

#include <algorithm>
#include <unordered_map>

namespace rk {

namespace {

bool IsFolderName(std::string_view listedName) {
    return !listedName.empty() && listedName.back() == '\\';
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::string PointTimeText(std::string_view archiveName) {
    // rk_YYYY_MM_DD_HH_NN_SS followed by "." or "_" (a consolidation's "_C").
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (fields.size() < 7 && at <= archiveName.size()) {
        const size_t end = archiveName.find_first_of("_.", at);
        fields.push_back(
            archiveName.substr(at, end == archiveName.npos ? archiveName.npos : end - at));
        if (end == archiveName.npos)
            break;
        at = end + 1;
    }
    if (fields.size() < 7 || fields[1].size() != 4)
        return {};
    for (size_t i = 1; i < 7; ++i)
        if (!AllDigits(fields[i]) || (i > 1 && fields[i].size() != 2))
            return {};
    return std::string(fields[1]) + "-" + std::string(fields[2]) + "-" + std::string(fields[3]) +
           " " + std::string(fields[4]) + ":" + std::string(fields[5]) + ":" +
           std::string(fields[6]);
}

PointsInTime::PointsInTime(std::vector<TimePoint> points, const std::vector<PointRecord>& records)
    : points_(std::move(points)) {
    // Every name once, numbered in byte order.
    std::unordered_map<std::string_view, std::uint32_t> numbers;
    std::size_t eventCount = 0;
    for (const auto& record : records) {
        eventCount += record.files.size() + record.goneNames.size();
        for (const auto& file : record.files)
            numbers.emplace(file.name, 0);
        for (const auto& gone : record.goneNames)
            if (!IsFolderName(gone))
                numbers.emplace(gone, 0);
    }
    names_.reserve(numbers.size());
    for (const auto& [name, number] : numbers)
        names_.emplace_back(name);
    std::sort(names_.begin(), names_.end());
    numbers.clear();
    for (std::uint32_t i = 0; i < names_.size(); ++i)
        numbers.emplace(names_[i], i);

    // The events of each archive in turn, gathered per file: counted first,
    // then placed, so each file's events lie together, oldest first.
    std::vector<std::uint32_t> counts(names_.size() + 1, 0);
    // Per file, the point of its last event and where that event lies.
    constexpr std::uint32_t kNone = 0xffffffffu;
    std::vector<std::uint32_t> lastPoint(names_.size(), kNone);
    std::vector<std::size_t> lastEvent(names_.size(), 0);
    std::vector<std::pair<std::uint32_t, Event>> flat;
    flat.reserve(eventCount);
    for (std::size_t p = 0; p < records.size() && p < points_.size(); ++p) {
        const PointRecord& record = records[p];
        if (record.hasDeletionRecord)
            points_[p].kind = record.kind;
        const auto point = static_cast<std::uint32_t>(p);
        for (const auto& file : record.files) {
            const std::uint32_t number = numbers.at(file.name);
            if (lastPoint[number] == point)
                continue; // a name held twice: the first entry counts
            lastPoint[number] = point;
            lastEvent[number] = flat.size();
            flat.push_back(
                {number, Event{static_cast<std::int32_t>(p), true, false, file.size, file.mtime}});
            ++counts[number];
        }
        for (const auto& gone : record.goneNames) {
            if (IsFolderName(gone))
                continue;
            const std::uint32_t number = numbers.at(gone);
            if (lastPoint[number] == point) {
                // Held and gone in one archive: gone at this point.
                flat[lastEvent[number]].second.gone = true;
                continue;
            }
            lastPoint[number] = point;
            lastEvent[number] = flat.size();
            flat.push_back({number, Event{static_cast<std::int32_t>(p), false, true, 0, 0}});
            ++counts[number];
        }
    }
    firstEvent_.assign(names_.size() + 1, 0);
    for (std::size_t i = 0; i < names_.size(); ++i)
        firstEvent_[i + 1] = firstEvent_[i] + counts[i];
    events_.resize(flat.size());
    std::vector<std::uint32_t> next(firstEvent_.begin(), firstEvent_.end() - 1);
    for (const auto& [number, event] : flat)
        events_[next[number]++] = event;
}

int PointsInTime::PointOf(std::string_view archiveName) const {
    for (std::size_t i = 0; i < points_.size(); ++i)
        if (platform::SameIgnoringAsciiCase(points_[i].archiveName, archiveName))
            return static_cast<int>(i);
    return -1;
}

std::int64_t PointsInTime::FileOf(std::string_view listedName) const {
    const auto it = std::lower_bound(names_.begin(), names_.end(), listedName);
    if (it == names_.end() || *it != listedName)
        return -1;
    return it - names_.begin();
}

const PointsInTime::Event* PointsInTime::EventAt(std::uint32_t file, int point) const {
    const Event* first = events_.data() + firstEvent_[file];
    const Event* last = events_.data() + firstEvent_[file + 1];
    const Event* after = std::upper_bound(
        first, last, point, [](int p, const Event& event) { return p < event.point; });
    return after == first ? nullptr : after - 1;
}

bool PointsInTime::PresentAt(std::uint32_t file, int point, FileVersion* version) const {
    const Event* event = EventAt(file, point);
    if (event == nullptr || !event->held || event->gone)
        return false;
    if (version != nullptr)
        *version = FileVersion{event->point, event->size, event->mtime};
    return true;
}

std::vector<PresentFile> PointsInTime::TreeAt(int point) const {
    std::vector<PresentFile> tree;
    if (point < 0 || point >= static_cast<int>(points_.size()))
        return tree;
    tree.reserve(names_.size());
    FileVersion version;
    for (std::uint32_t file = 0; file < names_.size(); ++file)
        if (PresentAt(file, point, &version))
            tree.push_back({file, version});
    return tree;
}

std::vector<FileVersion> PointsInTime::Versions(std::uint32_t file) const {
    std::vector<FileVersion> versions;
    for (std::uint32_t i = firstEvent_[file]; i < firstEvent_[file + 1]; ++i)
        if (events_[i].held)
            versions.push_back({events_[i].point, events_[i].size, events_[i].mtime});
    return versions;
}

bool PointsInTime::HasVersion(std::uint32_t file) const {
    for (std::uint32_t i = firstEvent_[file]; i < firstEvent_[file + 1]; ++i)
        if (events_[i].held)
            return true;
    return false;
}

std::vector<std::uint32_t> PointsInTime::Search(std::string_view text,
                                                bool lastComponentOnly) const {
    std::vector<std::uint32_t> found;
    if (text.empty())
        return found;
    const std::string wanted = platform::LowerAscii(text);
    std::string name;
    for (std::uint32_t file = 0; file < names_.size(); ++file) {
        std::string_view searched = names_[file];
        if (lastComponentOnly)
            if (const size_t slash = searched.rfind('\\'); slash != searched.npos && slash > 0)
                searched.remove_prefix(slash + 1);
        name = platform::LowerAscii(searched);
        if (name.find(wanted) != std::string::npos && HasVersion(file))
            found.push_back(file);
    }
    return found;
}

} // namespace rk
