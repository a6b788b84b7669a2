#include "engine/point_record.h"

#include "core/text.h"
#include "engine/archive_listing.h"
#include "engine/job.h"
#include "engine/temporary_folders.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/file_system.h"

#include <charconv>

namespace rk {

namespace {

// The fields of a line split at tabs.
std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    for (;;) {
        const size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string_view::npos ? line.npos : tab - at));
        if (tab == std::string_view::npos)
            return fields;
        at = tab + 1;
    }
}

template <typename Number> bool ReadNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

std::optional<std::vector<PointRecord>> ParsePointRecords(std::string_view text) {
    std::vector<PointRecord> records;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty())
            continue;
        const auto fields = Fields(line);
        if (fields[0] == "A") {
            records.emplace_back();
            continue;
        }
        if (records.empty())
            return std::nullopt;
        PointRecord& record = records.back();
        if (fields[0] == "F" && fields.size() == 4 && !fields[3].empty()) {
            RecordedFile file;
            if (!ReadNumber(fields[1], file.size) || !ReadNumber(fields[2], file.mtime))
                return std::nullopt;
            file.name = std::string(fields[3]);
            record.files.push_back(std::move(file));
        } else if (fields[0] == "R" && fields.size() == 2) {
            record.hasDeletionRecord = true;
            if (fields[1] == "root")
                record.kind = PointKind::Root;
            else if (fields[1] == "incremental")
                record.kind = PointKind::Incremental;
            else if (fields[1] == "consolidated")
                record.kind = PointKind::Consolidated;
            else
                return std::nullopt;
        } else if (fields[0] == "X" && fields.size() == 2 && !fields[1].empty()) {
            record.goneNames.emplace_back(fields[1]);
        } else {
            return std::nullopt;
        }
    }
    return records;
}

ToolOutcome WritePointRecords(const Installation& installation,
                              const std::vector<std::string>& archivePaths,
                              const std::string& recordPath) {
    std::optional<std::string> refusal =
        PieceRefusal("unzip utility", installation.unzipUtility, true, "unzip utility");
    if (!refusal)
        refusal = PieceRefusal("point record file", recordPath, true, "unzip utility");
    for (const auto& archive : archivePaths)
        if (!refusal)
            refusal = PieceRefusal("archive", archive, true, "unzip utility");
    if (refusal) {
        ToolOutcome refused;
        refused.startError = std::move(*refusal);
        return refused;
    }
    DeleteFileQuietly(recordPath);
    ToolOutcome outcome =
        RunTool(PointRecordCommandLine(installation.unzipUtility, recordPath, archivePaths));
    if (!platform::ProcessSucceeded(outcome))
        DeleteFileQuietly(recordPath);
    return outcome;
}

namespace {

// Archives a run of the unzip utility is given at most, and the most
// characters their paths take together: a command line stays well within
// what any system passes on.
constexpr std::size_t kArchivesPerRun = 200;
constexpr std::size_t kPathTextPerRun = 24000;

// The records of the archives, from one run; nothing (and the reason) when
// the run fails or writes something else.
std::optional<std::vector<PointRecord>> RecordsOf(const Installation& installation,
                                                  const std::vector<std::string>& archives,
                                                  const std::string& recordPath,
                                                  std::string& reason) {
    const ToolOutcome run = WritePointRecords(installation, archives, recordPath);
    std::optional<std::vector<PointRecord>> records;
    if (platform::ProcessSucceeded(run))
        if (const auto text = platform::ReadFile(recordPath))
            records = ParsePointRecords(*text);
    DeleteFileQuietly(recordPath);
    if (records && records->size() != archives.size())
        records.reset();
    if (!records)
        reason = platform::ProcessSucceeded(run) ? "the unzip utility wrote no readable record"
                                                 : UtilityFailureReason(run);
    return records;
}

} // namespace

PointRecordsOutcome ReadPointRecords(const Installation& installation, const std::string& folder,
                                     const std::vector<std::string>& archiveNames) {
    PointRecordsOutcome outcome;
    // A folder of this run alone, so that nobody can put anything at the
    // record's name between two runs of the utility.
    const std::string workFolder = GetTempFolder("rkpoints");
    if (workFolder.empty() || !platform::CreatePrivateFolder(workFolder)) {
        outcome.reason = "no private temporary folder can be made: " + TempFolderProblem();
        return outcome;
    }
    const std::string recordPath = AddBackslash(workFolder) + "point.tmp";
    outcome.records.reserve(archiveNames.size());
    std::size_t next = 0;
    while (next < archiveNames.size()) {
        std::vector<std::string> batch;
        std::size_t text = 0;
        while (next < archiveNames.size() && batch.size() < kArchivesPerRun &&
               (batch.empty() || text < kPathTextPerRun)) {
            batch.push_back(AddBackslash(folder) + archiveNames[next++]);
            text += batch.back().size() + 3;
        }
        std::string reason;
        auto records = RecordsOf(installation, batch, recordPath, reason);
        if (!records && batch.size() > 1) {
            // Which archive it was: each of them alone.
            for (const auto& archive : batch) {
                auto one = RecordsOf(installation, {archive}, recordPath, reason);
                if (!one) {
                    outcome.failedArchive = archive;
                    break;
                }
            }
        } else if (!records) {
            outcome.failedArchive = batch.front();
        }
        if (!records) {
            if (outcome.failedArchive.empty())
                outcome.failedArchive = batch.front();
            outcome.reason = reason;
            outcome.records.clear();
            platform::RemoveFolder(workFolder);
            return outcome;
        }
        for (auto& record : *records)
            outcome.records.push_back(std::move(record));
    }
    platform::RemoveFolder(workFolder);
    outcome.complete = true;
    return outcome;
}

} // namespace rk
