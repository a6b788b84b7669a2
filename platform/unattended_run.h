#pragma once
// Whether this run of the program was started where no person may be there
// to answer: by one of the schedules Ravelkeep installs (they set
// RAVELKEEP_UNATTENDED=1), by systemd (INVOCATION_ID), or with neither
// standard input nor standard error on a terminal. Such a run shows nothing
// and waits for no one, whatever DISPLAY says.

namespace rk::platform {

// Set to "1" by every schedule Ravelkeep installs.
inline constexpr const char* kUnattendedVariable = "RAVELKEEP_UNATTENDED";
// Set to "1" as well by the schedule's retry, which runs every 15 minutes and
// makes the backup only when the job's last scheduled run was skipped because
// its backup disk was not connected.
inline constexpr const char* kRetryVariable = "RAVELKEEP_RETRY";

bool RunIsUnattended();

// True when this run is a schedule's retry (kRetryVariable is "1").
bool RunIsRetry();

} // namespace rk::platform
