#pragma once
// What rkunzip needs to know of one archive entry: its name, kind, Unix mode
// and DOS attribute bits, and its modification time (from the extended
// timestamp field when present, else the DOS time).

#include <cstdint>
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
    EntryKind kind = EntryKind::File;
    bool hasMode = false;
    mode_t mode = 0; // permission bits, when the archive recorded them
    unsigned dosBits = 0;
    std::int64_t mtime = 0;
    zip_uint64_t size = 0;
};

// False when the entry cannot be read from the central directory.
bool ReadEntryInfo(zip_t* archive, zip_uint64_t index, EntryInfo& info);

// Only the name, kind, mode and DOS bits (size and time left at 0), which is
// all a listing needs.
bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryInfo& info);

} // namespace rk::tools
