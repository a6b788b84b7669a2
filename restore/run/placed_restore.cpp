#include "restore/run/placed_restore.h"

#include "core/file_checks.h"
#include "core/listed_names.h"
#include "core/text.h"
#include "engine/job_passwords.h"
#include "engine/tool_runner.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "restore/run/point_restore.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

namespace rk::restore {

namespace {

namespace fs = std::filesystem;

// The run's own folders inside the destination start with this.
constexpr std::string_view kRunFolderPrefix = ".rk-restore-";

PlacedRestoreResult Ended(RunStatus status, std::string reason,
                          std::vector<std::string> utilityLines = {}) {
    PlacedRestoreResult result;
    result.status = status;
    result.reason = std::move(reason);
    result.utilityLines = std::move(utilityLines);
    return result;
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() != fs::file_type::not_found && !error;
}

// A new private folder `.rk-restore-WHAT-N` inside the destination, as
// Windows text and host path; nothing when none could be made.
std::optional<std::pair<std::string, fs::path>> RunFolder(const std::string& destination,
                                                          const fs::path& hostDestination,
                                                          const std::string& what) {
    for (int n = 1; n < 1000; ++n) {
        const std::string name = std::string(kRunFolderPrefix) + what + "-" + std::to_string(n);
        if (Exists(hostDestination / name))
            continue;
        const std::string windows = AddBackslash(destination) + name;
        if (platform::CreatePrivateFolder(windows))
            return std::pair{windows, hostDestination / name};
    }
    return std::nullopt;
}

// The files kept aside while the restore runs, put back unless it ends well.
class AsideFiles {
  public:
    void Kept(fs::path original, fs::path aside) {
        kept_.emplace_back(std::move(original), std::move(aside));
    }
    // Puts every file back over what was restored in its place; the names
    // that could not be put back.
    std::vector<std::string> PutBack() {
        std::vector<std::string> failed;
        for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
            std::error_code error;
            fs::remove_all(it->first, error);
            fs::rename(it->second, it->first, error);
            if (error)
                failed.push_back(it->first.string());
        }
        kept_.clear();
        return failed;
    }

  private:
    std::vector<std::pair<fs::path, fs::path>> kept_;
};

// Puts one staged file in place by the choice.
class Placement {
  public:
    Placement(fs::path destination, fs::path aside, ExistingFiles choice,
              PlacedRestoreDetails& details, AsideFiles& asideFiles)
        : destination_(std::move(destination)), aside_(std::move(aside)), choice_(choice),
          details_(details), asideFiles_(asideFiles) {}

    // Empty when done; else why not.
    std::string Place(const fs::path& staged, const std::string& stored, const std::string& when) {
        const fs::path target = destination_ / fs::path(stored);
        std::error_code error;
        // A file where the restored one needs a folder: replaced, it is
        // kept aside like any other; otherwise the restored file is skipped.
        if (const std::optional<fs::path> blocking = BlockingFile(target); blocking) {
            if (choice_ != ExistingFiles::Replace) {
                ++details_.skipped;
                return {};
            }
            if (std::string problem = SetAside(*blocking); !problem.empty())
                return problem;
        }
        fs::create_directories(target.parent_path(), error);
        if (error)
            return "The folder \"" + target.parent_path().string() +
                   "\" could not be made: " + error.message() + ".";
        if (!Exists(target)) {
            fs::rename(staged, target, error);
            if (error)
                return Unplaced(target, error);
            ++details_.placed;
            return {};
        }
        switch (choice_) {
        case ExistingFiles::Skip:
            ++details_.skipped;
            return {};
        case ExistingFiles::KeepBoth: {
            fs::path beside = target.parent_path() / KeptBothName(target.filename().string(), when);
            for (int n = 2; Exists(beside); ++n)
                beside = target.parent_path() /
                         KeptBothName(target.filename().string(), when + " " + std::to_string(n));
            fs::rename(staged, beside, error);
            if (error)
                return Unplaced(beside, error);
            ++details_.keptBoth;
            return {};
        }
        case ExistingFiles::Replace:
            break;
        }
        if (std::string problem = SetAside(target); !problem.empty())
            return problem;
        fs::rename(staged, target, error);
        if (error)
            return Unplaced(target, error);
        ++details_.replaced;
        return {};
    }

