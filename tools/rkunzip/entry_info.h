#pragma once
// What rkunzip needs to know of one archive entry: its name, kind, Unix mode
// and DOS attribute bits, and its modification time (from the extra fields
// that hold a UTC time when present, else the DOS time).

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <zip.h>

namespace rk::tools {

enum class EntryKind { File, Folder, Link };

struct EntryInfo {
    zip_uint64_t index = 0;
    // The stored bytes for archives made on Unix, else UTF-8.
    std::string name;
    bool madeOnUnix = false;
    // "\\" separates folders too: made on DOS or Windows, no "/" in the name.
    bool backslashSeparates = false;
    // The stored name holds a NUL byte (`name` is then the whole name).
    bool nulInName = false;
    EntryKind kind = EntryKind::File;
    bool hasMode = false;
    mode_t mode = 0; // permission bits, when the archive recorded them
    unsigned dosBits = 0;
    std::int64_t mtime = 0;
    zip_uint64_t size = 0;
};

// The whole stored names holding a NUL byte, by index (DirectoryFacts).
using NamesWithNul = std::map<std::uint64_t, std::string>;

// False when the entry cannot be read from the central directory.
// `namesWithNul` gives the whole names libzip cuts at a NUL byte.
bool ReadEntryInfo(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                   const NamesWithNul* namesWithNul = nullptr);

// Only the name, kind, mode and DOS bits (size and time left at 0), which is
// all a listing needs.
bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                   const NamesWithNul* namesWithNul = nullptr);

} // namespace rk::tools
