#pragma once
// The fixed parts of the zip format that rkzip writes and rkunzip reads
// without libzip: record signatures, record sizes and the system codes.

#include <cstddef>
#include <cstdint>

namespace rk::tools::zip_format {

inline constexpr std::uint32_t kLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;

inline constexpr std::size_t kLocalFixedSize = 30;
inline constexpr std::size_t kCentralFixedSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::size_t kZip64EndSize = 56;
inline constexpr std::size_t kZip64LocatorSize = 20;

// The extra field of Info-ZIP's extended timestamp (flags, then the
// modification time in Unix seconds).
inline constexpr std::uint16_t kExtendedTimestampId = 0x5455;

// The system an entry was made on, the high byte of "version made by".
inline constexpr unsigned kMadeOnUnix = 3;

} // namespace rk::tools::zip_format
