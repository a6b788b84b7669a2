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

std::optional<PointRecord> ParsePointRecord(std::string_view text) {
    PointRecord record;
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
    return record;
}

ToolOutcome WritePointRecord(const Installation& installation, const std::string& archivePath,
                             const std::string& recordPath) {
    const struct {
        std::string_view what;
        std::string_view piece;
    } pieces[] = {{"unzip utility", installation.unzipUtility},
                  {"point record file", recordPath},
                  {"archive", archivePath}};
    for (const auto& piece : pieces) {
        if (auto refusal = PieceRefusal(piece.what, piece.piece, true, "unzip utility")) {
            ToolOutcome refused;
            refused.startError = std::move(*refusal);
            return refused;
        }
    }
    DeleteFileQuietly(recordPath);
    ToolOutcome outcome =
        RunTool(PointRecordCommandLine(installation.unzipUtility, recordPath, archivePath));
    if (!platform::ProcessSucceeded(outcome))
        DeleteFileQuietly(recordPath);
    return outcome;
}

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
    for (const auto& name : archiveNames) {
        const std::string archivePath = AddBackslash(folder) + name;
        const ToolOutcome run = WritePointRecord(installation, archivePath, recordPath);
        std::optional<PointRecord> record;
        if (platform::ProcessSucceeded(run))
            if (const auto text = platform::ReadFile(recordPath))
                record = ParsePointRecord(*text);
        DeleteFileQuietly(recordPath);
        if (!record) {
            outcome.failedArchive = archivePath;
            outcome.reason = platform::ProcessSucceeded(run)
                                 ? "the unzip utility wrote no readable record of it"
                                 : UtilityFailureReason(run);
            outcome.records.clear();
            platform::RemoveFolder(workFolder);
            return outcome;
        }
        outcome.records.push_back(std::move(*record));
    }
    platform::RemoveFolder(workFolder);
    outcome.complete = true;
    return outcome;
}

} // namespace rk
