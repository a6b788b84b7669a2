#include "restore/run/restore_run.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "engine/archive_encryption.h"
#include "engine/archive_listing.h"
#include "engine/consolidation_check.h"
#include "engine/copy_record.h"
#include "engine/job_passwords.h"
#include "engine/temporary_folders.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/file_system.h"
#include "restore/run/period_deletions.h"
#include "restore/run/shadowed_versions.h"

namespace rk::restore {

namespace {

// Why a piece cannot go into a utility's command line, or empty text.
std::string PieceProblem(std::string_view what, std::string_view piece, bool quoted,
                         std::string_view utility) {
    return PieceRefusalSentence(what, piece, quoted, utility).value_or(std::string());
}

std::string JoinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// One run: its request, what it derives, and the ends it can take.
class Run {
  public:
    Run(const Installation& installation, const RestoreRequest& request, ProgressDisplay& progress,
        RestoreConversation& conversation, FilePicker& picker)
        : installation_(installation), request_(request), progress_(progress),
          conversation_(conversation), picker_(picker) {}

    ExtractOutcome Execute();

  private:
    const std::string& Newest() const {
        return request_.archiveNames[static_cast<std::size_t>(range_.endIndex)];
    }
    std::string ArchivePath(const std::string& name) const {
        return AddBackslash(request_.source) + name;
    }
    void Tell(std::string_view text, NoticeKind kind = NoticeKind::Plain) const {
        if (!request_.silent)
            conversation_.Tell(text, kind);
    }

    ExtractOutcome Steps();
    ExtractOutcome PickFiles();
    ExtractOutcome ExtractRange();
    ExtractOutcome Consolidate();
    ExtractOutcome FailureEnd(std::string reason);
    // The file listing the names the range leaves deleted, for the
    // consolidated archive's deletion record; empty text when there is none.
    std::string WriteGoneList() const;
    ExtractOutcome SuccessEnd(ExtractOutcome outcome);
    // The outcome with what the run made in the file system.
    ExtractOutcome Described(ExtractOutcome outcome) const;

