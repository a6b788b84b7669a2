#include "tools/rkunzip/entry_plan.h"

#include "tools/common/deletion_record.h"

#include "core/listed_names.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace rk::tools {

namespace {

// Tells whether the entries may be extracted in any order: none of them
// depends on another when there are no links (an entry could go through one
// made before it) and no path is written twice or both as a file and as a
// folder (the first in the archive wins). Paths are compared by their hash:
// two that meet by chance only cost the second worker, or the exact look
// for paths that are both a file and a folder.
class OrderCheck {
  public:
    explicit OrderCheck(bool recreateFolders) : recreateFolders_(recreateFolders) {}

    void Add(EntryKind kind, const std::vector<std::string>& components) {
        if (kind == EntryKind::Link)
            free_ = false;
        const bool folder = kind == EntryKind::Folder;
        const size_t first = recreateFolders_ || folder ? 0 : components.size() - 1;
        path_.clear();
        for (size_t i = first; i + 1 < components.size(); ++i) {
            path_ += components[i];
            path_ += '/';
        }
        if (path_ != parent_) {
            // Every folder on the way, once for a run of entries sharing it.
            for (size_t end = path_.find('/'); end != std::string::npos;
                 end = path_.find('/', end + 1))
                folders_.push_back(Hash(std::string_view(path_).substr(0, end)));
            parent_ = path_;
        }
        path_ += components.back();
        (folder ? folders_ : files_).push_back(Hash(path_));
    }

    // Asked once: the paths are let go, as the extraction does not need
    // them. `pathsMeet` tells whether a file or link may share its path
    // with a folder.
    bool Free(bool& pathsMeet) {
        std::sort(files_.begin(), files_.end());
        std::sort(folders_.begin(), folders_.end());
        pathsMeet = false;
        for (const std::size_t file : files_)
            if (std::binary_search(folders_.begin(), folders_.end(), file)) {
                pathsMeet = true;
                break;
            }
        const bool free =
            free_ && !pathsMeet && std::adjacent_find(files_.begin(), files_.end()) == files_.end();
        files_ = {};
        folders_ = {};
        return free;
    }

  private:
    static std::size_t Hash(std::string_view path) { return std::hash<std::string_view>{}(path); }

    bool recreateFolders_;
    bool free_ = true;
    std::string path_;
    std::string parent_;
    std::vector<std::size_t> files_;
    std::vector<std::size_t> folders_;
};

// The path below the destination that Destination records for these
// components.
std::string FolderPath(const std::vector<std::string>& components) {
    std::string path;
    for (const auto& part : components) {
        path += '/';
        path += part;
    }
    return path;
}

const char* KindWord(EntryKind kind) {
    return kind == EntryKind::Link ? "a link" : "a file";
}

// The exact look, made only when the hashes say a file or link may share its
// path with a folder: an entry below a path an earlier entry holds as a file
// or link, or a file or link at a path earlier entries hold as a folder, is
// refused. Going on would pass it over or write it through the other.
void RefuseFoldersMetAsFiles(zip_t* archive, const UnzipCommand& command,
                             const NamesWithNul& namesWithNul, EntryPlan& plan) {
    std::unordered_map<std::string, EntryKind> notFolders;
    std::unordered_set<std::string> folders;
    EntryInfo info;
    for (auto& entry : plan.entries) {
        if (entry.problem != kNoProblem ||
            !ReadEntryName(archive, entry.index, info, &namesWithNul))
            continue;
        const CheckedName checked =
            CheckEntryName(info.name, info.backslashSeparates, !info.madeOnUnix);
        const auto& components = checked.components;
        const bool folder = info.kind == EntryKind::Folder;
        const size_t first = command.recreateFolders || folder ? 0 : components.size() - 1;
        const size_t folderEnd = folder ? components.size() : components.size() - 1;
        std::string path;
        std::string problem;
        std::vector<std::string> prefixes;
        for (size_t i = first; i < folderEnd && problem.empty(); ++i) {
            path += path.empty() ? "" : "/";
            path += components[i];
            if (const auto met = notFolders.find(path); met != notFolders.end())
                problem = "'" + path + "' is " + KindWord(met->second) + " in this archive";
            prefixes.push_back(path);
        }
        if (problem.empty() && !folder) {
            path += path.empty() ? "" : "/";
            path += components.back();
            if (folders.count(path) != 0)
                problem = "'" + path + "' is a folder in this archive";
        }
        if (!problem.empty()) {
            entry.problem = static_cast<std::uint32_t>(plan.problems.size());
            plan.problems.push_back("refused '" + info.name + "': " + problem);
            --plan.work;
            if (folder)
                plan.folderEntries.erase(FolderPath(components));
            continue;
        }
        for (auto& prefix : prefixes)
            folders.insert(std::move(prefix));
        if (!folder)
            notFolders.emplace(std::move(path), info.kind);
    }
}

} // namespace

