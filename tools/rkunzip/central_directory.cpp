#include "tools/rkunzip/central_directory.h"

#include "platform/file_system.h"
#include "tools/common/zip_format.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

using namespace zip_format;

// An archive comment is at most this long, so the end record lies within
// this distance of the end.
constexpr std::size_t kLongestComment = 0xffff;
// The central directory is read this much at a time for the offsets (more
// for a record longer than that).
constexpr std::size_t kDirectoryPiece = 64 * 1024;
// The extra field that holds the sizes and offset too large for the
// record's own fields.
constexpr std::uint64_t kZip64ExtraId = 0x0001;
constexpr std::uint64_t kFieldInZip64 = 0xffffffff;

// The end record whose comment reaches exactly to the end of `tail`.
std::optional<std::size_t> FindEnd(std::string_view tail) {
    if (tail.size() < kEndSize)
        return std::nullopt;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (ZipField(tail, at, 4) == kEndSignature &&
            at + kEndSize + ZipField(tail, at + 20, 2) == tail.size())
            return at;
    }
    return std::nullopt;
}

// Where an entry's local header lies and how many bytes its data takes, as
// its central record says.
struct Placement {
    std::uint64_t offset = 0;
    std::uint64_t packedSize = 0;
};

// The placement in the central record `record` (its whole length), each
// field from the zip64 extra field when the record's own field says so.
std::optional<Placement> PlacementIn(std::string_view record) {
    Placement placement{ZipField(record, 42, 4), ZipField(record, 20, 4)};
    const bool sizeInZip64 = ZipField(record, 24, 4) == kFieldInZip64;
    const bool packedInZip64 = placement.packedSize == kFieldInZip64;
    const bool offsetInZip64 = placement.offset == kFieldInZip64;
    if (!packedInZip64 && !offsetInZip64)
        return placement;
    const std::size_t nameLength = ZipField(record, 28, 2);
    std::size_t at = kCentralFixedSize + nameLength;
    const std::size_t extraEnd = at + ZipField(record, 30, 2);
    while (at + 4 <= extraEnd) {
        const std::uint64_t id = ZipField(record, at, 2);
        const std::size_t length = ZipField(record, at + 2, 2);
        if (at + 4 + length > extraEnd)
            return std::nullopt;
        if (id == kZip64ExtraId) {
            // The fields that do not fit, in this order: size, packed size,
            // offset.
            std::size_t field = at + 4 + (sizeInZip64 ? 8 : 0);
            const std::size_t fieldsEnd = at + 4 + length;
            if (packedInZip64) {
                if (field + 8 > fieldsEnd)
                    return std::nullopt;
                placement.packedSize = ZipField(record, field, 8);
                field += 8;
            }
            if (offsetInZip64) {
                if (field + 8 > fieldsEnd)
                    return std::nullopt;
                placement.offset = ZipField(record, field, 8);
            }
            return placement;
        }
        at += 4 + length;
    }
    return std::nullopt;
}

// True when the data of two entries share bytes: each entry takes at least
// its local header's fixed part and its packed data from its offset on.
bool AnyOverlap(const std::vector<std::uint64_t>& offsets, std::vector<std::uint64_t>& ends) {
    bool ordered = true;
    for (std::size_t i = 1; i < offsets.size() && ordered; ++i)
        ordered = offsets[i - 1] < offsets[i];
    std::vector<std::size_t> order(offsets.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (!ordered)
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
    std::uint64_t reached = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::size_t entry = order[i];
        if (i > 0 && offsets[entry] < reached)
            return true;
        reached = std::max(reached, ends[entry]);
    }
    return false;
}

} // namespace

