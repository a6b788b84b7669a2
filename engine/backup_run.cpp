#include "engine/backup_run.h"

#include "core/file_checks.h"
#include "core/job_files.h"
#include "core/settings.h"
#include "core/text.h"
#include "engine/extract_plan.h"
#include "engine/job.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "engine/last_backup.h"
#include "engine/temporary_folders.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_lines.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "platform/result.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace rk {

namespace {

BackupOutcome Failure(std::string archiveName, std::string reason, std::string ownReason = {}) {
    BackupOutcome failed;
    failed.details.archiveName = std::move(archiveName);
    failed.details.ownReason = ownReason.empty() ? reason : std::move(ownReason);
    failed.reason = std::move(reason);
    return failed;
}

BackupOutcome Made(RunStatus status, std::string archiveName, std::string reason = {},
                   std::string ownReason = {}) {
    BackupOutcome made;
    made.status = status;
    made.details.archiveName = std::move(archiveName);
    made.reason = std::move(reason);
    made.details.ownReason = std::move(ownReason);
    return made;
}

// The lines, one under the other.
std::string LinesText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

// Why an archive lacks files: the names the zip utility gave (the first
// ones, and how many more), or, when it named none in a form it is known
// to write, its last lines.
std::string LeftOutText(const LeftOutFiles& leftOut, const std::string& errorTail) {
    if (leftOut.Named().empty())
        return LinesText(MeaningfulLines(errorTail));
    std::string text = LinesText(leftOut.Told());
    const long long more = leftOut.Count() - static_cast<long long>(leftOut.Named().size());
    if (more > 0)
        text += "\nand " + std::to_string(more) + " more (" + std::to_string(leftOut.Count()) +
                " in all)";
    return text;
}

// The exclusion file may be missing (the utility then excludes nothing): its
// folder still has a space-free form, and the name is appended to that.
std::string ShortExclusionPath(const std::string& jobFolder) {
    std::string shortPath = GetShortPath(ExclusionFilePath(jobFolder));
    if (shortPath.find(' ') != std::string::npos)
        shortPath = GetShortPath(jobFolder) + std::string(ExclusionFileName);
    return shortPath;
}

// Removes the source list file however the run ends.
struct ListFileGuard {
    std::string path;
    ~ListFileGuard() {
        if (!path.empty())
            platform::DeleteFile(path);
    }
};

// "rk" + one to four hexadecimal digits + ".TMP": a source list file.
bool IsListFileName(std::string_view name) {
    if (name.size() < 7 || name.size() > 10 || name.substr(0, 2) != "rk" ||
        name.substr(name.size() - 4) != ".TMP")
        return false;
    for (const char c : name.substr(2, name.size() - 6))
        if (!std::isxdigit(static_cast<unsigned char>(c)) ||
            std::islower(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The suffix a file written through a temporary name got while it was being
// written: ".rk-" and six letters or digits.
bool HasWritingSuffix(std::string_view name, std::string_view stem) {
    constexpr std::string_view kSuffix = ".rk-";
    if (name.size() != stem.size() + kSuffix.size() + 6 || name.substr(0, stem.size()) != stem ||
        name.substr(stem.size(), kSuffix.size()) != kSuffix)
        return false;
    for (const char c : name.substr(stem.size() + kSuffix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// A name that only a run of the program gives a file in the folder of its
// list files: a source list file, or the file a source list file or the
// list of chosen names was written into before it got its name (no run
// writes them that way any longer, so these are all leftovers).
bool IsLeftoverName(std::string_view name) {
    if (IsListFileName(name))
        return true;
    if (const std::size_t dot = name.find(".TMP.rk-"); dot != std::string_view::npos)
        return IsListFileName(name.substr(0, dot + 4)) &&
               HasWritingSuffix(name, name.substr(0, dot + 4));
    return HasWritingSuffix(name, ExtractListFileName) || HasWritingSuffix(name, ListingFileName);
}

// When no backup run holds the folder's lock, the list files in it are
// leftovers of runs that were killed, and so are the temporary files they
// were written through. Folders are never taken for them.
void RemoveListFilesOfEndedRuns(const std::string& folder) {
    const platform::FolderLock alone = platform::FolderLock::ExclusiveIfFree(folder);
    if (!alone.held())
        return;
    for (const platform::FoundEntry& entry : platform::Enumerate(folder + "*", 0))
        if (IsLeftoverName(entry.name))
            platform::DeleteFile(folder + entry.name);
}

} // namespace

std::string BackupArchiveName(const std::tm& t) {
    char text[64];
    std::snprintf(text, sizeof text, "rk_%04d_%02d_%02d_%02d_%02d_%02d.zip", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::string SourceListLine(std::string_view folderValue) {
    return AddBackslash(folderValue) + "*.*";
}

namespace {

// The lines of the job's source list file, or why it has none to give.
[[nodiscard]] Result<std::string> SourceListText(const Job& job) {
    const std::string& jobName = job.name();
    using Lines = Result<std::string>;
    const std::string noFolders = "The backup job \"" + jobName +
                                  "\" has no source folders. Choose its source folders first.";
    const long long count = ListedFolderCount(job.declaredFolderCount());
    if (count <= 0)
        return Lines::Failure(noFolders);
    if (count > kMostSourceFolders)
        return Lines::Failure("The backup job \"" + jobName + "\" gives " + std::to_string(count) +
                              " source folders; at most 32767 are possible.");
    // An empty or absent folder key names no folder: it must not become the
    // line "\*.*", which is the root of the drive.
    std::string lines;
    for (long long n = 1; n <= count; ++n) {
        const std::string folder = job.sourceFolder(n);
        if (!Trim(folder).empty())
            lines += SourceListLine(folder) + "\r\n";
    }
    if (lines.empty())
        return Lines::Failure(noFolders);
    return lines;
}

// The run itself, named from the time it started.
BackupOutcome MakeBackup(const Installation& installation, const Job& job, BackupMode mode,
                         const std::tm& local) {
    const std::string archiveName = BackupArchiveName(local);
    const std::string jobFolder = job.folderPath();
    const std::string& programFolder = installation.programFolder;
    const std::string archivePath = jobFolder + archiveName;
    const std::string shortExclusion = ShortExclusionPath(jobFolder);

    const Result<std::string> lines = SourceListText(job);
    if (!lines)
        return Failure(archiveName, lines.reason());
    // A job that encrypts hands the zip utility its newest password; without
    // one no archive is made, never a plain one in its place.
    Result<ToolPasswords> passwords =
        PasswordsForRun(job.folder(), ReadJobEncryption(job).encrypt, false);
    if (!passwords)
        return Failure(archiveName,
                       "The backup " + archiveName + " could not be made: " + passwords.reason());
    const ToolPasswordScope passwordScope(std::move(*passwords));

    // The list file goes into the program folder; when that cannot be
    // written (an installation owned by someone else), into the temporary
    // folder instead. The folder's lock is held while it exists, and list
    // files of runs that were killed are removed first.
    RemoveListFilesOfEndedRuns(programFolder);
    platform::FolderLock listLock = platform::FolderLock::Shared(programFolder);
    // Only where nobody else can swap the file for a link before it is
    // written.
    ListFileGuard listFile{platform::FolderOnlyUserWrites(programFolder)
                               ? MakeTempFileName("rk", programFolder)
                               : std::string()};
    if (listFile.path.empty()) {
        const std::string temporary = GetTempFolder();
        if (!temporary.empty()) {
            RemoveListFilesOfEndedRuns(AddBackslash(temporary));
            listLock = platform::FolderLock::Shared(AddBackslash(temporary));
        }
        listFile.path = MakeTempFileName("rk");
    }
    // The file is made anew under its name, never written through a link
    // put in its place, and no temporary name of its own is left behind.
    if (listFile.path.empty() || !platform::ReplaceWithNewFile(listFile.path, *lines)) {
        const std::string problem = TempFolderProblem();
        return Failure(archiveName, "Could not write the list of source folders in \"" +
                                        programFolder + "\" or in the temporary folder." +
                                        (problem.empty() ? "" : " " + problem));
    }

    const std::string shortZip = GetShortPath(installation.zipUtility);
    const std::string shortList = GetShortPath(listFile.path);
    const struct {
        std::string_view what;
        std::string_view piece;
        bool quoted;
    } pieces[] = {{"zip utility", shortZip, false},
                  {"exclusion file", shortExclusion, false},
                  {"archive", archivePath, true},
                  {"source list file", shortList, false}};
    for (const auto& piece : pieces) {
        if (auto refusal =
                PieceRefusalSentence(piece.what, piece.piece, piece.quoted, "zip utility"))
            return Failure(archiveName, std::move(*refusal));
    }
    const bool archiveExistedBefore = PathExists(archivePath);
    // Every line is read, not only the last ones: a run may leave out
    // thousands of files, and the record counts them all.
    LeftOutFiles leftOut(kMostNamedLeftOut);
    const ToolOutcome tool =
        RunZipTool(BackupCommandLine(mode, shortZip, shortExclusion, archivePath, shortList),
                   [&leftOut](std::string_view line) { leftOut.Take(line); });
    platform::DeleteFile(listFile.path);
    listFile.path.clear();

    if (!tool.started)
        return Failure(archiveName, "Could not start the zip utility \"" + installation.zipUtility +
                                        "\": " + tool.startError);
    if (!tool.endError.empty())
        return Failure(archiveName,
                       "The backup " + archiveName + " could not be made: " + tool.endError);
    const bool archiveExists = PathExists(archivePath);
    if ((tool.exitCode == 0 || tool.exitCode == 1) && archiveExists) {
        if (mode == BackupMode::Root)
            job.recordRootBackup(archiveName);
        if (tool.exitCode == 0)
            return Made(RunStatus::Done, archiveName);
        BackupOutcome partial =
            Made(RunStatus::Partial, archiveName,
                 "The backup " + archiveName +
                     " was made, but some files could not be read and were left out:\n" +
                     LeftOutText(leftOut, tool.stderrTail),
                 "The backup " + archiveName +
                     " was made, but some files could not be read and were left out (the zip "
                     "utility named each).");
        partial.utilityLines = MeaningfulLines(tool.stderrTail);
        partial.details.leftOut = leftOut.Named();
        partial.details.leftOutCount = leftOut.Count();
        return partial;
    }
    if (tool.stopped) {
        // A zip utility that left part of a new archive behind when it was
        // stopped: no archive stays under the run's name.
        if (archiveExists && !archiveExistedBefore)
            platform::DeleteFile(archivePath);
        BackupOutcome cancelled =
            Failure(archiveName, "The backup " + archiveName + " was cancelled.");
        cancelled.status = RunStatus::Cancelled;
        return cancelled;
    }
    // The zip utility's last lines name the cause (the missing source
    // folder, the archive that could not be written).
    const std::vector<std::string> cause = MeaningfulLines(tool.stderrTail);
    if (cause.empty())
        return Failure(archiveName,
                       "The backup " + archiveName +
                           " could not be made: the zip utility ended with exit code " +
                           std::to_string(tool.exitCode) +
                           (archiveExists ? "" : " and made no archive"));
    BackupOutcome failed = Failure(
        archiveName, "The backup " + archiveName + " could not be made: " + LinesText(cause),
        "The backup " + archiveName + " could not be made (the zip utility said why, above).");
    failed.utilityLines = cause;
    return failed;
}

} // namespace

BackupOutcome RunBackup(const Installation& installation, const Job& job, BackupMode mode) {
    const std::time_t started = platform::Now();
    std::tm local{};
    localtime_r(&started, &local);
    BackupOutcome outcome = MakeBackup(installation, job, mode, local);
    const std::time_t ended = platform::Now();
    std::tm endedLocal{};
    localtime_r(&ended, &endedLocal);
    job.recordLastBackup(mode, outcome, endedLocal);
    return outcome;
}

BackupOutcome RunBackup(BackupMode mode, const std::string& jobName) {
    const Installation installation = CurrentInstallation();
    return RunBackup(installation, Job(installation, jobName), mode);
}

} // namespace rk
