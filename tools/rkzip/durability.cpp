#include "tools/rkzip/durability.h"

#include "platform/file_system.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

std::string FolderOf(const std::string& fileHost) {
    const size_t slash = fileHost.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileHost.substr(0, slash);
}

bool FlushPath(const std::string& path, int flags, int& error) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    const bool ok = fsync(fd) == 0;
    if (!ok)
        error = errno;
    close(fd);
    return ok;
}

} // namespace

bool FlushFileAndFolder(const std::string& fileHost, int& error) {
    return FlushPath(fileHost, O_RDONLY, error) &&
           FlushPath(FolderOf(fileHost), O_RDONLY | O_DIRECTORY, error);
}

bool WriteEmptyArchive(const std::string& archiveHost, int& error) {
    // End of central directory: signature, then 18 bytes of zeros (no disks,
    // no entries, no directory, no comment).
    std::array<unsigned char, 22> record{0x50, 0x4b, 0x05, 0x06};
    // Named as libzip names its temporary archives, so that a run stopped
    // here leaves nothing the lock's clean-up does not know (archive_lock.h).
    std::string temporary = archiveHost + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    bool ok = platform::WriteAllBytes(fd, record.data(), record.size()) &&
              fchmod(fd, 0666 & ~mask) == 0 && fsync(fd) == 0;
    if (!ok)
        error = errno;
    close(fd);
    if (ok && rename(temporary.c_str(), archiveHost.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    return FlushPath(FolderOf(archiveHost), O_RDONLY | O_DIRECTORY, error);
}

} // namespace rk::tools
