#include "tools/rkunzip/safe_output.h"

#include "platform/file_system.h"

#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

constexpr size_t kMostFoldersKept = 256;
// Bytes taken from the archive at a time; one buffer serves every file.
constexpr size_t kCopyBufferSize = 256 * 1024;

} // namespace

Destination::~Destination() {
    for (auto& [path, fd] : folders_)
        close(fd);
    if (root_ >= 0)
        close(root_);
}

bool Destination::Open(const std::string& host, std::string& error, unsigned worker) {
    umask_ = umask(0);
    umask(umask_);
    host_ = host;
    temporaryPrefix_ = ".rkunzip-" + std::to_string(getpid()) + "-";
    if (worker != 0)
        temporaryPrefix_ += "w" + std::to_string(worker) + "-";
    std::error_code ec;
    std::filesystem::create_directories(host, ec);
    root_ = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0) {
        error = ec ? ec.message() : ErrnoText(errno);
        return false;
    }
    return true;
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
        int fd = openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            if (mkdirat(parent, part.c_str(), 0777) != 0 && errno != EEXIST) {
                problem = "can't make folder '" + path.substr(1) + "': " + ErrnoText(errno);
                return -1;
            }
            fd = openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            struct stat info {};
            if (fstatat(parent, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                problem = "would be written through the symbolic link '" + path.substr(1) + "'";
            else
                problem = "can't open folder '" + path.substr(1) + "': " + ErrnoText(errno);
            return -1;
        }
        if (folders_.size() >= kMostFoldersKept) {
            // Forget the folders opened so far, but not the ones on this path.
            for (auto it = folders_.begin(); it != folders_.end();) {
                if (it->second == parent) {
                    ++it;
                    continue;
                }
                close(it->second);
                it = folders_.erase(it);
            }
        }
        folders_.emplace(path, fd);
        parent = fd;
    }
    return parent;
}

bool Destination::Exists(int folderFd, const std::string& name) {
    struct stat info {};
    return fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string Destination::NextTemporaryName() {
    return temporaryPrefix_ + std::to_string(counter_++) + ".tmp";
}

PlaceResult Destination::PutInPlace(int folderFd, const std::string& temporary,
                                    const std::string& name, bool replace, std::string& problem) {
    if (replace) {
        if (renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) == 0)
            return PlaceResult::Written;
    } else {
        if (renameat2(folderFd, temporary.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE) == 0)
            return PlaceResult::Written;
        if (errno == EINVAL || errno == ENOSYS) {
            // File systems without the no-replace rename: a hard link never
            // replaces either.
            if (linkat(folderFd, temporary.c_str(), folderFd, name.c_str(), 0) == 0) {
                unlinkat(folderFd, temporary.c_str(), 0);
                return PlaceResult::Written;
            }
        }
    }
    const int error = errno;
    unlinkat(folderFd, temporary.c_str(), 0);
    if (error == EEXIST)
        return PlaceResult::Existed;
    problem = ErrnoText(error);
    return PlaceResult::Failed;
}

PlaceResult Destination::WriteFile(int folderFd, const std::string& name, zip_file_t* reader,
                                   const FileAttributes& attributes, bool replace,
                                   std::string& problem) {
    const std::string temporary = NextTemporaryName();
    // A file its owner may write is made with its mode at once when the
    // umask leaves that mode as it is; any other gets it once written.
    const mode_t mode = attributes.mode & 07777;
    const bool modeAtOnce =
        (mode & S_IWUSR) != 0 && (mode & ~0777 & 07777) == 0 && (mode & umask_) == 0;
    const int fd =
        openat(folderFd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
               modeAtOnce ? mode : 0600);
    if (fd < 0) {
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    if (buffer_.empty())
        buffer_.resize(kCopyBufferSize);
    bool ok = true;
    for (;;) {
        const zip_int64_t n = zip_fread(reader, buffer_.data(), buffer_.size());
        if (n < 0) {
            problem = zip_file_strerror(reader);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!platform::WriteAllBytes(fd, buffer_.data(), static_cast<size_t>(n))) {
            problem = ErrnoText(errno);
            ok = false;
            break;
        }
    }
    if (ok) {
        if (!modeAtOnce)
            fchmod(fd, mode);
        WriteDosBits(fd, attributes.dosBits);
        const timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(attributes.mtime), 0}};
        futimens(fd, times);
    }
    if (close(fd) != 0 && ok) {
        problem = ErrnoText(errno);
        ok = false;
    }
    if (!ok) {
        unlinkat(folderFd, temporary.c_str(), 0);
        return PlaceResult::Failed;
    }
    return PutInPlace(folderFd, temporary, name, replace, problem);
}

PlaceResult Destination::MakeLink(int folderFd, const std::string& name, const std::string& target,
                                  bool replace, std::string& problem) {
    if (!replace) {
        if (symlinkat(target.c_str(), folderFd, name.c_str()) == 0)
            return PlaceResult::Written;
        if (errno == EEXIST)
            return PlaceResult::Existed;
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    const std::string temporary = NextTemporaryName();
    if (symlinkat(target.c_str(), folderFd, temporary.c_str()) != 0) {
        problem = ErrnoText(errno);
        return PlaceResult::Failed;
    }
    return PutInPlace(folderFd, temporary, name, true, problem);
}

} // namespace rk::tools
