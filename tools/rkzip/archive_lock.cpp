#include "tools/rkzip/archive_lock.h"

#include "tools/common/stop_signals.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rk::tools {

namespace {

// Starts like the attribute record's name, so that a walk of the archive's
// folder never stores it (SourceWalk leaves out every ".rkzip-state" name
// there).
constexpr std::string_view kLockPrefix = ".rkzip-state-lock.";
constexpr std::size_t kTemporarySuffixLength = 6;

// The lock this run holds, shared with the thread that waits for the stop
// signals. Made once and never destroyed: that thread may still look at it
// while the process exits.
struct HeldLock {
    std::mutex mutex;
    bool held = false;
    int folderFd = -1;
    int lockFd = -1;
    std::string archiveName;
    std::string lockName;
    // The archive did not exist when the lock was taken: a stopped run
    // removes it again, so no archive stays under its name.
    bool newArchive = false;
    // The run has recorded what it stored: from here on it ends by itself.
    bool committed = false;
};

HeldLock& Held() {
    static HeldLock* const held = new HeldLock;
    return *held;
}

bool IsLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The names in the folder that `keep` accepts.
template <typename Keep> std::vector<std::string> NamesIn(int folderFd, Keep keep) {
    std::vector<std::string> names;
    // A descriptor of its own: the listing must not move another one's offset.
    const int listFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return names;
    DIR* folder = fdopendir(listFd);
    if (folder == nullptr) {
        close(listFd);
        return names;
    }
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (keep(name))
            names.emplace_back(name);
    }
    closedir(folder);
    return names;
}

// Removes the temporary archives of `archiveName`: regular files only, so a
// link or folder that happens to carry such a name stays.
void RemoveTemporaries(int folderFd, std::string_view archiveName) {
    const auto names = NamesIn(
        folderFd, [&](std::string_view name) { return IsTemporaryArchiveName(name, archiveName); });
    for (const auto& name : names) {
        struct stat info {};
        if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            unlinkat(folderFd, name.c_str(), 0);
    }
}

// True when the folder's entry `name` is still the file open as `fd`: a lock
// file is removed only by its holder, so a lock taken on a file since removed
// guards nothing any more.
bool NamesThisFile(int folderFd, const std::string& name, int fd) {
    struct stat opened {};
    struct stat named {};
    return fstat(fd, &opened) == 0 &&
           fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool IsRegularFile(int fd) {
    struct stat info {};
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// What a stop signal does to this run: removes what it has half written and
// lets the process end, unless the run has committed.
bool CleanUpOnStop() {
    HeldLock& state = Held();
    // Kept locked: the run's own release of the lock waits for this, and the
    // process ends here.
    state.mutex.lock();
    if (state.committed) {
        // The archive is in place and its files recorded: stopping now would
        // only lose the backup, so the run ends as it would have.
        state.mutex.unlock();
        return false;
    }
    if (state.held) {
        RemoveTemporaries(state.folderFd, state.archiveName);
        struct stat info {};
        if (state.newArchive &&
            fstatat(state.folderFd, state.archiveName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode))
            unlinkat(state.folderFd, state.archiveName.c_str(), 0);
        unlinkat(state.folderFd, state.lockName.c_str(), 0);
    }
    return true;
}

} // namespace

std::string ArchiveLockName(std::string_view archiveName) {
    std::string name(kLockPrefix);
    name += archiveName;
    return name;
}

bool IsTemporaryArchiveName(std::string_view name, std::string_view archiveName) {
    if (archiveName.empty() || name.size() != archiveName.size() + 1 + kTemporarySuffixLength ||
        name.substr(0, archiveName.size()) != archiveName || name[archiveName.size()] != '.')
        return false;
    for (const char c : name.substr(archiveName.size() + 1))
        if (!IsLetterOrDigit(c))
            return false;
    return true;
}

void WatchStopSignalsForArchive() {
    Held();
    WatchStopSignals(&CleanUpOnStop);
}

int MakeTemporaryArchive(const std::string& archiveHost, std::string& temporary) {
    HeldLock& state = Held();
    const std::lock_guard guard(state.mutex);
    temporary = archiveHost + ".XXXXXX";
    return mkostemp(temporary.data(), O_CLOEXEC);
}

void CleanUpAfterKilledRuns(const std::string& folderHost) {
    const int folder = open(folderHost.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    const auto locks = NamesIn(folder, [](std::string_view name) {
        return name.size() > kLockPrefix.size() &&
               name.substr(0, kLockPrefix.size()) == kLockPrefix;
    });
    for (const auto& lockName : locks) {
        const int fd =
            openat(folder, lockName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Taken at once only when no running rkzip holds it.
        if (IsRegularFile(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            NamesThisFile(folder, lockName, fd)) {
            RemoveTemporaries(folder, std::string_view(lockName).substr(kLockPrefix.size()));
            unlinkat(folder, lockName.c_str(), 0);
        }
        close(fd);
    }
    close(folder);
}

ArchiveLock::ArchiveLock(const std::string& folderHost, const std::string& archiveName) {
    const int folder = open(folderHost.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    const std::string lockName = ArchiveLockName(archiveName);
    int fd = -1;
    for (;;) {
        fd = openat(folder, lockName.c_str(),
                    O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0)
            break;
        int taken = -1;
        if (IsRegularFile(fd))
            while ((taken = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
            }
        if (taken != 0) {
            close(fd);
            fd = -1;
            break;
        }
        if (NamesThisFile(folder, lockName, fd))
            break;
        // The run waited for removed the lock file as it ended: take the one
        // named now.
        close(fd);
    }
    if (fd < 0) {
        close(folder);
        return;
    }
    HeldLock& state = Held();
    {
        const std::lock_guard guard(state.mutex);
        state.folderFd = folder;
        state.lockFd = fd;
        state.archiveName = archiveName;
        state.lockName = lockName;
        struct stat info {};
        state.newArchive = fstatat(folder, archiveName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 &&
                           errno == ENOENT;
        state.held = true;
    }
    held_ = true;
    // With the lock held, a temporary archive of this name is one that a run
    // killed while this one waited left behind.
    RemoveTemporaries(folder, archiveName);
}

void ArchiveLock::Commit(const std::function<void()>& finish) const {
    HeldLock& state = Held();
    const std::lock_guard guard(state.mutex);
    finish();
    state.committed = true;
}

ArchiveLock::~ArchiveLock() {
    if (!held_)
        return;
    HeldLock& state = Held();
    const std::lock_guard guard(state.mutex);
    // Removed while still held, so no other run takes a lock on a file that
    // is gone.
    unlinkat(state.folderFd, state.lockName.c_str(), 0);
    state.held = false;
    close(state.lockFd);
    close(state.folderFd);
    state.lockFd = -1;
    state.folderFd = -1;
}

} // namespace rk::tools
