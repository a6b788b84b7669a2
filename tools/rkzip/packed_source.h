#pragma once
// A libzip source serving one file packed ahead: its bytes go into the
// archive as they are, deflated or stored, with the CRC-32 and sizes taken
// when it was packed. A file that grew too large to pack is read as the
// archive is written instead, and deflated by libzip.

#include "tools/rkzip/file_reading.h"
#include "tools/rkzip/packing_ahead.h"

#include <cstddef>
#include <cstdint>
#include <zip.h>

namespace rk::tools {

struct PackedSourceState {
    PackingAhead* packing = nullptr;
    FileReadState* read = nullptr;
    // The file's number in the packing, given once every entry is added (in
    // the order libzip writes them); none for a source libzip dropped before.
    std::size_t job = 0;
    // Taken from the packed entry when libzip first asks.
    const unsigned char* bytes = nullptr;
    std::uint64_t length = 0; // of `bytes`
    std::uint64_t size = 0;
    // Served so far.
    std::uint64_t offset = 0;
    std::uint32_t crc = 0;
    PackedEntry::Outcome outcome = PackedEntry::Outcome::Ready;
    bool queued = false;
    bool dropped = false;
    bool known = false;
    bool deflated = false;
    // Its bytes are encrypted already (WinZip AES-256, entry_encryption.h).
    bool encrypted = false;
    // Whether libzip has read it all.
    bool closed = false;
};

// A new source for `state.read`'s file, to be queued before the archive is
// closed; the entry it is added as must be set to deflate. `state` and its
// packing must outlive the archive.
zip_source_t* MakePackedSource(zip_t* archive, PackedSourceState& state);

} // namespace rk::tools
