#include "restore/run/point_restore.h"

#include "core/file_checks.h"
#include "core/text.h"
#include "engine/job_archives.h"
#include "engine/job_passwords.h"
#include "engine/job_points.h"
#include "engine/temporary_folders.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "engine/utility_failure.h"
#include "platform/ascii_text.h"
#include "platform/file_system.h"

#include <map>
#include <set>

namespace rk::restore {

namespace {

PointRestoreResult Ended(RunStatus status, std::string reason,
                         std::vector<std::string> utilityLines = {}) {
    PointRestoreResult result;
    result.status = status;
    result.reason = std::move(reason);
    result.utilityLines = std::move(utilityLines);
    return result;
}

// A private folder for the run's list file, removed when the run ends.
class ListFolder {
  public:
    ListFolder() : path_(GetTempFolder("rklist")) {
        if (!path_.empty() && !platform::CreatePrivateFolder(path_))
            path_.clear();
    }
    ~ListFolder() {
        if (!path_.empty()) {
            platform::DeleteFile(ListPath());
            platform::RemoveFolder(path_);
        }
    }
    ListFolder(const ListFolder&) = delete;
    ListFolder& operator=(const ListFolder&) = delete;
    bool made() const { return !path_.empty(); }
    std::string ListPath() const { return AddBackslash(path_) + "restore.tmp"; }

  private:
    std::string path_;
};

} // namespace

std::vector<std::string> ArchivePathsOf(const std::string& folder, const PointsInTime& points,
                                        const std::vector<PresentFile>& files) {
    std::set<int> held;
    for (const auto& file : files)
        held.insert(file.version.point);
    std::vector<std::string> paths;
    paths.reserve(held.size());
    for (const int point : held)
        paths.push_back(AddBackslash(folder) +
                        points.Points()[static_cast<std::size_t>(point)].archiveName);
    return paths;
}

PointRestoreResult RestoreVersions(const Installation& installation, const std::string& folder,
                                   const PointsInTime& points,
                                   const std::vector<PresentFile>& files,
                                   const std::string& destination) {
    // Encrypted archives are read with the job's passwords.
    Result<ToolPasswords> passwords =
        PasswordsForArchives(folder, ArchivePathsOf(folder, points, files), false);
    if (!passwords)
        return Ended(RunStatus::Failed, passwords.reason());
    const ToolPasswordScope passwordScope(std::move(*passwords));
    return ExtractVersions(installation, folder, points, files, destination);
}

PointRestoreResult ExtractVersions(const Installation& installation, const std::string& folder,
                                   const PointsInTime& points,
                                   const std::vector<PresentFile>& files,
                                   const std::string& destination) {
    // The names each archive gives, newest archive first.
    std::map<int, std::string, std::greater<>> lists;
    for (const auto& file : files)
        lists[file.version.point] += points.FileName(file.file) + "\r\n";

    const std::string target = AddBackslash(destination);
    if (!FolderExists(destination) && !platform::CreateFolder(destination))
        return Ended(RunStatus::Refused,
                     "The folder \"" + destination + "\" does not exist and could not be created.");
    ListFolder listFolder;
    if (!listFolder.made())
        return Ended(RunStatus::Refused,
                     "No private temporary folder for the list of files: " + TempFolderProblem());
    const std::string listPath = listFolder.ListPath();
    for (const auto& [what, piece] :
         {std::pair<std::string_view, std::string>{"unzip utility", installation.unzipUtility},
          {"destination", target},
          {"list of files", listPath}})
        if (auto refusal = PieceRefusalSentence(what, piece, true, "unzip utility"))
            return Ended(RunStatus::Refused, *refusal);

    PointRestoreResult result = Ended(RunStatus::Done, {});
    result.details.filesAsked = files.size();
    std::vector<std::string> lines;
    for (const auto& [point, names] : lists) {
        const std::string& archiveName =
            points.Points()[static_cast<std::size_t>(point)].archiveName;
        const std::string archive = AddBackslash(folder) + archiveName;
        if (auto refusal = PieceRefusalSentence("backup", archive, true, "unzip utility"))
            return Ended(RunStatus::Refused, *refusal);
        if (!platform::ReplaceWithNewFile(listPath, names))
            return Ended(RunStatus::Failed,
                         "Could not write the list of files \"" + listPath + "\".");
        const ToolOutcome run =
            RunTool(ExtractListedCommandLine(installation.unzipUtility, archive, listPath, target));
        if (run.stopped)
            return Ended(RunStatus::Cancelled, "The restore was cancelled.");
        if (run.started && run.exitCode == 1) {
            // Written, but some files not: each is named on its error output.
            result.details.incompleteArchives.push_back(archiveName);
            const Result<void> said = UtilityResult(run);
            lines.insert(lines.end(), said.utilityLines().begin(), said.utilityLines().end());
            continue;
        }
        if (const Result<void> extracted = UtilityResult(run); !extracted)
            return Ended(RunStatus::Failed,
                         "Could not extract the backup " + archiveName + ": " + extracted.reason(),
                         extracted.utilityLines());
    }
    MarkIncomplete(result, std::move(lines));
    return result;
}

PointRestoreResult RestorePointInTime(const Installation& installation, const std::string& folder,
                                      const std::string& archiveName,
                                      const std::string& destination) {
    const std::vector<std::string> names = JobArchiveNames(folder);
    std::size_t index = 0;
    while (index < names.size() && !platform::SameIgnoringAsciiCase(names[index], archiveName))
        ++index;
    if (index == names.size())
        return Ended(RunStatus::Refused,
                     "There is no backup " + archiveName + " in \"" + folder + "\".");
    const JobPointsOutcome loaded = LoadJobPoints(installation, folder, index + 1);
    if (!loaded.complete)
        return Ended(RunStatus::Failed,
                     "Could not read the backup " + loaded.failedArchive + ": " + loaded.reason);
    const int point = static_cast<int>(index);
    return RestoreVersions(installation, folder, loaded.points, loaded.points.TreeAt(point),
                           destination);
}

} // namespace rk::restore
