#pragma once
// One file, link or folder found for an archive, with the change stamp taken
// when it was found (before it is read).

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

enum class SourceKind { File, Link, Folder };

struct SourceFile {
    std::string host;    // host path
    std::string windows; // Windows path text, for messages and exclusions
    std::string stored;  // name in the archive; folders end with "/"
    SourceKind kind = SourceKind::File;
    ChangeStamp stamp;
    mode_t mode = 0;
    std::int64_t mtime = 0; // seconds since the epoch
    unsigned dosBits = 0;
    bool dosKnown = false; // read only for what gets stored
    // The folder entry this entry lies in (its index among the entries
    // found), or kNoParent; parents are always found before what they hold.
    std::int32_t parent = -1;
    // The folder pattern the entry was found under (for its stored name with
    // full paths), or kNoRoot for a file named on its own.
    std::uint32_t root = 0;
};

inline constexpr std::int32_t kNoParent = -1;
inline constexpr std::uint32_t kNoRoot = 0xffffffffu;

} // namespace rk::tools