std::uint64_t ZipField(std::string_view bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

ReadPart FilePartReader(int fd, std::uint64_t size) {
    return [fd, size](std::uint64_t at, std::size_t length) -> std::optional<std::string> {
        if (at > size || size - at < length)
            return std::nullopt;
        std::string part(length, '\0');
        if (!platform::ReadAllBytesAt(fd, at, part.data(), length))
            return std::nullopt;
        return part;
    };
}

std::optional<CentralDirectory> FindCentralDirectory(std::uint64_t archiveSize,
                                                     const ReadPart& read) {
    const std::uint64_t tailSize =
        std::min<std::uint64_t>(archiveSize, kEndSize + kLongestComment + kZip64LocatorSize);
    const std::uint64_t tailStart = archiveSize - tailSize;
    const auto tail = read(tailStart, static_cast<std::size_t>(tailSize));
    if (!tail)
        return std::nullopt;
    const auto found = FindEnd(*tail);
    if (!found)
        return std::nullopt;
    const std::size_t end = *found;
    // One disk only.
    if (ZipField(*tail, end + 4, 2) != 0 || ZipField(*tail, end + 6, 2) != 0 ||
        ZipField(*tail, end + 8, 2) != ZipField(*tail, end + 10, 2))
        return std::nullopt;
    CentralDirectory directory;
    directory.entries = ZipField(*tail, end + 10, 2);
    directory.size = ZipField(*tail, end + 12, 4);
    directory.offset = ZipField(*tail, end + 16, 4);
    std::uint64_t directoryEnd = tailStart + end;
    const bool zip64 = directory.entries == 0xffff || directory.size == 0xffffffff ||
                       directory.offset == 0xffffffff;
    if (zip64) {
        if (end < kZip64LocatorSize ||
            ZipField(*tail, end - kZip64LocatorSize, 4) != kZip64LocatorSignature)
            return std::nullopt;
        const std::uint64_t at = ZipField(*tail, end - kZip64LocatorSize + 8, 8);
        if (at > directoryEnd - kZip64LocatorSize ||
            directoryEnd - kZip64LocatorSize - at < kZip64EndSize)
            return std::nullopt;
        const auto record = read(at, kZip64EndSize);
        if (!record || ZipField(*record, 0, 4) != kZip64EndSignature ||
            ZipField(*record, 16, 4) != 0 || ZipField(*record, 20, 4) != 0 ||
            ZipField(*record, 24, 8) != ZipField(*record, 32, 8))
            return std::nullopt;
        directory.entries = ZipField(*record, 32, 8);
        directory.size = ZipField(*record, 40, 8);
        directory.offset = ZipField(*record, 48, 8);
        directoryEnd = at;
    }
    if (directory.offset > directoryEnd || directoryEnd - directory.offset != directory.size)
        return std::nullopt;
    return directory;
}

std::optional<DirectoryFacts> ReadDirectoryFacts(std::uint64_t archiveSize, const ReadPart& read) {
    const auto directory = FindCentralDirectory(archiveSize, read);
    // Every record takes at least its fixed part.
    if (!directory || directory->entries > directory->size / kCentralFixedSize)
        return std::nullopt;
    DirectoryFacts facts;
    std::vector<std::uint64_t>& offsets = facts.localHeaders;
    offsets.reserve(static_cast<std::size_t>(directory->entries));
    std::vector<std::uint64_t> ends;
    ends.reserve(static_cast<std::size_t>(directory->entries));
    std::uint64_t pieceStart = directory->offset;
    std::string piece;
    std::size_t at = 0;
    const std::uint64_t end = directory->offset + directory->size;
    // Makes the piece hold `need` bytes from `at` on, reading on from there.
    const auto hold = [&](std::size_t need) {
        if (piece.size() - at >= need)
            return true;
        pieceStart += at;
        at = 0;
        const std::uint64_t left = end - pieceStart;
        if (left < need)
            return false;
        auto next = read(pieceStart, static_cast<std::size_t>(std::min<std::uint64_t>(
                                         left, std::max(need, kDirectoryPiece))));
        if (!next)
            return false;
        piece = std::move(*next);
        return true;
    };
    for (std::uint64_t i = 0; i < directory->entries; ++i) {
        if (!hold(kCentralFixedSize) || ZipField(piece, at, 4) != kCentralSignature)
            return std::nullopt;
        const std::size_t recordSize = kCentralFixedSize + ZipField(piece, at + 28, 2) +
                                       ZipField(piece, at + 30, 2) + ZipField(piece, at + 32, 2);
        if (!hold(recordSize))
            return std::nullopt;
        const auto placement = PlacementIn(std::string_view(piece).substr(at, recordSize));
        if (!placement || placement->offset >= archiveSize)
            return std::nullopt;
        offsets.push_back(placement->offset);
        // Beyond the archive's end anyway when it would not fit in 64 bits.
        ends.push_back(placement->packedSize > archiveSize
                           ? archiveSize + 1
                           : placement->offset + kLocalFixedSize + placement->packedSize);
        const std::string_view name =
            std::string_view(piece).substr(at + kCentralFixedSize, ZipField(piece, at + 28, 2));
        if (name.find('\0') != std::string_view::npos)
            facts.namesWithNul.emplace(i, std::string(name));
        at += recordSize;
    }
    if (pieceStart + at != end)
        return std::nullopt;
    facts.overlapping = AnyOverlap(offsets, ends);
    return facts;
}

std::optional<DirectoryFacts> DirectoryFactsOfFile(const std::string& host) {
    const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<DirectoryFacts> facts;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        facts = ReadDirectoryFacts(size, FilePartReader(fd, size));
    }
    close(fd);
    return facts;
}

std::optional<std::vector<std::uint64_t>> LocalHeaderOffsets(std::uint64_t archiveSize,
                                                             const ReadPart& read) {
    auto facts = ReadDirectoryFacts(archiveSize, read);
    if (!facts)
        return std::nullopt;
    return std::move(facts->localHeaders);
}

} // namespace rk::tools
