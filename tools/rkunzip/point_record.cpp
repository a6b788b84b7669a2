#include "tools/rkunzip/point_record.h"

#include "core/listed_names.h"

namespace rk::tools {

namespace {

// The largest deletion record read: a name per line, some millions of names.
constexpr zip_uint64_t kLargestRecord = 1ull << 30;

} // namespace

Result<std::optional<DeletionRecord>> ReadDeletionRecord(zip_t* archive) {
    using Read = Result<std::optional<DeletionRecord>>;
    const zip_int64_t index =
        zip_name_locate(archive, std::string(kDeletionRecordName).c_str(), ZIP_FL_ENC_RAW);
    if (index < 0)
        return std::optional<DeletionRecord>();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        (stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > kLargestRecord)
        return Read::Failure("the deletion record cannot be read");
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr)
        return Read::Failure(std::string("the deletion record cannot be read: ") +
                             zip_strerror(archive));
    std::string text(static_cast<size_t>(stat.size), '\0');
    zip_uint64_t at = 0;
    while (at < stat.size) {
        const zip_int64_t n = zip_fread(file, text.data() + at, stat.size - at);
        if (n <= 0)
            break;
        at += static_cast<zip_uint64_t>(n);
    }
    // Reading past the end checks the CRC of what was read.
    char extra = 0;
    const bool sound = at == stat.size && zip_fread(file, &extra, 1) == 0;
    std::string why = sound ? std::string() : zip_file_strerror(file);
    zip_fclose(file);
    if (!sound)
        return Read::Failure("the deletion record does not read back: " + why);
    auto record = ReadDeletionRecordText(text);
    if (!record)
        return Read::Failure("the deletion record is damaged");
    return std::optional<DeletionRecord>(std::move(*record));
}

Result<std::string> PointRecordText(zip_t* archive, const NamesWithNul& namesWithNul) {
    std::string text;
    EntryInfo info;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (!ReadEntryInfo(archive, static_cast<zip_uint64_t>(i), info, &namesWithNul))
            return Result<std::string>::Failure("can't read entry " + std::to_string(i) + ": " +
                                                zip_strerror(archive));
        if (info.kind == EntryKind::Folder || info.name.empty() || IsDeletionRecordName(info.name))
            continue;
        text += "F\t";
        text += std::to_string(info.size);
        text += '\t';
        text += std::to_string(info.mtime);
        text += '\t';
        text += rk::ListedName(info.name);
        text += '\n';
    }
    const auto record = ReadDeletionRecord(archive);
    if (!record)
        return Result<std::string>::Failure(record.reason());
    if (*record) {
        text += "R\t";
        text += RecordedRunWord((*record)->run);
        text += '\n';
        for (const auto& name : (*record)->goneNames) {
            text += "X\t";
            text += rk::ListedName(name);
            text += '\n';
        }
    }
    return text;
}

} // namespace rk::tools
