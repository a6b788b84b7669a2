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
};

} // namespace rk::tools
