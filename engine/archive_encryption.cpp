#include "engine/archive_encryption.h"

#include "platform/drive_map.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

namespace rk {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kEntrySignature = 0x02014b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEntrySize = 46;
// The end record, its comment (at most 65,535 bytes) and the Zip64 locator.
constexpr long kTailSearched = 65535 + kEndSize + 20;
// An entry is encrypted when bit 0 of its flags is set; method 99 is WinZip
// AES.
constexpr std::uint16_t kEncryptedFlag = 0x0001;
constexpr std::uint16_t kAesMethod = 99;

std::uint64_t Little(const unsigned char* at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes; i-- > 0;)
        value = value << 8 | at[i];
    return value;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool ReadAt(std::FILE* file, std::uint64_t offset, unsigned char* into, std::size_t size) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(into, 1, size, file) == size;
}

struct Directory {
    std::uint64_t offset = 0;
    std::uint64_t entries = 0;
};

std::optional<Directory> FindDirectory(std::FILE* file) {
    if (fseeko(file, 0, SEEK_END) != 0)
        return std::nullopt;
    const off_t size = ftello(file);
    if (size < static_cast<off_t>(kEndSize))
        return std::nullopt;
    const std::uint64_t searched = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(size), static_cast<std::uint64_t>(kTailSearched));
    const std::uint64_t tailStart = static_cast<std::uint64_t>(size) - searched;
    std::vector<unsigned char> tail(searched);
    if (!ReadAt(file, tailStart, tail.data(), tail.size()))
        return std::nullopt;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (Little(&tail[at], 4) != kEndSignature)
            continue;
        Directory directory{Little(&tail[at + 16], 4), Little(&tail[at + 10], 2)};
        // A Zip64 archive keeps the true values in its Zip64 end record.
        if (at >= 20 && Little(&tail[at - 20], 4) == kZip64LocatorSignature) {
            std::array<unsigned char, 56> end{};
            if (ReadAt(file, Little(&tail[at - 20 + 8], 8), end.data(), end.size()) &&
                Little(end.data(), 4) == kZip64EndSignature)
                directory = {Little(&end[48], 8), Little(&end[32], 8)};
        }
        return directory;
    }
    return std::nullopt;
}

} // namespace

bool ArchiveIsEncrypted(const std::string& hostPath) {
    const File file(std::fopen(hostPath.c_str(), "rb"));
    if (!file)
        return false;
    const std::optional<Directory> directory = FindDirectory(file.get());
    if (!directory || fseeko(file.get(), static_cast<off_t>(directory->offset), SEEK_SET) != 0)
        return false;
    std::array<unsigned char, kEntrySize> entry{};
    for (std::uint64_t i = 0; i < directory->entries; ++i) {
        if (std::fread(entry.data(), 1, entry.size(), file.get()) != entry.size() ||
            Little(entry.data(), 4) != kEntrySignature)
            return false;
        const auto flags = static_cast<std::uint16_t>(Little(&entry[8], 2));
        const auto method = static_cast<std::uint16_t>(Little(&entry[10], 2));
        if ((flags & kEncryptedFlag) != 0 || method == kAesMethod)
            return true;
        const std::uint64_t skipped =
            Little(&entry[28], 2) + Little(&entry[30], 2) + Little(&entry[32], 2);
        if (fseeko(file.get(), static_cast<off_t>(skipped), SEEK_CUR) != 0)
            return false;
    }
    return false;
}

bool AnyArchiveEncrypted(const std::vector<std::string>& archivePaths) {
    for (const std::string& path : archivePaths) {
        const std::optional<std::string> host = platform::ToHostPath(path);
        if (host && ArchiveIsEncrypted(*host))
            return true;
    }
    return false;
}

} // namespace rk
