#pragma once
// What a job keeps about its copy on other storage, in section "copy" of its
// "rkjob.ini":
//   remote=NAME:path        where the copy goes ("Copy backups to")
//   pendingsince=TIME       the first run since the copy was last complete
//                           that could not send everything (local time,
//                           "yyyy-mm-dd hh:nn:ss"); absent when nothing is
//                           pending
//   pendingreason=TEXT      why the last attempt could not send everything
//   notified=TIME           when the user was last told that copies are
//                           pending
//   replacedcount=N, replaced1..replacedN
//                           archives a checked consolidation or thinning
//                           deleted here, to be deleted from the copy once
//                           what replaced them is there and checked
// What is pending to be sent is not listed: every archive here that the copy
// lacks is sent by the next run, so nothing can be forgotten.

#include "platform/result.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

inline constexpr std::string_view kCopySection = "copy";

// How long copies may stay pending before the user is told.
inline constexpr std::time_t kCopyPendingNoticeAfter = 24 * 60 * 60;

struct CopyRecord {
    std::string remote;
    std::string pendingSince;
    std::string pendingReason;
    std::string notified;
    std::vector<std::string> replaced;

    bool pending() const { return !pendingSince.empty(); }
};

// The record of the job in `jobFolder` (Windows text, JobStoreFolder + name).
CopyRecord ReadCopyRecord(const std::string& jobFolder);

// Sets where the copy goes; an empty text removes the copy setting and
// everything recorded about the copy.
[[nodiscard]] Result<void> WriteCopyRemote(const std::string& jobFolder, const std::string& remote);

// Records that the copy could not be completed at `now` and why; the time it
// has been pending since stays the first one.
[[nodiscard]] Result<void> RecordCopyPending(const std::string& jobFolder,
                                             const std::string& reason, std::time_t now);

// The copy is complete: nothing is pending, nobody needs telling.
[[nodiscard]] Result<void> ClearCopyPending(const std::string& jobFolder);

// The user was told at `now` that copies are pending.
[[nodiscard]] Result<void> RecordCopyNotice(const std::string& jobFolder, std::time_t now);

// Adds archives deleted here by a checked consolidation or thinning to those
// the copy is to lose; nothing is recorded for a job without a copy.
[[nodiscard]] Result<void> RecordReplacedArchives(const std::string& jobFolder,
                                                  const std::vector<std::string>& names);

// The archives the copy is still to lose, replacing the list.
[[nodiscard]] Result<void> WriteReplacedArchives(const std::string& jobFolder,
                                                 const std::vector<std::string>& names);

// Whether the user is to be told now: copies have been pending for
// kCopyPendingNoticeAfter, and the user was not told within that time.
bool CopyNoticeDue(const CopyRecord& record, std::time_t now);

// "Copy to REMOTE pending: REASON", or empty when nothing is pending.
std::string CopyPendingText(const CopyRecord& record);

} // namespace rk
