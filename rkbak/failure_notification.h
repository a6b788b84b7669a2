#pragma once
// A desktop notification for a windowless run that failed, sent to the
// freedesktop notification service on the user's session bus, so a person at
// the desktop learns that last night's backup did not happen.

#include "platform/result.h"

#include <iosfwd>
#include <string>

namespace rk {

// Sends a critical notification through org.freedesktop.Notifications; the
// failure says why it could not be sent (no bus, no notification service, no
// answer within a few seconds).
// The bus is found by platform::SessionBusAddress.
[[nodiscard]] Result<void> NotifyFailure(const std::string& summary, const std::string& body);

// NotifyFailure; when no desktop could be told, one line on `errors` says so
// and why. True when the notification was taken.
bool NotifyFailureOrSay(const std::string& summary, const std::string& body, std::ostream& errors);

} // namespace rk
