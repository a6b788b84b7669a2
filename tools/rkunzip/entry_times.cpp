#include "tools/rkunzip/entry_times.h"

#include "tools/common/zip_format.h"

namespace rk::tools {

namespace {

std::uint64_t Little(std::string_view data, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return value;
}

// The first second of 2038-01-19 UTC less a day: a DOS time from then on
// says an unsigned 32-bit time past 2^31 is meant.
constexpr std::int64_t kDos2038 = 2147483648LL - 86400;

// A 32-bit Unix time as Info-ZIP takes it; nothing when its top bit is set
// and the DOS time does not say it lies past 2038.
std::optional<std::int64_t> UnixSeconds(std::string_view data, std::size_t at,
                                        std::int64_t dosTime) {
    const auto value = static_cast<std::uint32_t>(Little(data, at, 4));
    if ((value & 0x80000000u) != 0 && dosTime < kDos2038)
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kNtfsEpochOffset = 11644473600LL;
constexpr std::uint64_t kNtfsStepsPerSecond = 10000000;

// The modification time of an NTFS field: its attribute 1 after 4 reserved
// bytes, holding the modification, access and creation times.
std::optional<std::int64_t> NtfsMtime(std::string_view data) {
    std::size_t at = 4;
    while (at + 4 <= data.size()) {
        const auto tag = Little(data, at, 2);
        const auto size = static_cast<std::size_t>(Little(data, at + 2, 2));
        at += 4;
        if (size > data.size() - at)
            return std::nullopt;
        if (tag == 1 && size >= 24) {
            const std::uint64_t steps = Little(data, at, 8);
            return static_cast<std::int64_t>(steps / kNtfsStepsPerSecond) - kNtfsEpochOffset;
        }
        at += size;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::int64_t> ExtraFieldMtime(const std::vector<ExtraField>& fields,
                                            std::int64_t dosTime) {
    std::optional<std::int64_t> extended;
    bool extendedSeen = false;
    std::optional<std::int64_t> unixField;
    std::optional<std::int64_t> ntfs;
    for (const auto& field : fields) {
        switch (field.id) {
        case zip_format::kExtendedTimestampId:
            // Each one replaces what came before, even when it holds no
            // modification time.
            extendedSeen = true;
            extended.reset();
            if (field.data.size() >= 5 && (field.data[0] & 1) != 0)
                extended = UnixSeconds(field.data, 1, dosTime);
            break;
        case kInfoZipUnixOldId:
        case kPkwareUnixId:
            if (field.data.size() >= 8)
                unixField = UnixSeconds(field.data, 4, dosTime);
            break;
        case kNtfsId:
            if (const auto time = NtfsMtime(field.data))
                ntfs = time;
            break;
        default:
            break;
        }
    }
    if (extendedSeen)
        return extended ? extended : ntfs;
    if (unixField)
        return unixField;
    return ntfs;
}

} // namespace rk::tools
