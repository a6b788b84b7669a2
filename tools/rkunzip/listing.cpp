#include "tools/rkunzip/listing.h"

#include "tools/common/deletion_record.h"
#include "tools/common/stored_names.h"
#include "tools/rkunzip/entry_info.h"

namespace rk::tools {

// An entry without a name cannot be picked: the restore names it instead.
std::string ListingText(zip_t* archive, const NamesWithNul* namesWithNul) {
    std::string text;
    EntryInfo info;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (!ReadEntryName(archive, static_cast<zip_uint64_t>(i), info, namesWithNul) ||
            info.kind == EntryKind::Folder || info.name.empty() || IsDeletionRecordName(info.name))
            continue;
        text += ListingLine(info.name, info.backslashSeparates);
        text += "\r\n";
    }
    return text;
}

} // namespace rk::tools
