#include "tools/rkunzip/entry_info.h"

#include "tools/common/dos_bits.h"
#include "tools/common/zip_format.h"
#include "tools/rkunzip/entry_times.h"

#include <sys/stat.h>
#include <vector>

namespace rk::tools {

namespace {

bool IsTimeField(zip_uint16_t id) {
    return id == zip_format::kExtendedTimestampId || id == kInfoZipUnixOldId ||
           id == kPkwareUnixId || id == kNtfsId;
}

// The extra fields of the entry that may hold its time, in their order:
// those of the central directory, or of the local header when the central
// directory has none (the local header is read only then).
std::vector<ExtraField> TimeFields(zip_t* archive, zip_uint64_t index) {
    std::vector<ExtraField> fields;
    for (zip_flags_t where : {ZIP_FL_CENTRAL, ZIP_FL_LOCAL}) {
        const zip_int16_t count = zip_file_extra_fields_count(archive, index, where);
        for (zip_int16_t i = 0; i < count; ++i) {
            zip_uint16_t id = 0;
            zip_uint16_t length = 0;
            const zip_uint8_t* data = zip_file_extra_field_get(
                archive, index, static_cast<zip_uint16_t>(i), &id, &length, where);
            if (data != nullptr && IsTimeField(id))
                fields.push_back(
                    {id, std::string_view(reinterpret_cast<const char*>(data), length)});
        }
        if (!fields.empty())
            break;
    }
    return fields;
}

} // namespace

bool ReadEntryName(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                   const NamesWithNul* namesWithNul) {
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
    if (namesWithNul != nullptr && !namesWithNul->empty()) {
        if (const auto whole = namesWithNul->find(index); whole != namesWithNul->end()) {
            info.name = whole->second;
            info.nulInName = true;
        }
    }
    // A name from DOS or Windows that already uses "/" keeps its "\" as a
    // byte of the name: it is the second byte of many Shift-JIS characters.
    info.backslashSeparates = !info.madeOnUnix && info.name.find('/') == std::string::npos;
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
    // Some DOS and Windows writers mark a folder by its attribute alone,
    // without a "/" at the end of its name.
    if (!info.hasMode && (info.dosBits & kDosDirectory) != 0)
        info.kind = EntryKind::Folder;
    const char last = info.name.empty() ? '\0' : info.name.back();
    if (last == '/' || (last == '\\' && info.backslashSeparates))
        info.kind = EntryKind::Folder;
    return true;
}

bool ReadEntryInfo(zip_t* archive, zip_uint64_t index, EntryInfo& info,
                   const NamesWithNul* namesWithNul) {
    if (!ReadEntryName(archive, index, info, namesWithNul))
        return false;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) != 0)
        return false;
    info.size = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : 0;
    if ((st.valid & ZIP_STAT_MTIME) != 0)
        info.mtime = static_cast<std::int64_t>(st.mtime);
    if (const auto exact = ExtraFieldMtime(TimeFields(archive, index), info.mtime))
        info.mtime = *exact;
    return true;
}

} // namespace rk::tools
