#pragma once
// The mark rkunzip gives a file while it writes it, and the removal of the
// files a killed run left with it. A file is made under a name no other
// file has, locked, then marked (an extended attribute naming the run); the
// mark is taken away once the file is finished and at its name. A file found
// with the mark whose lock nobody holds was left by a run that was killed.
// A user's file never carries the mark by accident; on a file system without
// extended attributes a file carries none and is never taken for a leftover.

#include <string>
#include <string_view>
#include <sys/stat.h>

namespace rk::tools {

// The extended attribute a file carries while rkunzip writes it.
inline constexpr const char* kUnfinishedMark = "user.rkunzip.unfinished";

// Names this run in the marks of the files it writes: its process and when
// it started.
std::string RunIdentity();

// Locks the new file `fd` (held until it is closed) and gives it the mark
// naming `run`; false when the mark could not be given.
bool MarkUnfinished(int fd, const std::string& run);

// Makes the new file `name` in `folderFd` (mode 0600, never over an existing
// name: errno EEXIST) already locked and marked, so that no kill can leave it
// under its name without the mark: made unnamed, marked, then linked to its
// name. Where the file system cannot make unnamed files, it is made at its
// name and marked at once. `marked` tells whether the mark was given; -1
// with errno when no file was made.
int MakeMarkedFile(int folderFd, const std::string& name, const std::string& run, bool& marked);

// Removes `name` in `folderFd`, found as `seen` (links not followed), when it
// is a regular file of this user that carries the mark and whose lock no
// living run holds; true when it did. A link, another user's file, a file
// without the mark or one a run holds locked is left alone.
bool RemoveIfLeftover(int folderFd, const std::string& name, const struct stat& seen);

// Removes every file of `folderFd` whose name starts with `prefix` and ends
// with `suffix` that RemoveIfLeftover takes for a killed run's; how many.
// One reading of the folder; nothing else is looked at.
unsigned RemoveLeftovers(int folderFd, std::string_view prefix, std::string_view suffix);

} // namespace rk::tools
