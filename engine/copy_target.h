#pragma once
// Where a job's copy goes: an rclone remote of the user's own configuration
// and a path on it, written "NAME:path" (as "offsite:backups/Documents").
// The text comes from the job's "rkjob.ini", so it is checked before rclone
// is ever given it: NAME must be one that "rclone listremotes" lists, and the
// path must be plain text that stays inside the remote's folder.

#include "platform/result.h"

#include <string>
#include <string_view>
#include <vector>

namespace rk {

struct CopyTarget {
    std::string remote; // NAME, without the colon
    std::string path;   // without a "/" at its end; may be empty (the remote's top)

    // "NAME:path".
    std::string Text() const;
    // "NAME:path/name": a file or folder inside it.
    std::string Inside(std::string_view name) const;
    // The folder `name` inside it, as a target of its own.
    CopyTarget Child(std::string_view name) const;
};

// The remotes of the user's rclone configuration, without their colons; why
// not, when rclone is missing or cannot list them.
[[nodiscard]] Result<std::vector<std::string>> ListRemotes();

// The target `text` names, when NAME is among `remotes` and the path holds
// no control character and no ".." step; why not, else.
[[nodiscard]] Result<CopyTarget> CheckCopyTarget(std::string_view text,
                                                 const std::vector<std::string>& remotes);

// CheckCopyTarget against the remotes the user's configuration lists now.
[[nodiscard]] Result<CopyTarget> CheckCopyTarget(std::string_view text);

} // namespace rk
