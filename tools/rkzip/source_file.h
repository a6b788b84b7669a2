#pragma once
// One file, link or folder found for an archive, with the change stamp taken
// when it was found (before it is read). Its paths are kept once per folder
// (its place) and built when asked for, so a walk of many files holds little
// more than their names.

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace rk::tools {

// What the archive attribute compares: change time, size and inode.
struct ChangeStamp {
    std::int64_t ctimeNs = 0;
    std::uint64_t size = 0;
    std::uint64_t inode = 0;
    bool operator==(const ChangeStamp&) const = default;
};

ChangeStamp StampOf(const struct stat& info);

enum class SourceKind : std::uint8_t { File, Link, Folder };

// A folder that was walked, or a file named on its own: its host path, its
// Windows path text (for messages and exclusions) and its name in the
// archive, without a trailing "/" (empty at the archive's top).
struct SourcePlace {
    std::string host;
    std::string windows;
    std::string stored;
    // The device of the place's file system, when it was looked at.
    dev_t device = 0;
    bool deviceKnown = false;
};

// Kept for every file found, so its fields are ordered to leave no gaps.
struct SourceFile {
    const SourcePlace* place = nullptr;
    // The entry's name in its place; empty for the place itself (a walked
    // pattern's own folder, or a file named on its own).
    std::string name;
    ChangeStamp stamp;
    std::int64_t mtime = 0; // seconds since the epoch
    mode_t mode = 0;
    // The folder entry this entry lies in (its index among the entries
    // found), or kNoParent; parents are always found before what they hold.
    std::int32_t parent = -1;
    std::uint8_t dosBits = 0;
    bool dosKnown = false; // read only for what gets stored
    // Whether it lies on its place's file system (a file can be mounted
    // over another).
    bool onPlaceDevice = false;
    SourceKind kind = SourceKind::File;
    // Stored unencrypted even when the run encrypts: the deletion record,
    // which, like the entries' names, the program reads without a password.
    bool storedPlain = false;

    std::string HostPath() const;
    std::string WindowsPath() const;
    // The name in the archive; folders end with "/".
    std::string StoredName() const;
};

inline constexpr std::int32_t kNoParent = -1;

// A name added to a host or Windows folder path.
std::string JoinHost(const std::string& folder, const std::string& name);
std::string JoinWindows(const std::string& folder, const std::string& name);

} // namespace rk::tools
