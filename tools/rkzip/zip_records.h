#pragma once
// The records of a zip archive as rkzip writes a new one: each entry's local
// header before its data, the central directory after all of them, and the
// end records (with their zip64 forms when the archive needs them). They
// match what libzip writes for the same entries, so an archive reads the
// same whichever of the two wrote it.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace rk::tools {

// What the headers of one entry say. Kept for every entry until the central
// directory is written, so it stays small.
struct EntryRecord {
    std::uint64_t offset = 0; // of its local header
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::uint32_t externalAttributes = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t unixTime = 0; // written as an extended timestamp when `hasUnixTime`
    bool hasUnixTime = false;
    bool deflated = false;
    // WinZip AES (AE-2): method 99, the real method in its extra field, and a
    // CRC of 0 in the headers whatever `crc` holds.
    bool encrypted = false;
    // Its sizes are given in a zip64 field in both headers; set before the
    // local header is written, for content that may reach 4 GiB.
    bool zip64Sizes = false;
};

// Bytes of data that fit the headers' 32-bit fields.
inline constexpr std::uint64_t kLargestPlainSize = 0xfffffffeull;

// The entry's modification time as DOS date and time, in local time
// (1980-01-01 for earlier times, the last DOS time for later ones), and as
// an extended timestamp when it fits one.
void SetTimes(EntryRecord& record, std::int64_t mtime);

// True when `name` is to be marked as UTF-8: it holds a byte outside
// printable ASCII and reads as UTF-8 throughout. Other names are stored as
// they are, without the mark.
bool NeedsUtf8Flag(std::string_view name);

// Where, counted from the start of the local header, the CRC-32 and the
// sizes are written, so that they can be filled in after the data.
std::size_t LocalCrcOffset();
std::size_t LocalZip64SizesOffset(std::string_view name);

void AppendLocalHeader(std::vector<unsigned char>& out, const EntryRecord& record,
                       std::string_view name);

// The CRC-32 and sizes as the local header holds them, for filling in.
std::vector<unsigned char> LocalCrcAndSizes(const EntryRecord& record);
std::vector<unsigned char> LocalZip64Sizes(const EntryRecord& record);

void AppendCentralRecord(std::vector<unsigned char>& out, const EntryRecord& record,
                         std::string_view name);

// The end of central directory record, after the zip64 end record and its
// locator when the entries, the directory's size or its place do not fit
// the plain record.
void AppendEndRecords(std::vector<unsigned char>& out, std::uint64_t entries,
                      std::uint64_t directoryOffset, std::uint64_t directorySize);

} // namespace rk::tools
