#pragma once
// The end records and the central directory of an archive, read without
// libzip: for listing archives made on Unix, and for finding where each
// entry's data lies so that workers can read it without sharing libzip's
// handle. Anything unusual (several disks, records that do not add up) gives
// nothing, and the caller goes through libzip.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

// The little-endian field of `size` bytes at `at`.
std::uint64_t ZipField(std::string_view bytes, std::size_t at, int size);

struct CentralDirectory {
    std::uint64_t entries = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Reads the bytes [at, at + length) of an archive, or nothing.
using ReadPart = std::function<std::optional<std::string>(std::uint64_t at, std::size_t length)>;

// Reads parts of the open file `fd` of `size` bytes.
ReadPart FilePartReader(int fd, std::uint64_t size);

// Where the central directory of the archive of `archiveSize` bytes lies
// (zip64 records included).
std::optional<CentralDirectory> FindCentralDirectory(std::uint64_t archiveSize,
                                                     const ReadPart& read);

// What the central directory tells beside libzip, in the order of its
// records (the order of libzip's indexes): where each entry's local header
// lies, and the whole stored names of the entries whose name holds a NUL
// byte (libzip gives such a name cut at the NUL).
// It also tells whether two entries' data share bytes, which no writer does
// but an archive made to inflate one stream many times over.
struct DirectoryFacts {
    std::vector<std::uint64_t> localHeaders;
    std::map<std::uint64_t, std::string> namesWithNul; // by index
    bool overlapping = false;
};

// Reads the central directory a piece at a time.
std::optional<DirectoryFacts> ReadDirectoryFacts(std::uint64_t archiveSize, const ReadPart& read);

// The same for the archive file at `host`; nothing when it cannot be read.
std::optional<DirectoryFacts> DirectoryFactsOfFile(const std::string& host);

// The offset of each entry's local header (ReadDirectoryFacts' localHeaders).
std::optional<std::vector<std::uint64_t>> LocalHeaderOffsets(std::uint64_t archiveSize,
                                                             const ReadPart& read);

} // namespace rk::tools
