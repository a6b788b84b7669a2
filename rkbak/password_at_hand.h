#pragma once
// Before a scheduled backup of a job that encrypts its backups: its password
// must be at hand without anyone typing it (the keyring unlocked, or the
// password command). When it is not, the run is skipped as for a backup disk
// that is not connected: recorded, told to the desktop, and made up by the
// schedule's retry once the password is at hand.

#include "rkbak/backup_life.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace rk {

// The line told when the run is skipped; `cause` says why the password is
// not at hand.
std::string PasswordNotAtHandText(const std::string& jobName, const std::string& cause);

// The run's step after the disk check (JobStoreFolder set). For a job that
// encrypts and whose password cannot be read without a person: its line on
// `errors`, exit 1; a scheduled run records the skip and tells the desktop
// through `notify`, a retry tells nothing new. Otherwise nothing: the run
// goes on.
std::optional<int> AnswerBeforeEncryptedBackup(const std::string& jobName, bool retry,
                                               std::ostream& errors, const DesktopNotice& notify);

} // namespace rk
