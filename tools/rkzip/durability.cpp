#include "tools/rkzip/durability.h"

#include <cerrno>
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

} // namespace rk::tools
