#include "engine/job_copy.h"

#include "core/job_files.h"
#include "core/text.h"
#include "engine/job.h"
#include "engine/job_archives.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace rk {

namespace {

// The record of what the job has backed up, kept beside its archives.
constexpr std::string_view kStateFileName = ".rkzip-state";

std::optional<std::string> HostFolder(const std::string& windowsFolder) {
    std::optional<std::string> host = platform::ToHostPath(AddBackslash(windowsFolder));
    while (host && host->size() > 1 && host->back() == '/')
        host->pop_back();
    return host;
}

std::optional<long long> LocalSize(const std::string& hostFile) {
    struct stat info {};
    if (stat(hostFile.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<long long>(info.st_size);
}

bool StopAsked(const CopyWatch& watch) {
    return watch.stopRequested && watch.stopRequested();
}

// Sends what the copy lacks and deletes what was replaced; the reason
// anything stays pending, or empty.
std::string BringUpToDate(const std::string& jobFolder, const CopyTarget& target,
                          const std::string& host, const CopyWatch& watch, CopyEnd& end) {
    if (!IncomingFolder(target))
        return "the copy needs a folder on the remote, as \"" + target.remote + ":ravelkeep/Docs\"";
    // What a stopped or failed send left goes first.
    if (ReadCopyRecord(jobFolder).pending())
        RemoveIncoming(target);
    const Result<std::vector<RemoteFile>> listed = ListCopyFiles(target);
    if (!listed)
        return listed.reason();

    std::vector<std::string> toSend;
    for (const std::string& name : JobArchiveNames(jobFolder)) {
        const std::optional<long long> size = LocalSize(host + "/" + name);
        if (!size)
            continue;
        const auto there = std::find_if(listed->begin(), listed->end(),
                                        [&](const RemoteFile& file) { return file.name == name; });
        if (there == listed->end() || there->size != *size)
            toSend.push_back(name);
    }
    // The record of what was backed up and the settings go with them, so a
    // job brought back goes on where this one is.
    for (const std::string_view name : {kStateFileName, JobSettingsFileName, ExclusionFileName})
        if (LocalSize(host + "/" + std::string(name)))
            toSend.emplace_back(name);

    if (StopAsked(watch)) {
        end.cancelled = true;
        return "the copy was cancelled";
    }
    if (const Result<void> sent = SendFiles(target, host, toSend, watch); !sent) {
        end.cancelled = StopAsked(watch);
        return sent.reason();
    }
    end.sent = toSend;

    // Everything is there and checked: the archives it replaces may go.
    const std::vector<std::string> replaced = ReadCopyRecord(jobFolder).replaced;
    std::vector<std::string> still;
    std::string failure;
    for (const std::string& name : replaced) {
        // An archive that is here again is no longer replaced.
        if (LocalSize(host + "/" + name))
            continue;
        if (const Result<void> deleted = DeleteCopyFile(target, name); !deleted) {
            still.push_back(name);
            if (failure.empty())
                failure = deleted.reason();
            continue;
        }
        end.deleted.push_back(name);
    }
    if (still.size() != replaced.size())
        (void)WriteReplacedArchives(jobFolder, still);
    return failure;
}

// A name a job may have that is also safe as a folder name here.
bool UsableJobName(const std::string& name) {
    return !Trim(name).empty() && name[0] != '.' &&
           name.find_first_of(RefusedJobNameCharacters) == std::string::npos &&
           std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Only the user reads the job brought back.
void MakePrivate(const std::string& hostFolder) {
    chmod(hostFolder.c_str(), 0700);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(hostFolder, error))
        if (entry.is_regular_file(error))
            chmod(entry.path().c_str(), 0600);
}

} // namespace

std::string CopyEnd::PendingLine() const {
    if (!configured || complete)
        return {};
    return "Copy to " + remote + " pending: " + reason;
}

CopyEnd CopyJob(const std::string& jobFolder, const CopyWatch& watch, std::time_t now) {
    CopyEnd end;
    const CopyRecord record = ReadCopyRecord(jobFolder);
    end.remote = record.remote;
    end.configured = !record.remote.empty();
    if (!end.configured)
        return end;
    const std::optional<std::string> host = HostFolder(jobFolder);
    const Result<CopyTarget> target = CheckCopyTarget(record.remote);
    if (!host)
        end.reason = "the job's folder " + jobFolder + " has no place on this computer";
    else if (!target)
        end.reason = target.reason();
    else
        end.reason = BringUpToDate(jobFolder, *target, *host, watch, end);
    end.complete = end.reason.empty();
    if (end.complete)
        (void)ClearCopyPending(jobFolder);
    else
        (void)RecordCopyPending(jobFolder, end.reason, now);
    return end;
}

Result<std::vector<CopyDifference>> VerifyJobCopy(const std::string& jobFolder,
                                                  const CopyWatch& watch) {
    using Differences = Result<std::vector<CopyDifference>>;
    const CopyRecord record = ReadCopyRecord(jobFolder);
    if (record.remote.empty())
        return std::vector<CopyDifference>{};
    const std::optional<std::string> host = HostFolder(jobFolder);
    if (!host)
        return Differences::Failure("the job's folder " + jobFolder +
                                    " has no place on this computer");
    const Result<CopyTarget> target = CheckCopyTarget(record.remote);
    if (!target)
        return Differences::Failure(target.reason());
    return CompareCopy(*target, *host, JobArchiveNames(jobFolder), watch);
}

Result<std::vector<std::string>> ListJobsOnCopy(const CopyTarget& folder) {
    using Jobs = Result<std::vector<std::string>>;
    const RcloneOutcome listed =
        RunRclone({"lsf", "-R", "--max-depth", "2", "--files-only", "--include",
                   "/*/" + std::string(JobSettingsFileName), "--", folder.Text()});
    if (!listed.succeeded)
        return Jobs::Failure("cannot list the jobs on " + folder.Text() + ": " + listed.reason);
    std::vector<std::string> jobs;
    std::string_view out = listed.out;
    const std::string suffix = "/" + std::string(JobSettingsFileName);
    while (!out.empty()) {
        const std::size_t end = out.find('\n');
        const std::string line(out.substr(0, end));
        // Hidden folders are files on their way, not jobs.
        if (line.size() > suffix.size() && line[0] != '.' &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            jobs.push_back(line.substr(0, line.size() - suffix.size()));
        if (end == std::string_view::npos)
            break;
        out.remove_prefix(end + 1);
    }
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

Result<void> FetchJob(const CopyTarget& folder, const std::string& name,
                      const std::string& jobStore, const CopyWatch& watch) {
    if (!UsableJobName(name))
        return Result<void>::Failure("\"" + name + "\" cannot be the name of a backup job");
    const std::optional<std::string> store = HostFolder(jobStore);
    if (!store)
        return Result<void>::Failure("the job store " + jobStore +
                                     " has no place on this computer");
    const std::string final = *store + "/" + name;
    struct stat info {};
    if (lstat(final.c_str(), &info) == 0)
        return Result<void>::Failure("the job store already has a job or folder named \"" + name +
                                     "\"");
    if (Result<void> made = platform::MakeHostFolders(*store, 0700); !made)
        return made;
    const std::string fetching = *store + "/." + name + ".fetching-" + std::to_string(getpid());
    std::error_code error;
    std::filesystem::remove_all(fetching, error);
    if (mkdir(fetching.c_str(), 0700) != 0)
        return Result<void>::Failure("cannot make the folder " + fetching);
    const CopyTarget source = folder.Child(name);
    Result<void> fetched = FetchFolder(source, fetching, watch);
    const std::string jobFolder = platform::ToWindowsPath(fetching);
    if (fetched && !LocalSize(fetching + "/" + std::string(JobSettingsFileName)))
        fetched =
            Result<void>::Failure(source.Text() + " holds no " + std::string(JobSettingsFileName));
    if (fetched) {
        // Its copy is where it came from; what the old computer had pending
        // or to delete is not this one's to do.
        fetched = WriteCopyRemote(jobFolder, "");
        if (fetched)
            fetched = WriteCopyRemote(jobFolder, source.Text());
    }
    if (fetched) {
        MakePrivate(fetching);
        if (rename(fetching.c_str(), final.c_str()) != 0)
            fetched = Result<void>::Failure("cannot name the folder " + final);
    }
    if (!fetched)
        std::filesystem::remove_all(fetching, error);
    return fetched;
}

} // namespace rk
