#include "tools/rkzip/zip_run.h"

#include "platform/drive_map.h"
#include "tools/common/command_line.h"
#include "tools/common/exit_codes.h"
#include "tools/common/list_file.h"
#include "tools/common/messages.h"
#include "tools/common/password_input.h"
#include "tools/rkzip/archive_lock.h"
#include "tools/rkzip/archive_writer.h"
#include "tools/rkzip/attribute_record.h"
#include "tools/rkzip/entry_encryption.h"
#include "tools/rkzip/progress_report.h"
#include "tools/rkzip/source_walk.h"

#include <cerrno>
#include <cstdio>
#include <deque>
#include <sys/stat.h>

namespace rk::tools {

namespace {

struct ArchivePlace {
    std::string host;
    std::string folderHost;
    std::string name;
    struct stat folder {};
};

Result<ArchivePlace> LocateArchive(const std::string& windows) {
    const auto host = rk::platform::ToHostPath(windows);
    if (!host)
        return Result<ArchivePlace>::Failure("the path has no mapping to a folder here");
    ArchivePlace place;
    place.host = *host;
    const size_t slash = place.host.rfind('/');
    place.folderHost = slash == 0 ? "/" : place.host.substr(0, slash);
    place.name = place.host.substr(slash + 1);
    if (place.name.empty())
        return Result<ArchivePlace>::Failure("the path names no file");
    if (stat(place.folderHost.c_str(), &place.folder) != 0)
        return Result<ArchivePlace>::Failure(ErrnoText(errno));
    return place;
}

Exclusions LoadExclusions(const ZipCommand& command) {
    Exclusions exclusions;
    for (const auto& file : command.exclusionFiles) {
        // A missing exclusion file means no exclusions.
        const auto host = rk::platform::ToHostPath(file);
        if (!host)
            continue;
        if (const auto patterns = ReadListFile(*host, ListLines::Patterns))
            for (const auto& pattern : *patterns)
                if (!IsExclusionComment(pattern))
                    exclusions.Add(pattern);
    }
    for (const auto& pattern : command.exclusionPatterns)
        exclusions.Add(pattern);
    return exclusions;
}

// The patterns of the command line and of its list files, in order. Unreadable
// list files are named in `problems`.
std::vector<std::string> CollectPatterns(const ZipCommand& command,
                                         std::vector<std::string>& problems) {
    std::vector<std::string> patterns;
    for (const auto& source : command.sources) {
        if (!source.isListFile) {
            patterns.push_back(source.text);
            continue;
        }
        const auto host = rk::platform::ToHostPath(source.text);
        int error = ENOENT;
        const auto lines = host ? ReadListFile(*host, ListLines::Patterns, &error) : std::nullopt;
        if (!lines) {
            problems.push_back("can't read list file '" + source.text + "': " + ErrnoText(error));
            continue;
        }
        patterns.insert(patterns.end(), lines->begin(), lines->end());
    }
    return patterns;
}

// The entries that have the archive attribute for the archive's folder,
// with the folders that hold them: each archive carries the mode and time of
// every folder it writes into, so that extracting newest first gives every
// folder its newest mode and time.
std::vector<const SourceFile*> SelectChanged(SourceWalk& walk, const AttributeRecord& record) {
    std::deque<SourceFile>& found = walk.found();
    StampTable stamps;
    if (const Result<void> loaded = record.Load(stamps, found.size()); !loaded) {
        Report("can't read the archive attribute record '" + record.path() +
               "': " + loaded.reason() + " (every file is taken as changed)");
        stamps.clear();
    }
    std::vector<bool> selected(found.size(), false);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const ChangeStamp* held = stamps.Find(found[i].HostPath());
        if (held != nullptr && *held == found[i].stamp)
            continue;
        for (auto at = static_cast<std::int32_t>(i); at != kNoParent && !selected[at];
             at = found[at].parent)
            selected[at] = true;
    }
    std::vector<const SourceFile*> changed;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (selected[i])
            changed.push_back(&found[i]);
    }
    return changed;
}

// Why a pattern found nothing, as the user named it: "C:\Data\*.*" is the
// source folder C:\Data.
std::string MissingSourceText(const std::string& pattern) {
    if (pattern.empty())
        return "no source was named";
    const size_t separator = pattern.find_last_of('\\');
    const bool folderPattern = separator != std::string::npos &&
                               pattern.find_first_of("*?", separator) != std::string::npos;
    if (folderPattern)
        return "the source folder " + pattern.substr(0, separator) + " does not exist";
    return "the source " + pattern + " does not exist";
}

int Usage(const std::string& error) {
    Report(error);
    std::fputs("Try 'rkzip --help' for the command line.\n", stderr);
    return kExitUsage;
}

} // namespace

