#include "tools/rkunzip/entry_info.h"

#include "tools/common/zip_format.h"

#include <sys/stat.h>

namespace rk::tools {

namespace {

constexpr zip_uint16_t kExtendedTimestampId = zip_format::kExtendedTimestampId;

bool ExtendedMtime(zip_t* archive, zip_uint64_t index, std::int64_t& mtime) {
    for (zip_flags_t where : {ZIP_FL_CENTRAL, ZIP_FL_LOCAL}) {
        zip_uint16_t length = 0;
        const zip_uint8_t* data =
            zip_file_extra_field_get_by_id(archive, index, kExtendedTimestampId, 0, &length, where);
        if (data != nullptr && length >= 5 && (data[0] & 1) != 0) {
            mtime = static_cast<std::int64_t>(static_cast<std::uint32_t>(data[1]) |
                                              static_cast<std::uint32_t>(data[2]) << 8 |
                                              static_cast<std::uint32_t>(data[3]) << 16 |
                                              static_cast<std::uint32_t>(data[4]) << 24);
            return true;
        }
    }
    return false;
}

} // namespace

bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryInfo& info) {
    info = EntryInfo{};
    info.index = index;
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    const bool haveAttributes =
        zip_file_get_external_attributes(archive, index, 0, &opsys, &attributes) == 0;
    // Archives made on Unix hold the bytes of the file system's names, with
    // "/" alone between folders; names from DOS and Windows without the
    // UTF-8 flag are CP437, where "\" also separates.
    info.madeOnUnix = haveAttributes && opsys == ZIP_OPSYS_UNIX;
    const char* name =
        zip_get_name(archive, index, info.madeOnUnix ? ZIP_FL_ENC_RAW : ZIP_FL_ENC_GUESS);
    if (name == nullptr)
        return false;
    info.name = name;
    if (haveAttributes) {
        info.dosBits = attributes & 0xff;
        const auto unixMode = static_cast<mode_t>(attributes >> 16);
        if (info.madeOnUnix && unixMode != 0) {
            info.hasMode = true;
            info.mode = unixMode & 07777;
            if (S_ISLNK(unixMode))
                info.kind = EntryKind::Link;
            else if (S_ISDIR(unixMode))
                info.kind = EntryKind::Folder;
        }
    }
    const char last = info.name.empty() ? '\0' : info.name.back();
    if (last == '/' || (last == '\\' && !info.madeOnUnix))
        info.kind = EntryKind::Folder;
    return true;
}

bool ReadEntryInfo(zip_t* archive, zip_uint64_t index, EntryInfo& info) {
    if (!ReadEntryName(archive, index, info))
        return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) != 0)
        return false;
    info.size = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : 0;
    if ((st.valid & ZIP_STAT_MTIME) != 0)
        info.mtime = static_cast<std::int64_t>(st.mtime);
    ExtendedMtime(archive, index, info.mtime);
    return true;
}

} // namespace rk::tools
