#include "tools/rkunzip/extraction.h"

#include "tools/common/dos_bits.h"
#include "tools/common/stored_names.h"
#include "tools/rkunzip/entry_content.h"
#include "tools/rkunzip/entry_info.h"
#include "tools/rkunzip/files_in_flight.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <thread>

namespace rk::tools {

namespace {

constexpr zip_uint64_t kLongestLinkTarget = 4096;

mode_t CurrentUmask() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

FileAttributes AttributesFor(const EntryInfo& info, const UnzipCommand& command, mode_t mask) {
    FileAttributes attributes;
    attributes.mode = info.hasMode ? (info.mode & 0777) : (0666 & ~mask);
    attributes.mtime = info.mtime;
    if (command.restoreReadOnly) {
        if ((info.dosBits & kDosReadOnly) != 0)
            attributes.mode &= static_cast<mode_t>(~0222);
    } else {
        attributes.mode |= S_IRUSR | S_IWUSR;
    }
    if (command.restoreHidden)
        attributes.dosBits |= info.dosBits & kDosHidden;
    if (command.restoreSystem)
        attributes.dosBits |= info.dosBits & kDosSystem;
    return attributes;
}

bool ReadLinkTarget(EntryContent& content, const EntryInfo& info, std::string& target,
                    std::string& problem) {
    if (info.size > kLongestLinkTarget) {
        problem = "link target too long";
        return false;
    }
    if (!content.Open(info.index, problem))
        return false;
    target.assign(static_cast<size_t>(info.size), '\0');
    std::size_t got = 0;
    while (got < target.size()) {
        const std::int64_t n = content.Read(target.data() + got, target.size() - got, problem);
        if (n <= 0) {
            if (n == 0)
                problem = "short read";
            content.Close();
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    content.Close();
    if (target.empty() || target.find('\0') != std::string::npos) {
        problem = "not a valid link target";
        return false;
    }
    return true;
}

// Kept for every entry, so small: messages are few and kept apart.
constexpr std::uint32_t kNoProblem = 0xffffffffu;

// One entry to extract (read again by the worker that takes it), or the
// message saying why it is not.
struct Planned {
    zip_uint64_t index = 0;
    std::uint32_t problem = kNoProblem; // among the planning's problems
};

// What became of one planned entry.
enum class Outcome : unsigned char { Skipped, Written, Kept, Failed };

struct Done {
    Outcome outcome = Outcome::Skipped;
    std::string problem;
};

// Whether an entry read from the archive is to be extracted: false when it
// is not, true when it is or when `problem` says why it cannot be.
bool ChooseEntry(const EntryInfo& info, const UnzipCommand& command,
                 const EntrySelection& selection, CheckedName& checked, std::string& problem) {
    if (info.kind != EntryKind::Folder && !selection.Selects(info.name, !info.madeOnUnix))
        return false;
    if (info.kind == EntryKind::Folder &&
        (!command.recreateFolders || !selection.SelectsFolder(info.name, !info.madeOnUnix)))
        return false;
    checked = CheckEntryName(info.name, !info.madeOnUnix);
    if (!checked.refusal.empty()) {
        problem = "refused '" + info.name + "': " + checked.refusal;
        return true;
    }
    return !checked.components.empty();
}

// Reads entry `index`; false (and `problem`) when it cannot be read.
bool ReadPlannedEntry(zip_t* archive, zip_uint64_t index, EntryInfo& info, std::string& problem) {
    if (ReadEntryInfo(archive, index, info))
        return true;
    problem = "can't read entry " + std::to_string(index) + ": " + zip_strerror(archive);
    return false;
}

// Reads entry `index` and checks its name: false when it is not to be
// extracted, true when it is or when `problem` says why it cannot be.
bool PlanEntry(zip_t* archive, zip_uint64_t index, const UnzipCommand& command,
               const EntrySelection& selection, EntryInfo& info, CheckedName& checked,
               std::string& problem) {
    return !ReadPlannedEntry(archive, index, info, problem) ||
           ChooseEntry(info, command, selection, checked, problem);
}

// Extracts one planned entry through the worker's reader and folder cache.
Done ExtractOne(EntryContent& content, SharedArchive& archive, zip_uint64_t index,
                const UnzipCommand& command, const EntrySelection& selection, mode_t mask,
                Destination& destination) {
    Done done;
    EntryInfo info;
    CheckedName checked;
    std::string problem;
    bool read = false;
    {
        // Only reading the entry needs the archive; the rest goes on beside
        // the other worker.
        auto lock = archive.Lock();
        read = ReadPlannedEntry(archive.get(), index, info, problem);
    }
    if (read && !ChooseEntry(info, command, selection, checked, problem))
        return done;
    if (!problem.empty()) {
        done.outcome = Outcome::Failed;
        done.problem = std::move(problem);
        return done;
    }
    const std::vector<std::string>& components = checked.components;
    if (info.kind == EntryKind::Folder) {
        const int made = destination.Folder(components, components.size(), problem);
        if (made == Destination::kShadowed) {
            done.outcome = Outcome::Kept;
        } else if (made < 0) {
            done.outcome = Outcome::Failed;
            done.problem = "refused '" + info.name + "': " + problem;
        }
        return done;
    }
    const size_t folderCount = command.recreateFolders ? components.size() - 1 : 0;
    const int folder = destination.Folder(components, folderCount, problem);
    if (folder == Destination::kShadowed) {
        done.outcome = Outcome::Kept;
        return done;
    }
    if (folder < 0) {
        done.outcome = Outcome::Failed;
        done.problem = "refused '" + info.name + "': " + problem;
        return done;
    }
    const std::string& name = components.back();
    // In a folder this run made only its own files can be there, and a new
    // file is never made over one: the look beforehand is left out.
    if (!command.replaceExisting && !destination.MadeByThisRun(folder) &&
        destination.Existing(folder, name, info.size)) {
        done.outcome = Outcome::Kept;
        return done;
    }
    PlaceResult result = PlaceResult::Failed;
    if (info.kind == EntryKind::Link) {
        std::string target;
        if (ReadLinkTarget(content, info, target, problem))
            result = destination.MakeLink(folder, name, target, info.mtime, command.replaceExisting,
                                          problem);
        if (result == PlaceResult::Written)
            destination.NoteLinkMade(components);
    } else {
        if (content.Open(info.index, problem)) {
            result = destination.WriteFile(
                folder, name,
                [&content](void* data, std::size_t length, std::string& why) {
                    return content.Read(data, length, why);
                },
                AttributesFor(info, command, mask), command.replaceExisting, problem);
            content.Close();
        }
    }
    switch (result) {
    case PlaceResult::Written:
        done.outcome = Outcome::Written;
        break;
    case PlaceResult::Existed:
        done.outcome = Outcome::Kept;
        break;
    case PlaceResult::Refused:
    case PlaceResult::Failed:
        done.outcome = Outcome::Failed;
        done.problem = "can't extract '" + info.name + "': " + problem;
        break;
    }
    return done;
}

// Tells whether the entries may be extracted in any order: none of them
// depends on another when there are no links (an entry could go through one
// made before it) and no path is written twice or both as a file and as a
// folder (the first in the archive wins). Paths are compared by their hash:
// two that meet by chance only cost the second worker.
class OrderCheck {
  public:
    explicit OrderCheck(bool recreateFolders) : recreateFolders_(recreateFolders) {}

    void Add(EntryKind kind, const std::vector<std::string>& components) {
        if (kind == EntryKind::Link) {
            free_ = false;
            return;
        }
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

    // Asked once: the paths are let go, as the extraction does not need them.
    bool Free() {
        const bool free = free_ && NoPathMet();
        files_ = {};
        folders_ = {};
        return free;
    }

  private:
    static std::size_t Hash(std::string_view path) { return std::hash<std::string_view>{}(path); }

    bool NoPathMet() {
        std::sort(files_.begin(), files_.end());
        if (std::adjacent_find(files_.begin(), files_.end()) != files_.end())
            return false;
        std::sort(folders_.begin(), folders_.end());
        for (const std::size_t file : files_)
            if (std::binary_search(folders_.begin(), folders_.end(), file))
                return false;
        return true;
    }

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

// Below this many entries a second worker costs more than it saves.
constexpr size_t kFewestForTwoWorkers = 64;

} // namespace

ExtractionOutcome Extract(zip_t* archive, const std::string& archiveHost,
                          const UnzipCommand& command, const EntrySelection& selection,
                          Destination& destination) {
    ExtractionOutcome outcome;
    const mode_t mask = CurrentUmask();
    // Extracting newest first, a path that is a file or link now shadows
    // what older archives hold below it.
    destination.KeepExisting(!command.replaceExisting);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    std::vector<Planned> planned;
    std::vector<std::string> planProblems;
    OrderCheck order(command.recreateFolders);
    size_t work = 0;
    EntryInfo info;
    CheckedName checked;
    // Set once every file is in place; the first entry for a folder wins.
    FolderEntries folderEntries;
    planned.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    std::string problem;
    for (zip_int64_t i = 0; i < count; ++i) {
        Planned entry;
        entry.index = static_cast<zip_uint64_t>(i);
        problem.clear();
        if (!PlanEntry(archive, entry.index, command, selection, info, checked, problem))
            continue;
        if (!problem.empty()) {
            entry.problem = static_cast<std::uint32_t>(planProblems.size());
            planProblems.push_back(std::move(problem));
        } else {
            order.Add(info.kind, checked.components);
            ++work;
            if (info.kind == EntryKind::Folder)
                folderEntries.emplace(FolderPath(checked.components),
                                      FolderMetadata{info.hasMode, info.mode, info.mtime});
        }
        planned.push_back(std::move(entry));
    }

    // One outcome per entry; each worker's messages in the order of its
    // entries, one per failed entry.
    std::vector<Outcome> outcomes(planned.size(), Outcome::Skipped);
    std::vector<std::string> failures[2];
    // Two workers, each with its own reader and folders, share the entries
    // (and the one open archive) when the order they are written in cannot
    // matter.
    SharedArchive shared(archive, archiveHost);
    size_t split = planned.size();
    Destination secondDestination;
    const bool anyOrder = order.Free();
    if (work >= kFewestForTwoWorkers && std::thread::hardware_concurrency() >= 2 && anyOrder) {
        std::string ignored;
        if (secondDestination.OpenBeside(destination, ignored, kMostWorkers - 1)) {
            secondDestination.KeepExisting(!command.replaceExisting);
            split = planned.size() / 2;
        }
    }
    auto run = [&](Destination& into, size_t from, size_t to, std::vector<std::string>& failed) {
        EntryContent content(shared);
        for (size_t i = from; i < to; ++i) {
            if (planned[i].problem != kNoProblem)
                continue;
            Done done =
                ExtractOne(content, shared, planned[i].index, command, selection, mask, into);
            outcomes[i] = done.outcome;
            if (done.outcome == Outcome::Failed)
                failed.push_back(std::move(done.problem));
        }
    };
    if (split < planned.size()) {
        std::thread worker(run, std::ref(secondDestination), split, planned.size(),
                           std::ref(failures[1]));
        run(destination, 0, split, failures[0]);
        worker.join();
    } else {
        run(destination, 0, planned.size(), failures[0]);
    }
    std::vector<std::string> folderProblems =
        destination.SetFolderMetadata(folderEntries, !command.replaceExisting);

    std::size_t nextFailure[2] = {0, 0};
    for (size_t i = 0; i < planned.size(); ++i) {
        if (planned[i].problem != kNoProblem) {
            outcome.problems.push_back(std::move(planProblems[planned[i].problem]));
            continue;
        }
        switch (outcomes[i]) {
        case Outcome::Written:
            ++outcome.written;
            break;
        case Outcome::Kept:
            ++outcome.kept;
            break;
        case Outcome::Failed: {
            const int worker = i < split ? 0 : 1;
            outcome.problems.push_back(std::move(failures[worker][nextFailure[worker]++]));
            break;
        }
        case Outcome::Skipped:
            break;
        }
    }
    for (auto& folderProblem : folderProblems)
        outcome.problems.push_back(std::move(folderProblem));
    return outcome;
}

} // namespace rk::tools
