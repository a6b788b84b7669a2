#include "tools/rkzip/file_source.h"

namespace rk::tools {

namespace {

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return AnswerAsFileSource(*static_cast<FileReadState*>(userdata), data, length, command);
}

} // namespace

zip_int64_t AnswerAsFileSource(FileReadState& state, void* data, zip_uint64_t length,
                               zip_source_cmd_t command) {
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return OpenForReading(state) ? 0 : -1;
    case ZIP_SOURCE_READ:
        return ReadSome(state, data, length);
    case ZIP_SOURCE_CLOSE:
        FinishReading(state);
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        st->size = state.file->stamp.size;
        st->mtime = static_cast<time_t>(state.file->mtime);
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return LibzipErrorData(state, data, length);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        SetLibzipError(state, ZIP_ER_OPNOTSUPP);
        return -1;
    }
}

zip_source_t* MakeFileSource(zip_t* archive, FileReadState& state) {
    return zip_source_function(archive, Callback, &state);
}

} // namespace rk::tools
