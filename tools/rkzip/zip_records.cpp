#include "tools/rkzip/zip_records.h"

#include "tools/common/winzip_aes.h"
#include "tools/common/zip_format.h"

#include <ctime>

namespace rk::tools {

namespace {

using namespace zip_format;

constexpr std::uint16_t kZip64FieldId = 0x0001;
// Made by Unix, zip format version 6.3, as libzip says.
constexpr std::uint16_t kMadeBy = kMadeOnUnix << 8 | 63;
constexpr std::uint16_t kUtf8Flag = 1 << 11;
constexpr std::uint16_t kEncryptedFlag = 1;
constexpr std::uint16_t kMethodStore = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint32_t kOverflow32 = 0xffffffffu;
constexpr std::uint16_t kOverflow16 = 0xffffu;
constexpr std::size_t kTimestampFieldSize = 9;
constexpr std::size_t kZip64LocalFieldSize = 20;

void Put16(std::vector<unsigned char>& out, std::uint64_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, std::uint64_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void Put64(std::vector<unsigned char>& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutBytes(std::vector<unsigned char>& out, std::string_view bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

bool IsFolderName(std::string_view name) {
    return !name.empty() && name.back() == '/';
}

std::uint16_t VersionNeeded(const EntryRecord& record, std::string_view name, bool zip64) {
    if (record.encrypted)
        return kAesVersionNeeded;
    if (zip64)
        return 45;
    if (record.deflated || IsFolderName(name))
        return 20;
    return 10;
}

std::uint16_t Flags(const EntryRecord& record, std::string_view name) {
    return static_cast<std::uint16_t>((NeedsUtf8Flag(name) ? kUtf8Flag : 0) |
                                      (record.encrypted ? kEncryptedFlag : 0));
}

std::uint16_t RealMethod(const EntryRecord& record) {
    return record.deflated ? kMethodDeflate : kMethodStore;
}

std::uint16_t Method(const EntryRecord& record) {
    return record.encrypted ? kAesMethod : RealMethod(record);
}

// AE-2 entries give no CRC: their authentication code checks them.
std::uint32_t ShownCrc(const EntryRecord& record) {
    return record.encrypted ? 0 : record.crc;
}

std::size_t AesFieldSize(const EntryRecord& record) {
    return record.encrypted ? kAesExtraFieldSize : 0;
}

void PutAesField(std::vector<unsigned char>& out, const EntryRecord& record) {
    if (record.encrypted)
        AppendAesExtraField(out, RealMethod(record));
}

void PutTimestampField(std::vector<unsigned char>& out, const EntryRecord& record) {
    if (!record.hasUnixTime)
        return;
    Put16(out, kExtendedTimestampId);
    Put16(out, 5);
    out.push_back(1); // the modification time only
    Put32(out, record.unixTime);
}

// A DOS time field: fields of local time packed in 16 bits each.
void PutDosTime(std::vector<unsigned char>& out, const EntryRecord& record) {
    Put16(out, record.dosTime);
    Put16(out, record.dosDate);
}

void PutCrcAndSizes(std::vector<unsigned char>& out, const EntryRecord& record) {
    Put32(out, ShownCrc(record));
    Put32(out, record.zip64Sizes ? kOverflow32 : record.compressedSize);
    Put32(out, record.zip64Sizes ? kOverflow32 : record.size);
}

} // namespace

void SetTimes(EntryRecord& record, std::int64_t mtime) {
    record.hasUnixTime = mtime >= 0 && mtime <= 0x7fffffff;
    record.unixTime = record.hasUnixTime ? static_cast<std::uint32_t>(mtime) : 0;
    // 1980-01-01 00:00:00, the first DOS time.
    record.dosDate = 1 << 5 | 1;
    record.dosTime = 0;
    const auto seconds = static_cast<time_t>(mtime);
    struct tm local {};
    if (static_cast<std::int64_t>(seconds) != mtime || localtime_r(&seconds, &local) == nullptr)
        return;
    if (local.tm_year < 80)
        local.tm_year = 80;
    if (local.tm_year > 80 + 127) {
        // The last DOS time: 2107-12-31 23:59:58.
        record.dosDate = 127 << 9 | 12 << 5 | 31;
        record.dosTime = 23 << 11 | 59 << 5 | 29;
        return;
    }
    record.dosDate = static_cast<std::uint16_t>((local.tm_year - 80) << 9 |
                                                (local.tm_mon + 1) << 5 | local.tm_mday);
    record.dosTime =
        static_cast<std::uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

bool NeedsUtf8Flag(std::string_view name) {
    bool plain = true;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if ((byte > 31 && byte < 128) || byte == '\r' || byte == '\n' || byte == '\t')
            continue;
        plain = false;
        std::size_t following = 0;
        if ((byte & 0xe0) == 0xc0)
            following = 1;
        else if ((byte & 0xf0) == 0xe0)
            following = 2;
        else if ((byte & 0xf8) == 0xf0)
            following = 3;
        else
            return false;
        if (i + following >= name.size())
            return false;
        for (std::size_t j = 1; j <= following; ++j)
            if ((static_cast<unsigned char>(name[i + j]) & 0xc0) != 0x80)
                return false;
        i += following;
    }
    return !plain;
}

std::size_t LocalCrcOffset() {
    return 14;
}

std::size_t LocalZip64SizesOffset(std::string_view name) {
    return kLocalFixedSize + name.size() + 4;
}

std::vector<unsigned char> LocalCrcAndSizes(const EntryRecord& record) {
    std::vector<unsigned char> out;
    PutCrcAndSizes(out, record);
    return out;
}

std::vector<unsigned char> LocalZip64Sizes(const EntryRecord& record) {
    std::vector<unsigned char> out;
    Put64(out, record.size);
    Put64(out, record.compressedSize);
    return out;
}

void AppendLocalHeader(std::vector<unsigned char>& out, const EntryRecord& record,
                       std::string_view name) {
    Put32(out, kLocalSignature);
    Put16(out, VersionNeeded(record, name, record.zip64Sizes));
    Put16(out, Flags(record, name));
    Put16(out, Method(record));
    PutDosTime(out, record);
    PutCrcAndSizes(out, record);
    Put16(out, name.size());
    Put16(out, (record.zip64Sizes ? kZip64LocalFieldSize : 0) +
                   (record.hasUnixTime ? kTimestampFieldSize : 0) + AesFieldSize(record));
    PutBytes(out, name);
    if (record.zip64Sizes) {
        Put16(out, kZip64FieldId);
        Put16(out, 16);
        Put64(out, record.size);
        Put64(out, record.compressedSize);
    }
    PutTimestampField(out, record);
    PutAesField(out, record);
}

void AppendCentralRecord(std::vector<unsigned char>& out, const EntryRecord& record,
                         std::string_view name) {
    // The zip64 field holds, in this order, each of the three values that
    // does not fit its 32-bit field (all sizes when they are given there in
    // the local header too).
    const bool bigSizes = record.zip64Sizes || record.size > kLargestPlainSize ||
                          record.compressedSize > kLargestPlainSize;
    const bool bigOffset = record.offset > kLargestPlainSize;
    const std::uint16_t zip64Size =
        static_cast<std::uint16_t>((bigSizes ? 16 : 0) + (bigOffset ? 8 : 0));
    const bool zip64 = zip64Size > 0;
    Put32(out, kCentralSignature);
    Put16(out, kMadeBy);
    Put16(out, VersionNeeded(record, name, zip64));
    Put16(out, Flags(record, name));
    Put16(out, Method(record));
    PutDosTime(out, record);
    Put32(out, ShownCrc(record));
    Put32(out, bigSizes ? kOverflow32 : record.compressedSize);
    Put32(out, bigSizes ? kOverflow32 : record.size);
    Put16(out, name.size());
    Put16(out, (zip64 ? 4 + zip64Size : 0) + (record.hasUnixTime ? kTimestampFieldSize : 0) +
                   AesFieldSize(record));
    Put16(out, 0); // comment length
    Put16(out, 0); // disk number
    Put16(out, 0); // internal attributes
    Put32(out, record.externalAttributes);
    Put32(out, bigOffset ? kOverflow32 : record.offset);
    PutBytes(out, name);
    if (zip64) {
        Put16(out, kZip64FieldId);
        Put16(out, zip64Size);
        if (bigSizes) {
            Put64(out, record.size);
            Put64(out, record.compressedSize);
        }
        if (bigOffset)
            Put64(out, record.offset);
    }
    PutTimestampField(out, record);
    PutAesField(out, record);
}

void AppendEndRecords(std::vector<unsigned char>& out, std::uint64_t entries,
                      std::uint64_t directoryOffset, std::uint64_t directorySize) {
    const bool zip64 = entries >= kOverflow16 || directoryOffset > kLargestPlainSize ||
                       directorySize > kLargestPlainSize;
    if (zip64) {
        const std::uint64_t endOffset = directoryOffset + directorySize;
        Put32(out, kZip64EndSignature);
        Put64(out, 44); // the size of the rest of this record
        Put16(out, kMadeBy);
        Put16(out, 45);
        Put32(out, 0); // this disk
        Put32(out, 0); // the disk the directory starts on
        Put64(out, entries);
        Put64(out, entries);
        Put64(out, directorySize);
        Put64(out, directoryOffset);
        Put32(out, kZip64LocatorSignature);
        Put32(out, 0); // the disk of the zip64 end record
        Put64(out, endOffset);
        Put32(out, 1); // disks in all
    }
    const std::uint64_t shownEntries = entries >= kOverflow16 ? kOverflow16 : entries;
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, shownEntries);
    Put16(out, shownEntries);
    Put32(out, directorySize > kLargestPlainSize ? kOverflow32 : directorySize);
    Put32(out, directoryOffset > kLargestPlainSize ? kOverflow32 : directoryOffset);
    Put16(out, 0); // comment length
}

} // namespace rk::tools
