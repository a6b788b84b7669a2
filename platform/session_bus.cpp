#include "platform/session_bus.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::platform {

namespace {

std::string BusAddressOf(const std::string& socket) {
    return "unix:path=" + socket;
}

} // namespace

std::optional<std::string> SessionBusAddressFrom(const char* address, const char* runtimeFolder,
                                                 const std::string& userRunFolder, uid_t uid) {
    if (address != nullptr && *address != '\0')
        return std::string(address);
    struct stat info {};
    if (runtimeFolder != nullptr && runtimeFolder[0] == '/') {
        const std::string socket = std::string(runtimeFolder) + "/bus";
        if (stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
            return BusAddressOf(socket);
    }
    // The user's own folder, where systemd's user manager (or the desktop
    // session) puts the bus; a socket someone else made there is not taken.
    const std::string socket = userRunFolder + "/bus";
    if (lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == uid)
        return BusAddressOf(socket);
    return std::nullopt;
}

std::optional<std::string> SessionBusAddress() {
    const uid_t uid = getuid();
    return SessionBusAddressFrom(std::getenv("DBUS_SESSION_BUS_ADDRESS"),
                                 std::getenv("XDG_RUNTIME_DIR"), "/run/user/" + std::to_string(uid),
                                 uid);
}

} // namespace rk::platform