bool ChooseEntry(const EntryInfo& info, const UnzipCommand& command,
                 const EntrySelection& selection, CheckedName& checked, std::string& problem) {
    if (info.kind != EntryKind::Folder && !selection.Selects(info.name, info.backslashSeparates))
        return false;
    if (info.kind == EntryKind::Folder &&
        (!command.recreateFolders || !selection.SelectsFolder(info.name, info.backslashSeparates)))
        return false;
    if (info.nulInName) {
        // Cut at the NUL it would name another file; its listed form shows
        // the whole name.
        problem = "refused '" + ListedName(info.name) + "': name holding a NUL byte";
        return true;
    }
    checked = CheckEntryName(info.name, info.backslashSeparates, !info.madeOnUnix);
    if (!checked.refusal.empty()) {
        problem = "refused '" + info.name + "': " + checked.refusal;
        return true;
    }
    if (checked.components.empty() && info.kind != EntryKind::Folder) {
        problem = info.name.empty() ? "refused entry " + std::to_string(info.index + 1) +
                                          " of the archive: it has no name"
                                    : "refused '" + info.name + "': name naming no file";
        return true;
    }
    return !checked.components.empty();
}

bool ReadPlannedEntry(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                      const NamesWithNul& namesWithNul, std::string& problem) {
    if (ReadEntryInfo(archive, index, info, &namesWithNul))
        return true;
    problem = "can't read entry " + std::to_string(index) + ": " + zip_strerror(archive);
    return false;
}

EntryPlan PlanEntries(zip_t* archive, const UnzipCommand& command, const EntrySelection& selection,
                      const NamesWithNul& namesWithNul) {
    EntryPlan plan;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    OrderCheck order(command.recreateFolders);
    EntryInfo info;
    CheckedName checked;
    plan.entries.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    std::string problem;
    for (zip_int64_t i = 0; i < count; ++i) {
        PlannedEntry entry;
        entry.index = static_cast<zip_uint64_t>(i);
        problem.clear();
        const bool read = ReadPlannedEntry(archive, entry.index, info, namesWithNul, problem);
        // The deletion record is the program's, never a file to restore.
        if (read && IsDeletionRecordName(info.name))
            continue;
        if (read && !ChooseEntry(info, command, selection, checked, problem))
            continue;
        if (!problem.empty()) {
            entry.problem = static_cast<std::uint32_t>(plan.problems.size());
            plan.problems.push_back(std::move(problem));
        } else {
            order.Add(info.kind, checked.components);
            ++plan.work;
            if (info.kind == EntryKind::Folder)
                plan.folderEntries.emplace(FolderPath(checked.components),
                                           FolderMetadata{info.hasMode, info.mode, info.mtime});
        }
        plan.entries.push_back(entry);
    }
    bool pathsMeet = false;
    plan.anyOrder = order.Free(pathsMeet);
    if (pathsMeet)
        RefuseFoldersMetAsFiles(archive, command, namesWithNul, plan);
    return plan;
}

} // namespace rk::tools
