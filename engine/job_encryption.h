#pragma once
// A job's encryption setting, section "encryption" of its "rkjob.ini":
// "encrypt" ("-1" or "0") says whether new backups are encrypted, and
// "askeachrun" ("-1" or "0") that the password is typed at each run because
// no keyring keeps it (such a job has no unattended runs). The passwords
// themselves are never written there (engine/job_passwords.h).

#include "engine/job.h"
#include "platform/result.h"

namespace rk {

inline constexpr std::string_view kEncryptionSection = "encryption";

struct JobEncryption {
    bool encrypt = false;
    bool askEachRun = false;
    bool operator==(const JobEncryption&) const = default;
};

JobEncryption ReadJobEncryption(const Job& job);
[[nodiscard]] Result<void> WriteJobEncryption(const Job& job, const JobEncryption& encryption);

} // namespace rk
