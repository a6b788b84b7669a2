// The restore run of frmExtract: find the archives of the date range, extract
// them newest first into one folder (all files, or the files picked in
// "Select Files"), and for Consolidate zip that folder into one new archive,
// check it, and only then delete the archives it replaces.

#include "core/file_checks.h"
#include "core/program_values.h"
#include "core/text.h"
#include "engine/archive_listing.h"
#include "engine/consolidation_check.h"
#include "engine/picker/frm_view_files.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/file_system.h"
#include "restore/command_dates.h"
#include "restore/frm_extract.h"
#include "ui/qt_text.h"
#include "ui/seam.h"
#include "ui/shell_open.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace rk::restore {

// What one run reads when it starts, and what it derives.
struct frmExtract::Run {
    bool silent = false;
    std::string source;
    std::string destination;
    QDate startDate;
    QDate endDate;
    ExtractAction action = ExtractAction::ExtractPicked;
    bool deleteReplaced = false;
    std::vector<std::string> names;
    ArchiveRange range;
    std::unique_ptr<frmViewFiles> picker;
    std::string listPath;
    long long selectedCount = 0;
    std::string extractionFolder;

    const std::string& Newest() const { return names[static_cast<std::size_t>(range.endIndex)]; }
    std::string ArchivePath(const std::string& name) const { return AddBackslash(source) + name; }
    void Tell(std::string_view text, ui::Icon icon = ui::Icon::None) const {
        if (!silent)
            ui::MsgBox(text, ui::Buttons::OK, icon);
    }
};

namespace {

// Clears the in-progress state however the run ends.
class RunningGuard {
  public:
    RunningGuard(bool& running, QPushButton& ok) : running_(running), ok_(ok) {
        running_ = true;
        ok_.setEnabled(false);
    }
    ~RunningGuard() {
        running_ = false;
        ok_.setEnabled(true);
    }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

