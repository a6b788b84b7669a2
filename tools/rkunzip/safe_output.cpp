#include "tools/rkunzip/safe_output.h"

#include "platform/file_system.h"

#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"
#include "tools/rkunzip/files_in_flight.h"
#include "tools/rkunzip/free_space.h"
#include "tools/rkunzip/leftover_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace rk::tools {

namespace {

constexpr size_t kMostFoldersKept = 256;
// Bytes taken from the archive at a time; one buffer serves every file.
constexpr size_t kCopyBufferSize = 256 * 1024;
// What a folder's recorded mode may give it: the permission bits alone,
// never set-user or set-group ID nor the sticky bit.
constexpr mode_t kFolderModeBits = 0777;
// A folder this run makes is its owner's alone while files are written into
// it; its own mode comes once everything below it is in place.
constexpr mode_t kFolderWhileWriting = 0700;

constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// How long ago a marked file must have changed last before it is taken for
// one left by a killed run: a living writer locks its file at once.
constexpr long long kLeftoverAgeNanoseconds = 1000000000;

// How the names of this rkunzip's temporary files start and end.
constexpr std::string_view kTemporaryStart = ".rkunzip-";
constexpr std::string_view kTemporaryEnd = ".tmp";

// Why `part` of `parent` (the folder `path`) could not be opened.
std::string OpenProblem(int parent, const std::string& part, const std::string& path, int error) {
    struct stat info {};
    if (fstatat(parent, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        return "'" + path + "' is a symbolic link, not followed";
    return ErrnoText(error);
}

} // namespace

// The folders the workers of one run opened, by their path below the
// destination ("" for the destination itself): made by the run, or there
// before it with the time they had when first seen and whether anything was
// added to them since.
class RunFolders {
  public:
    struct State {
        bool made = false;
        bool added = false;
        bool timeKnown = false;
        timespec before{};
    };

    // Notes the folder `path`, open as `fd`. True when it was there before the
    // run and has had nothing added yet. A folder is seen before anything is
    // added to it (by any worker), so the first look gives its time before
    // the run.
    bool Opened(const std::string& path, int fd, bool made) {
        const std::lock_guard<std::mutex> lock(mutex_);
        auto [it, inserted] = folders_.try_emplace(path);
        State& state = it->second;
        if (made) {
            state.made = true;
            return false;
        }
        if (inserted) {
            struct stat info {};
            if (fstat(fd, &info) == 0) {
                state.timeKnown = true;
                state.before = info.st_mtim;
            }
        }
        return !state.made && !state.added;
    }

    // True for the first addition to the folder by any worker.
    bool Added(const std::string& path) {
        const std::lock_guard<std::mutex> lock(mutex_);
        State& state = folders_[path];
        const bool first = !state.added;
        state.added = true;
        return first;
    }

    // Read once the workers are done.
    const std::map<std::string, State>& folders() const { return folders_; }

  private:
    std::mutex mutex_;
    std::map<std::string, State> folders_;
};

Destination::~Destination() {
    for (auto& [path, fd] : folders_)
        close(fd);
    if (root_ >= 0)
        close(root_);
}

bool Destination::Open(const std::string& host, std::string& error, unsigned worker) {
    umask_ = umask(0);
    umask(umask_);
    if (!record_)
        record_ = std::make_shared<RunFolders>();
    host_ = host;
    inFlight_ = &FileInFlightOf(worker);
    temporaryPrefix_ = std::string(kTemporaryStart) + std::to_string(getpid()) + "-";
    if (worker != 0)
        temporaryPrefix_ += "w" + std::to_string(worker) + "-";
    runIdentity_ = RunIdentity();
    std::error_code ec;
    // The folders above the destination get the usual mode; the destination
    // itself, when made here, is its owner's alone until the run ends.
    bool made = false;
    const std::filesystem::path destination(host);
    if (!std::filesystem::is_directory(destination, ec)) {
        if (destination.has_parent_path())
            std::filesystem::create_directories(destination.parent_path(), ec);
        ec.clear();
        made = mkdir(host.c_str(), kFolderWhileWriting) == 0;
        if (!made && errno != EEXIST)
            ec = std::error_code(errno, std::generic_category());
    }
    root_ = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0) {
        error = ec ? ec.message() : ErrnoText(errno);
        return false;
    }
    if (made)
        madeHere_.insert(root_);
    if (!freeSpace_)
        freeSpace_ = std::make_shared<FreeSpace>(root_);
    Opened(std::string(), root_, made);
    return true;
}

bool Destination::OpenBeside(const Destination& first, std::string& error, unsigned worker) {
    record_ = first.record_;
    freeSpace_ = first.freeSpace_;
    return Open(first.host_, error, worker);
}

void Destination::Opened(const std::string& path, int fd, bool made) {
    if (record_->Opened(path, fd, made))
        untouched_.emplace(fd, path);
}

void Destination::AddingTo(int folderFd) {
    if (untouched_.empty())
        return;
    const auto it = untouched_.find(folderFd);
    if (it == untouched_.end())
        return;
    const bool first = record_->Added(it->second);
    untouched_.erase(it);
    // The first time the run adds to a folder that was there before it, the
    // temporary files a killed run left in it are removed: a folder the run
    // made holds none, and none is looked at twice.
    if (first)
        RemoveLeftovers(folderFd, kTemporaryStart, kTemporaryEnd);
}

void Destination::NoteLinkMade(const std::vector<std::string>& components) {
    std::string path;
    for (const auto& part : components) {
        path += '/';
        path += part;
    }
    linksMade_.insert(std::move(path));
}

int Destination::Folder(const std::vector<std::string>& components, size_t count,
                        std::string& problem) {
    int parent = root_;
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        const std::string& part = components[i];
        path += '/';
        path += part;
        if (const auto it = folders_.find(path); it != folders_.end()) {
            parent = it->second;
            continue;
        }
        int fd = openat(parent, part.c_str(), kFolderOpenFlags);
        bool made = false;
        if (fd < 0 && errno == ENOENT) {
            AddingTo(parent);
            if (mkdirat(parent, part.c_str(), kFolderWhileWriting) == 0)
                made = true;
            else if (errno != EEXIST) {
                problem = "can't make folder '" + path.substr(1) + "': " + ErrnoText(errno);
                return -1;
            }
            fd = openat(parent, part.c_str(), kFolderOpenFlags);
        }
        if (fd < 0) {
            const int openError = errno;
            struct stat info {};
            const bool exists = fstatat(parent, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
            const bool link = exists && S_ISLNK(info.st_mode);
            if (keepExisting_ && exists && !S_ISDIR(info.st_mode) &&
                !(link && linksMade_.count(path) != 0))
                return kShadowed;
            if (link)
                problem = "would be written through the symbolic link '" + path.substr(1) + "'";
            else
                problem = "can't open folder '" + path.substr(1) + "': " + ErrnoText(openError);
            return -1;
        }
        if (folders_.size() >= kMostFoldersKept) {
            // Forget the folders opened so far, but not the ones on this path.
            for (auto it = folders_.begin(); it != folders_.end();) {
                if (it->second == parent) {
                    ++it;
                    continue;
                }
                untouched_.erase(it->second);
                madeHere_.erase(it->second);
                close(it->second);
                it = folders_.erase(it);
            }
        }
        folders_.emplace(path, fd);
        if (made)
            madeHere_.insert(fd);
        Opened(path, fd, made);
        parent = fd;
    }
    return parent;
}

bool Destination::MakeRoomFor(std::uint64_t size, std::string& problem) {
    return freeSpace_->Take(size, problem);
}

bool Destination::OutOfRoom() const {
    return freeSpace_ && freeSpace_->OutOfRoom();
}

std::string Destination::NextTemporaryName() {
    return temporaryPrefix_ + std::to_string(counter_++) + std::string(kTemporaryEnd);
}

PlaceResult Destination::PutInPlace(int folderFd, const std::string& temporary,
                                    const std::string& name, std::string& problem) {
    if (renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0)
        return PlaceResult::Written;
    problem = ErrnoText(errno);
    unlinkat(folderFd, temporary.c_str(), 0);
    return PlaceResult::Failed;
}

bool Destination::Existing(int folderFd, const std::string& name, std::uint64_t entrySize) {
    struct stat info {};
    if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return !RemovedIfUnfinished(folderFd, name, info, entrySize);
}

bool Destination::RemovedIfUnfinished(int folderFd, const std::string& name,
                                      const struct stat& info, std::uint64_t entrySize) {
    if (!S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
        static_cast<std::uint64_t>(info.st_size) > entrySize)
        return false;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long age = (static_cast<long long>(now.tv_sec) - info.st_ctim.tv_sec) * 1000000000 +
                          (now.tv_nsec - info.st_ctim.tv_nsec);
    if (age < kLeftoverAgeNanoseconds)
        return false;
    return RemoveIfLeftover(folderFd, name, info);
}

bool Destination::WriteContent(int fd, const ContentReader& read, const FileAttributes& attributes,
                               std::string& problem) {
    if (buffer_.empty())
        buffer_.resize(kCopyBufferSize);
    bool ok = true;
    for (;;) {
        const std::int64_t n = read(buffer_.data(), buffer_.size(), problem);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!platform::WriteAllBytes(fd, buffer_.data(), static_cast<size_t>(n))) {
            problem = ErrnoText(errno);
            ok = false;
            break;
        }
    }
    if (ok) {
        WriteDosBits(fd, attributes.dosBits);
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(attributes.mtime), 0}};
        futimens(fd, times);
        fchmod(fd, attributes.mode & 07777);
    }
    return ok;
}

