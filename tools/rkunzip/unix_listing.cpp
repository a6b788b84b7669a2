#include "tools/rkunzip/unix_listing.h"

#include "tools/common/deletion_record.h"
#include "tools/common/dos_bits.h"
#include "tools/common/stored_names.h"
#include "tools/common/zip_format.h"
#include "tools/rkunzip/central_directory.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

using namespace zip_format;

std::optional<std::string> ListingOf(std::uint64_t archiveSize, const ReadPart& read) {
    const auto directory = FindCentralDirectory(archiveSize, read);
    if (!directory)
        return std::nullopt;
    const auto bytes = read(directory->offset, static_cast<std::size_t>(directory->size));
    if (!bytes)
        return std::nullopt;
    const std::string_view records = *bytes;
    std::string text;
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < directory->entries; ++i) {
        if (records.size() - at < kCentralFixedSize ||
            ZipField(records, at, 4) != kCentralSignature ||
            ZipField(records, at + 5, 1) != kMadeOnUnix)
            return std::nullopt;
        const std::size_t nameLength = ZipField(records, at + 28, 2);
        const std::size_t recordSize = kCentralFixedSize + nameLength +
                                       ZipField(records, at + 30, 2) +
                                       ZipField(records, at + 32, 2);
        if (records.size() - at < recordSize)
            return std::nullopt;
        const auto attributes = static_cast<std::uint32_t>(ZipField(records, at + 38, 4));
        const auto mode = static_cast<mode_t>(attributes >> 16);
        // A name holding a NUL byte is listed whole, in its escaped form.
        const std::string_view name = records.substr(at + kCentralFixedSize, nameLength);
        at += recordSize;
        const bool folder = (mode != 0 && S_ISDIR(mode)) ||
                            (mode == 0 && (attributes & kDosDirectory) != 0) ||
                            (!name.empty() && name.back() == '/');
        // An entry without a name cannot be picked: the restore names it.
        // The deletion record is the program's, never a file.
        if (folder || name.empty() || IsDeletionRecordName(name))
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
        text = ListingOf(size, FilePartReader(fd, size));
    }
    close(fd);
    return text;
}

} // namespace rk::tools
