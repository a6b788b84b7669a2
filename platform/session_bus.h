#pragma once
// Where the user's session bus listens, for a run that must reach the
// desktop also when a scheduler started it: cron sets neither
// DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR, but the user's bus socket is
// still in its usual place.

#include <optional>
#include <string>
#include <sys/types.h>

namespace rk::platform {

// DBUS_SESSION_BUS_ADDRESS when set; else the socket $XDG_RUNTIME_DIR/bus
// when it exists; else /run/user/<uid>/bus when it is a socket the user owns;
// nothing when no session bus can be found.
std::optional<std::string> SessionBusAddress();

// The same from the given values: `address` and `runtimeFolder` as the two
// variables give them (null when unset), `userRunFolder` the user's folder
// under /run/user, `uid` the user.
std::optional<std::string> SessionBusAddressFrom(const char* address, const char* runtimeFolder,
                                                 const std::string& userRunFolder, uid_t uid);

} // namespace rk::platform