int RunZip(const std::vector<std::string>& args) {
    SetToolName("rkzip");
    // The passwords' descriptor is read whole and closed first of all; with
    // a password every entry written is encrypted with the first.
    const Result<Passwords> passwords = ReadGivenPasswords();
    if (!passwords) {
        Report(passwords.reason());
        return kExitUsage;
    }
    if (!passwords->empty())
        EncryptEntriesWith(passwords->list().front());
    const auto parsed = ParseZipCommand(args);
    if (!parsed)
        return Usage(parsed.reason());
    const ZipCommand& command = *parsed;
    if (command.help) {
        std::fputs(ZipUsage().c_str(), stdout);
        return kExitOk;
    }
    if (command.version) {
        std::fputs(VersionText("rkzip").c_str(), stdout);
        return kExitOk;
    }

    // Before any thread is started: the packing threads inherit the blocked
    // stop signals, and the thread watching for them removes this run's
    // temporary archive when one comes.
    WatchStopSignalsForArchive();

    const Result<ArchivePlace> located = LocateArchive(command.archive);
    if (!located) {
        Report("can't open zip archive '" + command.archive + "': " + located.reason());
        return kExitFailed;
    }
    const ArchivePlace& place = *located;
    CleanUpAfterKilledRuns(place.folderHost);
    // Held to the end of the run, whatever its outcome: a second run writing
    // the same archive waits here for this one.
    const ArchiveLock lock(place.folderHost, place.name);

    const Exclusions exclusions = LoadExclusions(command);
    std::vector<std::string> problems;
    const std::vector<std::string> patterns = CollectPatterns(command, problems);

    WalkSettings settings;
    settings.recurse = command.recurse;
    settings.pathStyle = command.pathStyle;
    settings.includeHidden = command.includeHidden;
    settings.includeSystem = command.includeSystem;
    settings.exclusions = &exclusions;
    settings.archiveFolderDevice = place.folder.st_dev;
    settings.archiveFolderInode = place.folder.st_ino;
    settings.archiveName = place.name;
    SourceWalk walk(settings);
    bool anyMatched = false;
    std::string firstMissing;
    for (const auto& pattern : patterns) {
        if (walk.AddPattern(pattern)) {
            anyMatched = true;
        } else {
            problems.push_back("name not matched: " + pattern);
            if (firstMissing.empty())
                firstMissing = pattern;
        }
    }
    problems.insert(problems.end(), walk.problems().begin(), walk.problems().end());
    // Sockets, FIFOs and devices are not stored by design: named, but the run
    // is not incomplete for them.
    for (const auto& notice : walk.notices())
        Report(notice);
    if (!anyMatched) {
        for (const auto& problem : problems)
            Report(problem);
        // The last line is the one callers show: it names the cause.
        Report("nothing added to zip archive '" + command.archive +
               "': " + MissingSourceText(firstMissing));
        return kExitFailed;
    }

    const AttributeRecord record(place.folderHost);
    std::vector<const SourceFile*> toStore;
    if (command.mode == ZipMode::Incremental) {
        toStore = SelectChanged(walk, record);
    } else {
        toStore.reserve(walk.found().size());
        for (const auto& file : walk.found())
            toStore.push_back(&file);
    }

    std::uint64_t filesTotal = 0;
    std::uint64_t bytesTotal = 0;
    for (const SourceFile* file : toStore)
        if (file->kind == SourceKind::File) {
            ++filesTotal;
            bytesTotal += file->stamp.size;
        }
    StartProgress(filesTotal, bytesTotal);
    const WriteOutcome outcome = WriteArchive(place.host, command.archive, toStore);
    FinishProgress();
    for (const auto& problem : problems)
        Report(problem);
    for (const auto& problem : outcome.problems)
        Report(problem);
    if (!outcome.archive) {
        Report(outcome.archive.reason());
        return kExitFailed;
    }

    bool recordFailed = false;
    lock.Commit([&] {
        if (command.mode != ZipMode::Add) {
            std::vector<const SourceFile*> cleared;
            cleared.reserve(toStore.size());
            for (size_t i = 0; i < toStore.size(); ++i) {
                if (outcome.fates[i] == FileFate::NotStored)
                    continue;
                if (outcome.fates[i] == FileFate::StoredWhileChanging) {
                    Report("'" + toStore[i]->WindowsPath() +
                           "' changed while it was read; it keeps its archive attribute");
                    continue;
                }
                cleared.push_back(toStore[i]);
            }
            const Result<void> recorded =
                record.Clear(cleared, command.mode == ZipMode::AddAndClear);
            if (!recorded) {
                Report("can't update the archive attribute record '" + record.path() +
                       "': " + recorded.reason());
                recordFailed = true;
            }
        }
    });
    const bool incomplete = !problems.empty() || !outcome.problems.empty() || recordFailed;
    return incomplete ? kExitPartial : kExitOk;
}

} // namespace rk::tools
