#include "private_namespace.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace rk::test {

namespace {

std::string Failed(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

std::optional<std::string> EnterPrivateMountNamespace() {
    if (unshare(CLONE_NEWNS) != 0)
        return Failed("unshare(CLONE_NEWNS)");
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return Failed("making / private");
    return std::nullopt;
}

std::optional<std::string> MountEmptyFolder(const std::string& folder, const std::string& options) {
    if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
        return Failed("mounting a tmpfs on " + folder);
    return std::nullopt;
}

std::optional<std::string> BindMount(const std::string& source, const std::string& target) {
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return Failed("binding " + source + " on " + target);
    return std::nullopt;
}

std::optional<std::string> MountCgroup2(const std::string& folder) {
    if (mount("cgroup2", folder.c_str(), "cgroup2", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0)
        return Failed("mounting cgroup2 on " + folder);
    return std::nullopt;
}

std::optional<std::string> Unmount(const std::string& target) {
    if (umount2(target.c_str(), 0) != 0)
        return Failed("unmounting " + target);
    return std::nullopt;
}

} // namespace rk::test
