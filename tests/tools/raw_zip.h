#pragma once
// Writes zip archives byte by byte, as foreign writers make them: any
// system code, external attributes, name bytes, extra fields and declared
// sizes, so that tests can hold rkunzip to what such archives mean.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rk::test {

inline constexpr std::uint8_t kMadeOnDos = 0;
inline constexpr std::uint8_t kMadeOnUnix = 3;
inline constexpr std::uint8_t kMadeOnNtfs = 10;

struct RawEntry {
    std::string name; // the stored bytes
    std::string content;
    bool deflate = false;
    std::uint8_t madeOn = kMadeOnUnix;
    std::uint32_t externalAttributes = 0;
    std::uint16_t flags = 0;
    // 2001-01-01 00:00:00 as DOS date and time.
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = (21 << 9) | (1 << 5) | 1;
    std::string localExtra;
    std::string centralExtra;
    // The uncompressed size and CRC recorded, when not those of `content`:
    // what was really written, the recorded size and CRC of its start.
    std::optional<std::uint32_t> declaredSize;
    // The packed bytes as they are written, when not those made of
    // `content` (which then gives only the CRC).
    std::optional<std::string> packed;
    // The packed size recorded, when not that of the packed bytes.
    std::optional<std::uint32_t> declaredPackedSize;
    // The central record points at the local header of this earlier entry
    // (by its place in the list), and no local header of its own is written.
    std::optional<std::size_t> sharesDataOf;
};

// A file (or, by its mode, link or folder) as Unix writers store it.
RawEntry UnixEntry(std::string name, std::string content, std::uint32_t mode = 0100644);
// An entry as DOS and Windows writers store it, with its attribute byte.
RawEntry DosEntry(std::string name, std::string content, std::uint8_t dosBits = 0);

// One extra field: its id, its length, its data.
std::string ExtraField(std::uint16_t id, const std::string& data);
// `value` as `size` little-endian bytes.
std::string LittleEndian(std::uint64_t value, int size);

// A raw deflate stream of `count` times `chunk` zero bytes, made by
// compressing the chunk once and repeating its blocks: a stream inflating to
// far more than it takes to build.
std::string RepeatedZerosStream(std::size_t chunk, std::size_t count);

// The whole archive.
std::string RawZip(const std::vector<RawEntry>& entries);

} // namespace rk::test