  private:
    // The first folder on the way to `target` that is a file (or link) now.
    std::optional<fs::path> BlockingFile(const fs::path& target) const {
        const fs::path relative = target.parent_path().lexically_relative(destination_);
        fs::path at = destination_;
        for (const fs::path& part : relative) {
            at /= part;
            std::error_code error;
            const fs::file_status status = fs::symlink_status(at, error);
            if (error || status.type() == fs::file_type::not_found)
                return std::nullopt;
            if (status.type() != fs::file_type::directory)
                return at;
        }
        return std::nullopt;
    }

    // Moves what is at `path` into the folder kept aside, to be put back.
    std::string SetAside(const fs::path& path) {
        const fs::path kept = aside_ / path.lexically_relative(destination_);
        std::error_code error;
        fs::create_directories(kept.parent_path(), error);
        fs::rename(path, kept, error);
        if (error)
            return "The file \"" + path.string() + "\" could not be set aside: " + error.message() +
                   ".";
        asideFiles_.Kept(path, kept);
        return {};
    }

    fs::path destination_;
    fs::path aside_;
    ExistingFiles choice_;
    PlacedRestoreDetails& details_;
    AsideFiles& asideFiles_;

    static std::string Unplaced(const fs::path& target, const std::error_code& error) {
        return "The file \"" + target.string() + "\" could not be restored: " + error.message() +
               ".";
    }
};

} // namespace

std::string KeptBothName(const std::string& fileName, const std::string& when) {
    std::string date = when;
    std::replace(date.begin(), date.end(), ':', '-');
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return fileName + " (" + date + ")";
    return fileName.substr(0, dot) + " (" + date + ")" + fileName.substr(dot);
}

PlacedRestoreResult RestoreWithChoice(const Installation& installation, const std::string& folder,
                                      const PointsInTime& points,
                                      const std::vector<PresentFile>& files,
                                      const std::string& destination, ExistingFiles choice,
                                      const ArchiveProgress& progress) {
    if (!FolderExists(destination) && !platform::CreateFolder(destination))
        return Ended(RunStatus::Refused,
                     "The folder \"" + destination + "\" does not exist and could not be created.");
    const std::optional<std::string> host = platform::ToHostPath(destination);
    if (!host)
        return Ended(RunStatus::Refused, "The folder \"" + destination + "\" cannot be reached.");
    const fs::path hostDestination(*host);
    const auto staging = RunFolder(destination, hostDestination, "staging");
    const auto aside = RunFolder(destination, hostDestination, "replaced");
    const auto removeRunFolders = [&] {
        std::error_code error;
        if (staging)
            fs::remove_all(staging->second, error);
        if (aside)
            fs::remove_all(aside->second, error);
    };
    if (!staging || !aside) {
        removeRunFolders();
        return Ended(RunStatus::Refused,
                     "No private folder for the restore could be made in \"" + destination + "\".");
    }

    Result<ToolPasswords> passwords =
        PasswordsForArchives(folder, ArchivePathsOf(folder, points, files), false);
    if (!passwords) {
        removeRunFolders();
        return Ended(RunStatus::Failed, passwords.reason());
    }
    const ToolPasswordScope passwordScope(std::move(*passwords));

    std::map<int, std::vector<PresentFile>, std::greater<>> byArchive;
    for (const auto& file : files)
        byArchive[file.version.point].push_back(file);

    PlacedRestoreResult result = Ended(RunStatus::Done, {});
    AsideFiles asideFiles;
    Placement placement(hostDestination, aside->second, choice, result.details, asideFiles);
    const auto fail = [&](RunStatus status, std::string reason, std::vector<std::string> lines) {
        const std::vector<std::string> notBack = asideFiles.PutBack();
        PlacedRestoreResult failed = Ended(status, std::move(reason), std::move(lines));
        if (!notBack.empty()) {
            // What could not go back stays in the folder kept aside.
            failed.reason +=
                " Some replaced files could not be put back; they are in \"" + aside->first + "\".";
            std::error_code error;
            fs::remove_all(staging->second, error);
            return failed;
        }
        removeRunFolders();
        return failed;
    };

    std::size_t done = 0;
    std::vector<std::string> lines;
    for (const auto& [point, group] : byArchive) {
        const PointRestoreResult extracted =
            ExtractVersions(installation, folder, points, group, staging->first);
        if (extracted.status == RunStatus::Partial) {
            result.details.incompleteArchives.insert(result.details.incompleteArchives.end(),
                                                     extracted.details.incompleteArchives.begin(),
                                                     extracted.details.incompleteArchives.end());
            lines.insert(lines.end(), extracted.utilityLines.begin(), extracted.utilityLines.end());
        } else if (extracted.status != RunStatus::Done) {
            return fail(extracted.status, extracted.reason, extracted.utilityLines);
        }
        // A backup whose name holds no date and time lends its name instead.
        const TimePoint& timePoint = points.Points()[static_cast<std::size_t>(point)];
        const std::string when =
            timePoint.when.empty()
                ? timePoint.archiveName.substr(0, timePoint.archiveName.rfind('.'))
                : timePoint.when;
        for (const auto& file : group) {
            const std::optional<std::string> stored = StoredNameOf(points.FileName(file.file));
            if (!stored)
                continue;
            const fs::path staged = staging->second / fs::path(*stored);
            if (!Exists(staged))
                continue; // left out by the utility, which named it
            if (std::string problem = placement.Place(staged, *stored, when); !problem.empty())
                return fail(RunStatus::Failed, std::move(problem), {});
        }
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(staging->second, error))
            fs::remove_all(entry.path(), error);
        if (progress)
            progress(++done, byArchive.size());
    }
    removeRunFolders();
    MarkIncomplete(result, std::move(lines));
    return result;
}

