#pragma once
// One file's content made ready for the archive in memory: read whole, its
// CRC-32 taken, and deflated (raw, as zip entries hold it) when that makes it
// smaller; stored as it is otherwise, and always for files of compressed
// types.

#include "tools/rkzip/byte_buffer.h"
#include "tools/rkzip/file_reading.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace rk::tools {

// The deflate level of every deflated entry. libdeflate's level 5 packs
// text about as small as zlib's level 6 (Info-ZIP's default) and 1.4 times
// as fast as its own level 6.
inline constexpr int kDeflateLevel = 5;

struct PackedEntry {
    enum class Outcome : std::uint8_t {
        Ready,    // `bytes` hold the content, deflated or stored
        Failed,   // the file could not be read (noted in the read state)
        TooLarge, // the file grew past the limit while it was read
        Stopped,  // the run asked to stop before the file was read
    };
    Outcome outcome = Outcome::Ready;
    bool deflated = false;
    // `bytes` are encrypted (WinZip AES, see entry_encryption.h).
    bool encrypted = false;
    ByteBuffer bytes;       // as the entry stores them
    std::uint64_t size = 0; // of the content
    std::uint32_t crc = 0;  // of the content
};

// Reads `state.file` whole (at most `limit` bytes) and packs it; stored as
// it is when `state.storeAsItIs`.
PackedEntry PackFile(FileReadState& state, std::size_t limit, const std::atomic<bool>& stop);

// Packs content already read. Content up to kCompressionProbeSize is
// deflated once and kept deflated when that made it smaller; larger content
// is deflated when its start or windows spread over it shrink. Then
// encrypted when the run encrypts what it packs (Failed, with no bytes,
// when that fails).
PackedEntry PackContent(ByteBuffer content, const std::atomic<bool>& stop,
                        bool storeAsItIs = false);

} // namespace rk::tools
