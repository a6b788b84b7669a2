#pragma once
// A desktop notification for a windowless run that failed, sent to the
// freedesktop notification service on the user's session bus, so a person at
// the desktop learns that last night's backup did not happen.

#include <optional>
#include <string>

namespace rk {

// The session bus address to use: DBUS_SESSION_BUS_ADDRESS, else the user
// bus socket $XDG_RUNTIME_DIR/bus when it exists; nothing when no session bus
// is reachable (cron without a desktop session).
std::optional<std::string> SessionBusAddress();

// Sends a critical notification through org.freedesktop.Notifications; the
// reason when it could not be sent (no bus, no notification service, no
// answer within a few seconds).
std::optional<std::string> NotifyFailure(const std::string& summary, const std::string& body);

} // namespace rk
