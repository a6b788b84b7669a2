#include "platform/folder_lock.h"

#include "platform/drive_map.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace rk::platform {

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        close(fd_);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FolderLock FolderLock::Take(std::string_view windowsFolder, int operation) {
    FolderLock lock;
    const auto host = ToHostPath(windowsFolder);
    if (!host)
        return lock;
    const std::string path = *host + (host->back() == '/' ? "" : "/") + ".rk-lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return lock;
    int result = 0;
    do
        result = flock(fd, operation);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        close(fd);
        return lock;
    }
    lock.fd_ = fd;
    return lock;
}

FolderLock FolderLock::Shared(std::string_view windowsFolder) {
    return Take(windowsFolder, LOCK_SH);
}

FolderLock FolderLock::ExclusiveIfFree(std::string_view windowsFolder) {
    return Take(windowsFolder, LOCK_EX | LOCK_NB);
}

} // namespace rk::platform