std::vector<std::string> FilesNotAtPoint(const std::string& destination,
                                         const std::vector<std::string>& folders,
                                         const std::set<std::string>& present) {
    std::vector<std::string> extras;
    const std::optional<std::string> host = platform::ToHostPath(destination);
    if (!host)
        return extras;
    const fs::path root(*host);
    for (const std::string& folder : folders) {
        const std::optional<std::string> stored = StoredNameOf(folder);
        if (!stored)
            continue;
        const fs::path start = stored->empty() ? root : root / fs::path(*stored);
        std::error_code error;
        fs::recursive_directory_iterator it(start, error), end;
        for (; !error && it != end; it.increment(error)) {
            const fs::path relative = fs::relative(it->path(), root, error);
            if (error)
                break;
            const std::string first = relative.begin()->string();
            if (first.rfind(kRunFolderPrefix, 0) == 0) {
                it.disable_recursion_pending();
                continue;
            }
            if (it->is_directory(error) && !it->is_symlink(error))
                continue;
            const std::string listed = ListedName(relative.generic_string());
            if (!present.contains(listed))
                extras.push_back(listed);
        }
    }
    std::sort(extras.begin(), extras.end());
    extras.erase(std::unique(extras.begin(), extras.end()), extras.end());
    return extras;
}

std::vector<std::string> RemoveRestoredExtras(const std::string& destination,
                                              const std::vector<std::string>& names) {
    std::vector<std::string> failed;
    const std::optional<std::string> host = platform::ToHostPath(destination);
    for (const std::string& name : names) {
        const std::optional<std::string> stored = StoredNameOf(name);
        if (!host || !stored) {
            failed.push_back(name);
            continue;
        }
        // A file already gone is removed: set aside with a folder it was in,
        // or where the restore put a folder of its name (the extras are
        // files, never folders).
        const fs::path path = fs::path(*host) / fs::path(*stored);
        std::error_code error;
        if (fs::symlink_status(path, error).type() == fs::file_type::directory)
            continue;
        if (fs::remove(path, error); error && error != std::errc::not_a_directory)
            failed.push_back(name);
    }
    return failed;
}

} // namespace rk::restore
