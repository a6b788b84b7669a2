#pragma once
// The modification time of an entry from its extra fields, read as Info-ZIP
// reads them: the extended timestamp (0x5455) wins over the older Info-ZIP
// Unix field (0x5855) and PKWARE's Unix field (0x000d), which share one
// layout (access time, then modification time); among fields of one kind the
// last counts. All three hold Unix seconds in UTC. Without any of them the
// NTFS field (0x000a, 100 ns steps since 1601 in UTC) gives the time. Only
// when none of them does is the DOS time, a local time, left.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace rk::tools {

// One extra field as stored: its id and its data.
struct ExtraField {
    std::uint16_t id = 0;
    std::string_view data;
};

// The UTC modification time the fields give, in Unix seconds, or nothing.
// `dosTime` is the DOS time read as local time: a 32-bit time with its top
// bit set is taken as a time past 2038 only when the DOS time is too, and
// else the field's time is not used, as Info-ZIP does.
std::optional<std::int64_t> ExtraFieldMtime(const std::vector<ExtraField>& fields,
                                            std::int64_t dosTime);

inline constexpr std::uint16_t kInfoZipUnixOldId = 0x5855;
inline constexpr std::uint16_t kPkwareUnixId = 0x000d;
inline constexpr std::uint16_t kNtfsId = 0x000a;

} // namespace rk::tools
