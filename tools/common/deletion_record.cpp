#include "tools/common/deletion_record.h"

#include "core/listed_names.h"

namespace rk::tools {

namespace {

constexpr std::string_view kHeading = "ravelkeep deletion record 1 ";

} // namespace

bool IsDeletionRecordName(std::string_view storedName) {
    return storedName == kDeletionRecordName;
}

std::string_view RecordedRunWord(RecordedRun run) {
    switch (run) {
    case RecordedRun::Root:
        return "root";
    case RecordedRun::Consolidated:
        return "consolidated";
    case RecordedRun::Incremental:
        break;
    }
    return "incremental";
}

std::string DeletionRecordText(const DeletionRecord& record) {
    std::string text(kHeading);
    text += RecordedRunWord(record.run);
    text += '\n';
    for (const auto& name : record.goneNames) {
        text += rk::ListedName(name);
        text += '\n';
    }
    return text;
}

std::optional<DeletionRecord> ReadDeletionRecordText(std::string_view text) {
    const size_t firstEnd = text.find('\n');
    if (firstEnd == std::string_view::npos || text.compare(0, kHeading.size(), kHeading) != 0)
        return std::nullopt;
    const std::string_view word = text.substr(kHeading.size(), firstEnd - kHeading.size());
    DeletionRecord record;
    if (word == "root")
        record.run = RecordedRun::Root;
    else if (word == "consolidated")
        record.run = RecordedRun::Consolidated;
    else if (word == "incremental")
        record.run = RecordedRun::Incremental;
    else
        return std::nullopt;
    size_t at = firstEnd + 1;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty())
            continue;
        auto stored = rk::StoredNameOf(line);
        if (!stored)
            return std::nullopt;
        record.goneNames.push_back(std::move(*stored));
    }
    return record;
}

} // namespace rk::tools
