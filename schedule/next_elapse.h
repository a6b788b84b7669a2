#pragma once
// The next run of a timer as "systemctl --user show
// --property=NextElapseUSecRealtime --value" prints it: "@1765314120"
// (seconds since the epoch, where --timestamp=unix is honoured) or, as
// systemd 252 does, a date "Wed 2026-12-09 21:02:00 UTC" whose zone is UTC or
// GMT, one of the local zone's abbreviations, or a numeric offset ("+0100",
// "-05:30").

#include <ctime>
#include <optional>
#include <string_view>

namespace rk::schedule {

// The moment the text names; nothing for an empty text, "n/a", or a form not
// described above (a zone that is neither UTC, the local one nor an offset is
// not guessed).
std::optional<std::time_t> ParseNextElapse(std::string_view text);

} // namespace rk::schedule