    const Installation& installation_;
    const RestoreRequest& request_;
    ProgressDisplay& progress_;
    RestoreConversation& conversation_;
    FilePicker& picker_;
    ArchiveRange range_;
    std::string listPath_;
    long long selectedCount_ = 0;
    bool rangeEncrypted_ = false;
    std::string extractionFolder_;
    bool extractionMade_ = false;
    bool onlyCopy_ = false;
};

ExtractOutcome Run::Described(ExtractOutcome outcome) const {
    if (extractionMade_)
        outcome.details.extractionFolder = extractionFolder_;
    outcome.details.extractionHoldsOnlyCopy = onlyCopy_;
    return outcome;
}

ExtractOutcome Run::Execute() {
    ExtractOutcome outcome = Described(Steps());
    // The list of chosen names is the run's own: it does not stay behind.
    if (!listPath_.empty())
        platform::DeleteFile(listPath_);
    return outcome;
}

ExtractOutcome Run::Steps() {
    if (request_.destination.empty()) {
        Tell("Invalid destination");
        return ExtractOutcome::Ended(RunStatus::Refused, "Invalid destination");
    }
    progress_.SetStatusText("Preparing to extract");
    range_ = FindRange(request_.archiveNames, request_.startDay, request_.endDay);
    if (range_.Empty()) {
        Tell("Nothing to do");
        return FailureEnd("Nothing to do");
    }
    // Encrypted archives of the range are read with the job's passwords; a
    // consolidated archive is encrypted again when the job encrypts.
    std::vector<std::string> rangePaths;
    for (int i = range_.startIndex; i <= range_.endIndex; ++i)
        rangePaths.push_back(ArchivePath(request_.archiveNames[static_cast<std::size_t>(i)]));
    Result<ToolPasswords> passwords = PasswordsForArchives(
        request_.source, rangePaths, request_.action == ExtractAction::Consolidate);
    if (!passwords) {
        Tell(passwords.reason(), NoticeKind::Critical);
        return FailureEnd(passwords.reason());
    }
    const ToolPasswordScope passwordScope(std::move(*passwords));
    rangeEncrypted_ = AnyArchiveEncrypted(rangePaths);

    if (request_.action == ExtractAction::ExtractPicked) {
        if (ExtractOutcome picked = PickFiles(); picked.status != RunStatus::Done)
            return picked;
    }

    // Consolidate zips everything in its extraction folder, so it works in a
    // folder of its own: never one where an earlier run left files that the
    // user may have changed since.
    extractionFolder_ = ExtractionFolder(request_.destination, Newest());
    const std::string usualFolder = extractionFolder_;
    if (request_.action == ExtractAction::Consolidate)
        for (int n = 2; PathExists(extractionFolder_); ++n)
            extractionFolder_ = usualFolder + "_" + std::to_string(n);

    if (!request_.silent) {
        std::string question =
            ConfirmationText(request_.source, request_.destination, request_.startText,
                             request_.endText, ActionWord(request_.action, selectedCount_));
        if (extractionFolder_ != usualFolder)
            question.insert(question.rfind("\r\n\r\n"),
                            "\r\nExtraction folder: " + extractionFolder_);
        if (!conversation_.Confirm(question))
            return FailureEnd("The restore was not confirmed.");
    }

    if (ExtractOutcome extracted = ExtractRange(); extracted.status != RunStatus::Done)
        return extracted;
    if (request_.action == ExtractAction::Consolidate)
        return SuccessEnd(Consolidate());
    return SuccessEnd(ExtractOutcome::Ended(RunStatus::Done));
}

ExtractOutcome Run::PickFiles() {
    std::string info = PickerInfoText(request_.destination, request_.startText, request_.endText);
    // Zip encryption hides the files' contents, not their names.
    if (rangeEncrypted_)
        info += "\r\n" + std::string(kEncryptedNamesNote);
    const PickedFiles picked =
        picker_.Pick(request_.source, RangeArchiveNames(request_.archiveNames, range_), info);
    if (!picked.listed) {
        const std::string reason =
            "Could not list the files of the backup " + picked.failedArchive + ": " + picked.reason;
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }
    if (!picked.confirmed)
        return FailureEnd("No files were chosen.");

    listPath_ = ProgramListFilePath(installation_, ExtractListFileName);
    // Made anew, never written through what the name held before.
    if (!platform::ReplaceWithNewFile(listPath_, JoinedLines(picked.names))) {
        const std::string reason =
            "Could not write the list of selected files \"" + listPath_ + "\".";
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }
    selectedCount_ = static_cast<long long>(picked.names.size());
    if (picked.names.empty()) {
        Tell("No files selected");
        return FailureEnd("No files selected");
    }
    return ExtractOutcome::Ended(RunStatus::Done);
}

ExtractOutcome Run::ExtractRange() {
    platform::CreateFolder(request_.destination);
    // What Consolidate extracts is only read back by the zip utility: no
    // one else may read it meanwhile.
    extractionMade_ = request_.action == ExtractAction::Consolidate
                          ? platform::CreatePrivateFolder(extractionFolder_)
                          : platform::CreateFolder(extractionFolder_);
    if (!FolderExists(extractionFolder_)) {
        const std::string reason = "The folder \"" + extractionFolder_ + "\" could not be created.";
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }
    const std::string target = AddBackslash(extractionFolder_);
    const bool listed = request_.action == ExtractAction::ExtractPicked;

    std::string problem =
        PieceProblem("unzip utility", installation_.unzipUtility, true, "unzip utility");
    if (problem.empty())
        problem = PieceProblem("extraction folder", target, true, "unzip utility");
    if (problem.empty() && listed)
        problem = PieceProblem("list of selected files", listPath_, true, "unzip utility");
    for (auto i = range_.startIndex; problem.empty() && i <= range_.endIndex; ++i)
        problem =
            PieceProblem("backup", ArchivePath(request_.archiveNames[static_cast<std::size_t>(i)]),
                         true, "unzip utility");
    if (!problem.empty()) {
        Tell(problem, NoticeKind::Critical);
        return FailureEnd(problem);
    }

    progress_.SetProgressMaximum(range_.endIndex + 1);
    progress_.SetProgressMinimum(range_.startIndex);
    int processed = 0;
    for (int i = range_.endIndex; i >= range_.startIndex; --i) {
        const std::string& name = request_.archiveNames[static_cast<std::size_t>(i)];
        ++processed;
        // A name without an archive date is passed over, inside the range too.
        if (!ArchiveDate(name)) {
            progress_.SetProgressValue(range_.startIndex + processed);
            continue;
        }
        progress_.SetStatusText("Extracting " + name);
        const std::string archive = ArchivePath(name);
        const Result<void> extracted = UtilityResult(RunTool(
            listed
                ? ExtractListedCommandLine(installation_.unzipUtility, archive, listPath_, target)
                : ExtractCommandLine(installation_.unzipUtility, archive, target)));
        progress_.SetProgressValue(range_.startIndex + processed);
        conversation_.KeepResponsive();
        if (!extracted) {
            const std::string reason =
                "Could not extract the backup " + name + ": " + extracted.reason();
            Tell(reason, NoticeKind::Critical);
            return FailureEnd(reason);
        }
    }
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    return ExtractOutcome::Ended(RunStatus::Done);
}

ExtractOutcome Run::Consolidate() {
    progress_.SetProgressMaximum(100);
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(90);
    progress_.SetStatusText("Creating backup...");
    const std::string archive = ConsolidatedArchivePath(request_.source, Newest());
    const std::string archiveName = GetPathPart(archive, PathPartFileName);
    const std::string target = AddBackslash(extractionFolder_);
    const std::string shortZip = GetShortPath(installation_.zipUtility);
    std::string problem = PieceProblem("zip utility", shortZip, false, "zip utility");
    if (problem.empty())
        problem = PieceProblem("consolidated backup", archive, true, "zip utility");
    if (problem.empty())
        problem = PieceProblem("extraction folder", target + "*.*", true, "zip utility");
    if (!problem.empty()) {
        const std::string reason = problem + " No backup was deleted.";
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }

    // Versions that a newer entry of another kind passed over are kept too.
    std::vector<std::string> newestFirst;
    for (int i = range_.endIndex; i >= range_.startIndex; --i) {
        const std::string& name = request_.archiveNames[static_cast<std::size_t>(i)];
        if (ArchiveDate(name))
            newestFirst.push_back(ArchivePath(name));
    }
    std::string workFolder = extractionFolder_ + "_shadowed";
    for (int n = 2; PathExists(workFolder); ++n)
        workFolder = extractionFolder_ + "_shadowed_" + std::to_string(n);
    const Result<std::vector<std::string>> shadowed =
        KeepShadowedVersions(installation_, newestFirst, extractionFolder_, workFolder,
                             ProgramListFilePath(installation_, ListingFileName),
                             ProgramListFilePath(installation_, ExtractListFileName));
    if (!shadowed) {
        const std::string reason = "The consolidated backup " + archiveName +
                                   " could not be made: " + shadowed.reason() +
                                   ". No backup was deleted.";
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }

    const std::vector<std::string> extracted = FilesUnder(extractionFolder_);
    const bool archiveExisted = PathExists(archive);
    const std::string goneList = WriteGoneList();
    const ToolOutcome zipRun =
        RunZipTool(goneList.empty() ? ConsolidateCommandLine(shortZip, archive, target)
                                    : ConsolidateCommandLine(shortZip, archive, target, goneList));
    if (!goneList.empty())
        DeleteFileQuietly(goneList);
    const Result<void> zipped = UtilityResult(zipRun);
    // A zip utility that wrote the archive (all of it, or without some
    // files), or whose end is unknown, may have changed one that was there.
    // (Exit codes 2 and above: nothing was written; -1: the end is unknown.)
    const bool mayHaveRewritten = archiveExisted && zipRun.started && zipRun.exitCode < 2;
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    std::string failure = zipped.reason();
    if (zipped && !PathExists(archive))
        failure = "the zip utility made no archive";
    if (failure.empty()) {
        progress_.SetStatusText("Checking " + archiveName);
        failure = CheckArchiveHolds(installation_, archive, extracted,
                                    ProgramListFilePath(installation_, ListingFileName))
                      .reason();
    }
    if (!failure.empty()) {
        // An archive that failed its check is never left to be taken for a
        // backup of the range; one that was there before the run stays.
        if (!archiveExisted && PathExists(archive))
            platform::DeleteFile(archive);
        onlyCopy_ = mayHaveRewritten;
        const std::string reason = "The consolidated backup " + archiveName +
                                   " could not be made: " + failure + ". No backup was deleted.";
        Tell(reason, NoticeKind::Critical);
        return FailureEnd(reason);
    }

    if (!request_.deleteReplaced)
        return ExtractOutcome::Ended(RunStatus::Done);
    progress_.SetStatusText("Deleting files");
    progress_.SetProgressMaximum(range_.endIndex);
    progress_.SetProgressMinimum(range_.startIndex);
    std::vector<std::string> kept;
    std::vector<std::string> deleted;
    for (int i = range_.startIndex; i <= range_.endIndex; ++i) {
        const std::string& name = request_.archiveNames[static_cast<std::size_t>(i)];
        const std::string path = ArchivePath(name);
        if (ArchiveDate(name) && !SameText(path, archive)) {
            if (!platform::DeleteFile(path) && PathExists(path))
                kept.push_back(name);
            else
                deleted.push_back(name);
        }
        progress_.SetProgressValue(i);
    }
    // A job's copy on other storage loses them too, once the consolidated
    // archive is there and checked.
    (void)RecordReplacedArchives(request_.source, deleted);
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    if (kept.empty())
        return ExtractOutcome::Ended(RunStatus::Done);
    std::string reason = "The consolidated backup " + archiveName +
                         " was made, but these backups it replaces could not be deleted:";
    for (const std::string& name : kept)
        reason += "\r\n" + name;
    return ExtractOutcome::Ended(RunStatus::Partial, reason);
}

std::string Run::WriteGoneList() const {
    std::vector<std::string> names;
    for (int i = range_.startIndex; i <= range_.endIndex; ++i) {
        const std::string& name = request_.archiveNames[static_cast<std::size_t>(i)];
        if (ArchiveDate(name))
            names.push_back(name);
    }
    // An unzip utility that writes no point records gives no deletions: the
    // archive is then made as it always was, without them.
    std::string reason;
    const auto gone = PeriodGoneNames(installation_, request_.source, names, reason);
    if (!gone)
        return {};
    std::string path = ProgramListFilePath(installation_, GoneListFileName);
    if (path.empty() || !PieceProblem("list of deleted files", path, true, "zip utility").empty() ||
        !platform::ReplaceWithNewFile(path, JoinedLines(*gone)))
        return {};
    return path;
}

ExtractOutcome Run::FailureEnd(std::string reason) {
    progress_.SetStatusText("Could not complete last action");
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    return ExtractOutcome::Ended(RunStatus::Failed, std::move(reason));
}

ExtractOutcome Run::SuccessEnd(ExtractOutcome outcome) {
    if (outcome.status == RunStatus::Failed)
        return outcome;
    progress_.SetStatusText("Done");
    if (outcome.status == RunStatus::Partial)
        Tell(outcome.reason, NoticeKind::Exclamation);
    Tell("Done");
    if (request_.action != ExtractAction::Consolidate)
        conversation_.OpenFolder(extractionFolder_);
    return outcome;
}

} // namespace

ExtractOutcome RunRestore(const Installation& installation, const RestoreRequest& request,
                          ProgressDisplay& progress, RestoreConversation& conversation,
                          FilePicker& picker) {
    return Run(installation, request, progress, conversation, picker).Execute();
}

} // namespace rk::restore
