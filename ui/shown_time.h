#pragma once
// The one form of a date and time the program writes into its own lines
// (last backup, skipped run, next scheduled run, overdue marks): the system's
// short date and the hours and minutes, as the versions line and the
// backups list show theirs.

#include <ctime>
#include <string>

namespace rk::ui {

// `when` in local time, e.g. "09/12/2026 20:50" where the short date is
// dd/MM/yyyy.
std::string ShownDateTime(std::time_t when);

} // namespace rk::ui