  private:
    bool& running_;
    QPushButton& ok_;
};

// Why a piece cannot go into a utility's command line, or empty text.
std::string PieceProblem(std::string_view what, std::string_view piece, bool quoted,
                         std::string_view utility) {
    const auto problem = CommandPieceProblem(piece, quoted);
    if (!problem)
        return {};
    return "The path of the " + std::string(what) + " \"" + std::string(piece) +
           "\" cannot be passed to the " + std::string(utility) + ": " + *problem + ".";
}

std::string JoinedLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace

ExtractOutcome frmExtract::AutoExtract(std::int16_t iMode, const std::string& sSource,
                                       const QDate& dtStartDate, const QDate& dtEndDate) {
    if (iMode < 0 || iMode > 2)
        return {ExtractEnd::Refused, "There is no restore action " + std::to_string(iMode) + "."};
    txtSource->setText(ui::ToQString(sSource));
    UpdateFileList();
    axStartDate->setDate(dtStartDate);
    axEndDate->setDate(dtEndDate);
    optAction[static_cast<std::size_t>(iMode)]->setChecked(true);
    return StartExtract(true);
}

ExtractOutcome frmExtract::StartExtract(bool bSilent) {
    if (running_)
        return {ExtractEnd::Refused, "A restore run is in progress."};
    RunningGuard guard(running_, *cmdOK);
    return Execute(bSilent);
}

ExtractOutcome frmExtract::Execute(bool bSilent) {
    Run run;
    run.silent = bSilent;
    run.source = ui::FromQString(txtSource->text());
    run.destination = ui::FromQString(txtDestination->text());
    if (run.destination.empty()) {
        run.Tell("Invalid destination");
        return {ExtractEnd::Refused, "Invalid destination"};
    }
    run.startDate = axStartDate->date();
    run.endDate = axEndDate->date();
    run.action = Action();
    run.deleteReplaced = chkDelCon->isChecked();

    UpdateFileList();
    run.names = ArchiveNames();
    progress_.SetStatusText("Preparing to extract");
    run.range = FindRange(run.names, DayOf(run.startDate), DayOf(run.endDate));
    if (run.range.Empty()) {
        run.Tell("Nothing to do");
        return FailureEnd(run, "Nothing to do");
    }

    if (run.action == ExtractAction::ExtractPicked) {
        if (ExtractOutcome picked = PickFiles(run); picked.end != ExtractEnd::Success)
            return picked;
    }

    // Consolidate zips everything in its extraction folder, so it works in a
    // folder of its own: never one where an earlier run left files that the
    // user may have changed since.
    run.extractionFolder = ExtractionFolder(run.destination, run.Newest());
    const std::string usualFolder = run.extractionFolder;
    if (run.action == ExtractAction::Consolidate)
        for (int n = 2; PathExists(run.extractionFolder); ++n)
            run.extractionFolder = usualFolder + "_" + std::to_string(n);

    if (!run.silent) {
        std::string question =
            ConfirmationText(run.source, run.destination, ShortDateText(run.startDate),
                             ShortDateText(run.endDate), ActionWord(run.action, run.selectedCount));
        if (run.extractionFolder != usualFolder)
            question.insert(question.rfind("\r\n\r\n"),
                            "\r\nExtraction folder: " + run.extractionFolder);
        if (ui::MsgBox(question, ui::Buttons::OKCancel) != ui::Answer::OK)
            return FailureEnd(run, "The restore was not confirmed.");
    }

    if (ExtractOutcome extracted = ExtractRange(run); extracted.end != ExtractEnd::Success)
        return extracted;
    if (run.action == ExtractAction::Consolidate)
        return SuccessEnd(run, Consolidate(run));
    return SuccessEnd(run, {ExtractEnd::Success, {}});
}

ExtractOutcome frmExtract::PickFiles(Run& run) {
    run.picker = std::make_unique<frmViewFiles>(this);
    const std::string info =
        PickerInfoText(run.destination, ShortDateText(run.startDate), ShortDateText(run.endDate));
    run.picker->txtInfo->setPlainText(ui::ToQString(info).replace("\r\n", "\n"));
    const GatherOutcome gathered =
        run.picker->DataRefresh(run.source, RangeArchiveNames(run.names, run.range), progress_);
    if (!gathered.complete) {
        const std::string reason = "Could not list the files of the backup " +
                                   gathered.failedArchive + ": " + gathered.reason;
        run.Tell(reason, ui::Icon::Critical);
        return FailureEnd(run, reason);
    }
    ui::Current().ShowModal(*run.picker);
    if (!run.picker->STATUS)
        return FailureEnd(run, "No files were chosen.");

    const std::vector<std::string> selected = run.picker->SelectedNames();
    run.listPath = ProgramListFilePath(ExtractListFileName);
    if (!platform::WriteFileAtomically(run.listPath, JoinedLines(selected))) {
        const std::string reason =
            "Could not write the list of selected files \"" + run.listPath + "\".";
        run.Tell(reason, ui::Icon::Critical);
        return FailureEnd(run, reason);
    }
    run.selectedCount = static_cast<long long>(selected.size());
    if (selected.empty()) {
        run.Tell("No files selected");
        return FailureEnd(run, "No files selected");
    }
    run.picker.reset();
    return {ExtractEnd::Success, {}};
}

ExtractOutcome frmExtract::ExtractRange(Run& run) {
    platform::CreateFolder(run.destination);
    platform::CreateFolder(run.extractionFolder);
    if (!FolderExists(run.extractionFolder)) {
        const std::string reason =
            "The folder \"" + run.extractionFolder + "\" could not be created.";
        run.Tell(reason, ui::Icon::Critical);
        return FailureEnd(run, reason);
    }
    const std::string target = AddBackslash(run.extractionFolder);
    const bool listed = run.action == ExtractAction::ExtractPicked;

    std::string problem = PieceProblem("unzip utility", UnzipUtilPath, true, "unzip utility");
    if (problem.empty())
        problem = PieceProblem("extraction folder", target, true, "unzip utility");
    if (problem.empty() && listed)
        problem = PieceProblem("list of selected files", run.listPath, true, "unzip utility");
    for (auto i = run.range.startIndex; problem.empty() && i <= run.range.endIndex; ++i)
        problem = PieceProblem("backup", run.ArchivePath(run.names[static_cast<std::size_t>(i)]),
                               true, "unzip utility");
    if (!problem.empty()) {
        run.Tell(problem, ui::Icon::Critical);
        return FailureEnd(run, problem);
    }

    progress_.SetProgressMaximum(run.range.endIndex + 1);
    progress_.SetProgressMinimum(run.range.startIndex);
    int processed = 0;
    for (int i = run.range.endIndex; i >= run.range.startIndex; --i) {
        const std::string& name = run.names[static_cast<std::size_t>(i)];
        ++processed;
        // A name without an archive date is passed over, inside the range too.
        if (!ArchiveDate(name)) {
            progress_.SetProgressValue(run.range.startIndex + processed);
            continue;
        }
        progress_.SetStatusText("Extracting " + name);
        const std::string archive = run.ArchivePath(name);
        const ToolOutcome outcome =
            RunTool(listed ? ExtractListedCommandLine(UnzipUtilPath, archive, run.listPath, target)
                           : ExtractCommandLine(UnzipUtilPath, archive, target));
        progress_.SetProgressValue(run.range.startIndex + processed);
        QCoreApplication::processEvents();
        if (!UtilitySucceeded(outcome)) {
            const std::string reason =
                "Could not extract the backup " + name + ": " + UtilityFailureReason(outcome);
            run.Tell(reason, ui::Icon::Critical);
            return FailureEnd(run, reason);
        }
    }
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    return {ExtractEnd::Success, {}};
}

ExtractOutcome frmExtract::Consolidate(Run& run) {
    progress_.SetProgressMaximum(100);
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(90);
    progress_.SetStatusText("Creating backup...");
    const std::string archive = ConsolidatedArchivePath(run.source, run.Newest());
    const std::string archiveName = GetPathPart(archive, PathPartFileName);
    const std::string target = AddBackslash(run.extractionFolder);
    const std::string shortZip = GetShortPath(ZipUtilPath);
    std::string problem = PieceProblem("zip utility", shortZip, false, "zip utility");
    if (problem.empty())
        problem = PieceProblem("consolidated backup", archive, true, "zip utility");
    if (problem.empty())
        problem = PieceProblem("extraction folder", target + "*.*", true, "zip utility");
    if (!problem.empty()) {
        const std::string reason = problem + " No backup was deleted.";
        run.Tell(reason, ui::Icon::Critical);
        return FailureEnd(run, reason);
    }

    const std::vector<std::string> extracted = FilesUnder(run.extractionFolder);
    const bool archiveExisted = PathExists(archive);
    const ToolOutcome zipped = RunTool(ConsolidateCommandLine(shortZip, archive, target));
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    std::string failure;
    if (!UtilitySucceeded(zipped))
        failure = UtilityFailureReason(zipped);
    else if (!PathExists(archive))
        failure = "the zip utility made no archive";
    if (failure.empty()) {
        progress_.SetStatusText("Checking " + archiveName);
        const ArchiveCheck check =
            CheckArchiveHolds(archive, extracted, ProgramListFilePath(ListingFileName));
        if (!check.holdsEverything)
            failure = check.reason;
    }
    if (!failure.empty()) {
        // An archive that failed its check is never left to be taken for a
        // backup of the range; one that was there before the run stays.
        if (!archiveExisted && PathExists(archive))
            platform::DeleteFile(archive);
        const std::string reason = "The consolidated backup " + archiveName +
                                   " could not be made: " + failure + ". No backup was deleted.";
        run.Tell(reason, ui::Icon::Critical);
        return FailureEnd(run, reason);
    }

    if (!run.deleteReplaced)
        return {ExtractEnd::Success, {}};
    progress_.SetStatusText("Deleting files");
    progress_.SetProgressMaximum(run.range.endIndex);
    progress_.SetProgressMinimum(run.range.startIndex);
    std::vector<std::string> kept;
    for (int i = run.range.startIndex; i <= run.range.endIndex; ++i) {
        const std::string& name = run.names[static_cast<std::size_t>(i)];
        const std::string path = run.ArchivePath(name);
        if (ArchiveDate(name) && !SameText(path, archive) && !platform::DeleteFile(path) &&
            PathExists(path))
            kept.push_back(name);
        progress_.SetProgressValue(i);
    }
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    if (kept.empty())
        return {ExtractEnd::Success, {}};
    std::string reason = "The consolidated backup " + archiveName +
                         " was made, but these backups it replaces could not be deleted:";
    for (const std::string& name : kept)
        reason += "\r\n" + name;
    return {ExtractEnd::Incomplete, reason};
}

ExtractOutcome frmExtract::FailureEnd(Run& run, std::string reason) {
    run.picker.reset();
    progress_.SetStatusText("Could not complete last action");
    progress_.SetProgressMinimum(0);
    progress_.SetProgressValue(0);
    return {ExtractEnd::Failure, std::move(reason)};
}

ExtractOutcome frmExtract::SuccessEnd(Run& run, ExtractOutcome outcome) {
    if (outcome.end == ExtractEnd::Failure)
        return outcome;
    progress_.SetStatusText("Done");
    if (outcome.end == ExtractEnd::Incomplete)
        run.Tell(outcome.reason, ui::Icon::Exclamation);
    run.Tell("Done");
    UpdateFileList();
    cmdCancel->setText("Close");
    if (run.action != ExtractAction::Consolidate)
        ui::ShellOpen(run.extractionFolder);
    return outcome;
}

} // namespace rk::restore
