#include "tools/rkunzip/leftover_files.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// The most bytes of a run's identity read back from a mark.
constexpr std::size_t kLongestRunIdentity = 128;

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

} // namespace

std::string RunIdentity() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return "rkunzip " + std::to_string(getpid()) + " " + std::to_string(now.tv_sec) + "." +
           std::to_string(now.tv_nsec);
}

bool MarkUnfinished(int fd, const std::string& run) {
    // The lock comes first: another run finding the mark on a file finds it
    // locked for as long as the writer lives.
    flock(fd, LOCK_EX | LOCK_NB);
    return fsetxattr(fd, kUnfinishedMark, run.data(), run.size(), XATTR_CREATE) == 0;
}

int MakeMarkedFile(int folderFd, const std::string& name, const std::string& run, bool& marked) {
    const int unnamed = openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        marked = MarkUnfinished(unnamed, run);
        // Linking an unnamed file by its descriptor needs no privilege when
        // it goes through /proc; linkat never replaces an existing name.
        const std::string self = "/proc/self/fd/" + std::to_string(unnamed);
        if (linkat(AT_FDCWD, self.c_str(), folderFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return unnamed;
        const int error = errno;
        close(unnamed);
        if (error != ENOENT && error != EXDEV && error != EPERM && error != EOPNOTSUPP) {
            errno = error;
            return -1;
        }
    }
    const int named =
        openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (named >= 0)
        marked = MarkUnfinished(named, run);
    return named;
}

bool RemoveIfLeftover(int folderFd, const std::string& name, const struct stat& seen) {
    if (!S_ISREG(seen.st_mode) || seen.st_uid != geteuid())
        return false;
    // Not blocking on what is no regular file by now; never through a link.
    const int fd = openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat opened {};
    char mark[kLongestRunIdentity];
    // A living writer holds its lock from before the mark is given until
    // after it is taken away: a mark found once the lock is ours was left by
    // a run that is gone.
    bool left = fstat(fd, &opened) == 0 && SameFile(opened, seen) && S_ISREG(opened.st_mode) &&
                opened.st_uid == geteuid() && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                fgetxattr(fd, kUnfinishedMark, mark, sizeof mark) > 0;
    // A writer renames a temporary file away before letting go of its lock:
    // the name must still be this file.
    struct stat named {};
    left = left && fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(named, opened);
    const bool removed = left && unlinkat(folderFd, name.c_str(), 0) == 0;
    close(fd);
    return removed;
}

unsigned RemoveLeftovers(int folderFd, std::string_view prefix, std::string_view suffix) {
    // A reading of its own, so the folder's descriptor is left as it was.
    const int readFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0)
        return 0;
    DIR* folder = fdopendir(readFd);
    if (folder == nullptr) {
        close(readFd);
        return 0;
    }
    unsigned removed = 0;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name(entry->d_name);
        if (name.size() < prefix.size() + suffix.size() ||
            name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - suffix.size()) != suffix)
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        const std::string found(name);
        struct stat info {};
        if (fstatat(folderFd, found.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            RemoveIfLeftover(folderFd, found, info))
            ++removed;
    }
    closedir(folder);
    return removed;
}

} // namespace rk::tools
