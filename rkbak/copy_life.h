#pragma once
// The copy step of the windowless lives: after "/ib", "/thin" or "/c" changed
// a job's folder, its copy on other storage (section "copy" of its
// "rkjob.ini") is brought up to date. A copy that stays pending never makes
// the run fail: one line on standard error says so, and once copies have
// been pending for a day the desktop is told (again a day later, not at each
// run).

#include "rkbak/backup_life.h"

#include <iosfwd>
#include <string>

namespace rk {

// Brings the copy of the job in `jobFolder` (Windows text) up to date. A
// pending copy's line ("Copy to REMOTE pending: REASON") goes to `errors`;
// `notify` is called when the user is due to be told.
void CopyAfterLife(const std::string& jobFolder, std::ostream& errors, const DesktopNotice& notify);

} // namespace rk
