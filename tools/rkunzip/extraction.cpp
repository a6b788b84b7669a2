#include "tools/rkunzip/extraction.h"

#include "tools/common/dos_bits.h"
#include "tools/common/stored_names.h"
#include "tools/rkunzip/entry_content.h"
#include "tools/rkunzip/entry_info.h"
#include "tools/rkunzip/entry_plan.h"
#include "tools/rkunzip/files_in_flight.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <thread>

namespace rk::tools {

namespace {

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

// What became of one planned entry.
enum class Outcome : unsigned char { Skipped, Written, Kept, Failed };

struct Done {
    Outcome outcome = Outcome::Skipped;
    std::string problem;
    bool wrongPassword = false;
};

// Extracts one planned entry through the worker's reader and folder cache.
Done ExtractOne(EntryContent& content, SharedArchive& archive, zip_uint64_t index,
                const UnzipCommand& command, const EntrySelection& selection,
                const NamesWithNul& namesWithNul, mode_t mask, Destination& destination) {
    Done done;
    EntryInfo info;
    CheckedName checked;
    std::string problem;
    bool read = false;
    {
        // Only reading the entry needs the archive; the rest goes on beside
        // the other worker.
        auto lock = archive.Lock();
        read = ReadPlannedEntry(archive.get(), index, info, namesWithNul, problem);
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
    if (info.kind == EntryKind::File && !destination.MakeRoomFor(info.size, problem)) {
        done.outcome = Outcome::Failed;
        done.problem = "can't extract '" + info.name + "': " + problem;
        return done;
    }
    PlaceResult result = PlaceResult::Failed;
    if (info.kind == EntryKind::Link) {
        std::string target;
        if (ReadLinkTarget(content, info.index, info.size, target, problem))
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
        // An encrypted entry refused names itself in the lines callers know.
        if (content.refusal() != Refusal::None)
            done.problem = RefusalText(info.name, content.refusal());
        else
            done.problem = "can't extract '" + info.name + "': " + problem;
        done.wrongPassword = content.refusal() == Refusal::Password;
        break;
    }
    return done;
}

// Below this many entries a second worker costs more than it saves.
constexpr size_t kFewestForTwoWorkers = 64;

} // namespace

ExtractionOutcome Extract(zip_t* archive, const std::string& archiveHost,
                          const DirectoryFacts& facts, const UnzipCommand& command,
                          const EntrySelection& selection, Destination& destination) {
    ExtractionOutcome outcome;
    const mode_t mask = CurrentUmask();
    // Extracting newest first, a path that is a file or link now shadows
    // what older archives hold below it.
    destination.KeepExisting(!command.replaceExisting);
    EntryPlan plan = PlanEntries(archive, command, selection, facts.namesWithNul);
    std::vector<PlannedEntry>& planned = plan.entries;

    // One outcome per entry; each worker's messages in the order of its
    // entries, one per failed entry.
    std::vector<Outcome> outcomes(planned.size(), Outcome::Skipped);
    std::vector<std::string> failures[2];
    std::size_t wrongPassword[2] = {0, 0};
    // Two workers, each with its own reader and folders, share the entries
    // (and the one open archive) when the order they are written in cannot
    // matter.
    SharedArchive shared(archive, archiveHost, facts.localHeaders);
    size_t split = planned.size();
    Destination secondDestination;
    if (plan.work >= kFewestForTwoWorkers && std::thread::hardware_concurrency() >= 2 &&
        plan.anyOrder) {
        std::string ignored;
        if (secondDestination.OpenBeside(destination, ignored, kMostWorkers - 1)) {
            secondDestination.KeepExisting(!command.replaceExisting);
            split = planned.size() / 2;
        }
    }
    auto run = [&](Destination& into, size_t from, size_t to, std::vector<std::string>& failed,
                   std::size_t& refused) {
        EntryContent content(shared);
        for (size_t i = from; i < to; ++i) {
            // Once a file would leave the destination too little room,
            // nothing more is written.
            if (into.OutOfRoom())
                break;
            if (planned[i].problem != kNoProblem)
                continue;
            Done done = ExtractOne(content, shared, planned[i].index, command, selection,
                                   facts.namesWithNul, mask, into);
            outcomes[i] = done.outcome;
            if (done.outcome == Outcome::Failed)
                failed.push_back(std::move(done.problem));
            if (done.wrongPassword)
                ++refused;
        }
    };
    if (split < planned.size()) {
        std::thread worker(run, std::ref(secondDestination), split, planned.size(),
                           std::ref(failures[1]), std::ref(wrongPassword[1]));
        run(destination, 0, split, failures[0], wrongPassword[0]);
        worker.join();
    } else {
        run(destination, 0, planned.size(), failures[0], wrongPassword[0]);
    }
    outcome.wrongPassword = wrongPassword[0] + wrongPassword[1];
    std::vector<std::string> folderProblems =
        destination.SetFolderMetadata(plan.folderEntries, !command.replaceExisting);

    std::size_t nextFailure[2] = {0, 0};
    for (size_t i = 0; i < planned.size(); ++i) {
        if (planned[i].problem != kNoProblem) {
            outcome.problems.push_back(std::move(plan.problems[planned[i].problem]));
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