bool Destination::Finish(int fd, bool marked, bool ok, std::string& problem) {
    // The mark goes last, while the lock is still held: the file is finished.
    if (ok && marked && fremovexattr(fd, kUnfinishedMark) != 0) {
        problem = "can't take away its unfinished mark: " + ErrnoText(errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        problem = ErrnoText(errno);
        ok = false;
    }
    return ok;
}

PlaceResult Destination::WriteFile(int folderFd, const std::string& name, const ContentReader& read,
                                   const FileAttributes& attributes, bool replace,
                                   std::string& problem) {
    AddingTo(folderFd);
    return replace ? ReplaceFile(folderFd, name, read, attributes, problem)
                   : WriteNewFile(folderFd, name, read, attributes, problem);
}

int Destination::MakeMarkedFile(int folderFd, const std::string& name, bool& marked) {
    // Made unnamed, marked, then linked to its name unless that exists: the
    // file never shows unmarked under its name, even to a run that finds it
    // after this one was killed.
    return tools::MakeMarkedFile(folderFd, name, runIdentity_, marked);
}

PlaceResult Destination::WriteNewFile(int folderFd, const std::string& name,
                                      const ContentReader& read, const FileAttributes& attributes,
                                      std::string& problem) {
    bool marked = false;
    const int fd =
        inFlight_->Begin(folderFd, name, [&] { return MakeMarkedFile(folderFd, name, marked); });
    if (fd < 0 && errno == EEXIST)
        return PlaceResult::Existed;
    if (fd < 0) {
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    const bool ok = Finish(fd, marked, WriteContent(fd, read, attributes, problem), problem);
    if (!ok)
        unlinkat(folderFd, name.c_str(), 0);
    inFlight_->End();
    return ok ? PlaceResult::Written : PlaceResult::Failed;
}

PlaceResult Destination::ReplaceFile(int folderFd, const std::string& name,
                                     const ContentReader& read, const FileAttributes& attributes,
                                     std::string& problem) {
    // The temporary file is locked and marked from its making until it is
    // at its name: one a killed run left is removed by the next run writing
    // into the folder.
    const std::string temporary = NextTemporaryName();
    bool marked = false;
    const int fd = inFlight_->Begin(folderFd, temporary, [&] {
        return tools::MakeMarkedFile(folderFd, temporary, runIdentity_, marked);
    });
    if (fd < 0) {
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    PlaceResult result = PlaceResult::Failed;
    if (WriteContent(fd, read, attributes, problem))
        result = PutInPlace(folderFd, temporary, name, problem);
    else
        unlinkat(folderFd, temporary.c_str(), 0);
    // At its name the file is finished; only then do the mark and the lock go.
    if (!Finish(fd, marked, result == PlaceResult::Written, problem))
        result = PlaceResult::Failed;
    inFlight_->End();
    return result;
}

PlaceResult Destination::MakeLink(int folderFd, const std::string& name, const std::string& target,
                                  std::int64_t mtime, bool replace, std::string& problem) {
    AddingTo(folderFd);
    const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    if (!replace) {
        if (symlinkat(target.c_str(), folderFd, name.c_str()) == 0) {
            utimensat(folderFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
            return PlaceResult::Written;
        }
        if (errno == EEXIST)
            return PlaceResult::Existed;
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    const std::string temporary = NextTemporaryName();
    if (inFlight_->Begin(folderFd, temporary, [&] {
            return symlinkat(target.c_str(), folderFd, temporary.c_str());
        }) != 0) {
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    utimensat(folderFd, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW);
    const PlaceResult result = PutInPlace(folderFd, temporary, name, problem);
    inFlight_->End();
    return result;
}

std::vector<std::string> Destination::SetFolderMetadata(const FolderEntries& entries,
                                                        bool keepExisting) {
    struct Change {
        const std::string* path;
        bool fromEntry; // else the time the folder had before the run
        bool setMode;
        mode_t mode;
        timespec mtime;
    };
    // A folder's mode from its entry: never writable by others unless new
    // folders are.
    const mode_t allowed = kFolderModeBits & ~(umask_ & S_IWOTH);
    // What a folder this run made without a recorded mode gets.
    const mode_t usual = 0777 & ~umask_;
    constexpr timespec kTimeKept{0, UTIME_OMIT};
    // Paths in reverse order: every folder comes before the folder holding
    // it, so a folder's mode is set only once nothing below it is left.
    std::vector<Change> changes;
    const auto& folders = record_->folders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const auto& [path, state] = *it;
        const auto entry = entries.find(path);
        if (entry != entries.end() && (state.made || !keepExisting)) {
            const FolderMetadata& metadata = entry->second;
            changes.push_back({&path,
                               true,
                               metadata.hasMode || state.made,
                               metadata.hasMode ? metadata.mode & allowed : usual,
                               {static_cast<time_t>(metadata.mtime), 0}});
        } else if (state.made) {
            changes.push_back({&path, true, true, usual, kTimeKept});
        } else if (keepExisting && !state.made && state.added && state.timeKnown) {
            changes.push_back({&path, false, false, 0, state.before});
        }
    }

    std::vector<std::string> problems;
    // The folders open on the way to the last one changed, from the top.
    std::vector<std::pair<std::string_view, int>> opened;
    std::vector<std::string_view> parts;
    for (const Change& change : changes) {
        const std::string& path = *change.path;
        parts.clear();
        for (size_t start = 1; start <= path.size();) {
            const size_t end = std::min(path.find('/', start), path.size());
            parts.push_back(std::string_view(path).substr(start, end - start));
            start = end + 1;
        }
        size_t kept = 0;
        while (kept < opened.size() && kept < parts.size() && opened[kept].first == parts[kept])
            ++kept;
        while (opened.size() > kept) {
            close(opened.back().second);
            opened.pop_back();
        }
        const std::string shown = path.empty() ? host_ : path.substr(1);
        const std::string what = change.fromEntry ? "can't set the mode and time of folder '"
                                                  : "can't put back the time of folder '";
        int fd = opened.empty() ? root_ : opened.back().second;
        std::string problem;
        for (size_t i = kept; i < parts.size(); ++i) {
            const std::string part(parts[i]);
            const int child = openat(fd, part.c_str(), kFolderOpenFlags);
            if (child < 0) {
                const int error = errno;
                const size_t shownEnd =
                    static_cast<size_t>(parts[i].data() - path.data()) + parts[i].size();
                problem = OpenProblem(fd, part, path.substr(1, shownEnd - 1), error);
                break;
            }
            opened.emplace_back(parts[i], child);
            fd = child;
        }
        if (problem.empty() && change.setMode && fchmod(fd, change.mode) != 0)
            problem = ErrnoText(errno);
        const timespec times[2] = {{0, UTIME_OMIT}, change.mtime};
        if (problem.empty() && futimens(fd, times) != 0)
            problem = ErrnoText(errno);
        if (!problem.empty())
            problems.push_back(what + shown + "': " + problem);
    }
    for (const auto& [part, fd] : opened)
        close(fd);
    return problems;
}

} // namespace rk::tools
