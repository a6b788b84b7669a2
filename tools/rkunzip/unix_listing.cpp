#include "tools/rkunzip/unix_listing.h"

#include "tools/common/stored_names.h"
#include "tools/common/zip_format.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

using namespace zip_format;

// An archive comment is at most this long, so the end record lies within
// this distance of the end.
constexpr std::size_t kLongestComment = 0xffff;

std::uint64_t Get(std::string_view bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

struct Directory {
    std::uint64_t entries = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Reading a part of the archive: the bytes [at, at + length), or nothing.
using ReadPart = std::function<std::optional<std::string>(std::uint64_t at, std::size_t length)>;

// The end record whose comment reaches exactly to the end of `tail`.
std::optional<std::size_t> FindEnd(std::string_view tail) {
    if (tail.size() < kEndSize)
        return std::nullopt;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (Get(tail, at, 4) == kEndSignature &&
            at + kEndSize + Get(tail, at + 20, 2) == tail.size())
            return at;
    }
    return std::nullopt;
}

std::optional<Directory> ReadDirectory(std::uint64_t archiveSize, const ReadPart& read) {
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
    if (Get(*tail, end + 4, 2) != 0 || Get(*tail, end + 6, 2) != 0 ||
        Get(*tail, end + 8, 2) != Get(*tail, end + 10, 2))
        return std::nullopt;
    Directory directory;
    directory.entries = Get(*tail, end + 10, 2);
    directory.size = Get(*tail, end + 12, 4);
    directory.offset = Get(*tail, end + 16, 4);
    std::uint64_t directoryEnd = tailStart + end;
    const bool zip64 = directory.entries == 0xffff || directory.size == 0xffffffff ||
                       directory.offset == 0xffffffff;
    if (zip64) {
        if (end < kZip64LocatorSize ||
            Get(*tail, end - kZip64LocatorSize, 4) != kZip64LocatorSignature)
            return std::nullopt;
        const std::uint64_t at = Get(*tail, end - kZip64LocatorSize + 8, 8);
        if (at > directoryEnd - kZip64LocatorSize ||
            directoryEnd - kZip64LocatorSize - at < kZip64EndSize)
            return std::nullopt;
        const auto record = read(at, kZip64EndSize);
        if (!record || Get(*record, 0, 4) != kZip64EndSignature || Get(*record, 16, 4) != 0 ||
            Get(*record, 20, 4) != 0 || Get(*record, 24, 8) != Get(*record, 32, 8))
            return std::nullopt;
        directory.entries = Get(*record, 32, 8);
        directory.size = Get(*record, 40, 8);
        directory.offset = Get(*record, 48, 8);
        directoryEnd = at;
    }
    if (directory.offset > directoryEnd || directoryEnd - directory.offset != directory.size)
        return std::nullopt;
    return directory;
}

std::optional<std::string> ListingOf(std::uint64_t archiveSize, const ReadPart& read) {
    const auto directory = ReadDirectory(archiveSize, read);
    if (!directory)
        return std::nullopt;
    const auto bytes = read(directory->offset, static_cast<std::size_t>(directory->size));
    if (!bytes)
        return std::nullopt;
    const std::string_view records = *bytes;
    std::string text;
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory->entries; ++i) {
        if (records.size() - at < kCentralFixedSize || Get(records, at, 4) != kCentralSignature ||
            Get(records, at + 5, 1) != kMadeOnUnix)
            return std::nullopt;
        const std::size_t nameLength = Get(records, at + 28, 2);
        const std::size_t recordSize =
            kCentralFixedSize + nameLength + Get(records, at + 30, 2) + Get(records, at + 32, 2);
        if (records.size() - at < recordSize)
            return std::nullopt;
        const auto mode = static_cast<mode_t>(Get(records, at + 38, 4) >> 16);
        std::string_view name = records.substr(at + kCentralFixedSize, nameLength);
        // Names are read as C strings, up to a NUL byte.
        name = name.substr(0, name.find('\0'));
        at += recordSize;
        const bool folder = (mode != 0 && S_ISDIR(mode)) || (!name.empty() && name.back() == '/');
        if (folder)
            continue;
        text += ListingLine(name, false);
        text += "\r\n";
    }
    if (at != records.size())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<std::string> UnixListingText(std::string_view archive) {
    return ListingOf(archive.size(),
                     [archive](std::uint64_t at, std::size_t length) -> std::optional<std::string> {
                         if (at > archive.size() || archive.size() - at < length)
                             return std::nullopt;
                         return std::string(archive.substr(static_cast<std::size_t>(at), length));
                     });
}

std::optional<std::string> UnixListingOfFile(const std::string& host) {
    const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> text;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::uint64_t>(info.st_size);
        text = ListingOf(
            size, [fd, size](std::uint64_t at, std::size_t length) -> std::optional<std::string> {
                if (at > size || size - at < length)
                    return std::nullopt;
                std::string part(length, '\0');
                std::size_t filled = 0;
                while (filled < length) {
                    const ssize_t n = pread(fd, part.data() + filled, length - filled,
                                            static_cast<off_t>(at + filled));
                    if (n <= 0)
                        return std::nullopt;
                    filled += static_cast<std::size_t>(n);
                }
                return part;
            });
    }
    close(fd);
    return text;
}

} // namespace rk::tools
