#include "tools/rkzip/file_source.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

void Fail(FileReadState& state, int libzipError, int systemError) {
    state.failed = true;
    state.failure = systemError;
    zip_error_set(&state.error, libzipError, systemError);
}

bool SameStamp(const FileReadState& state) {
    struct stat now {};
    return fstat(state.fd, &now) == 0 && StampOf(now) == state.file->stamp;
}

zip_int64_t Open(FileReadState& state) {
    int fd =
        open(state.file->host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOATIME);
    if (fd < 0 && errno == EPERM)
        fd = open(state.file->host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(state, ZIP_ER_OPEN, errno);
        return -1;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Fail(state, ZIP_ER_OPEN, S_ISREG(info.st_mode) ? errno : EINVAL);
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, 0);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    state.fd = fd;
    if (!SameStamp(state))
        state.changed = true;
    return 0;
}

zip_int64_t Read(FileReadState& state, void* data, zip_uint64_t length) {
    for (;;) {
        const ssize_t n = read(state.fd, data, length);
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            Fail(state, ZIP_ER_READ, errno);
            return -1;
        }
    }
}

zip_int64_t Callback(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& state = *static_cast<FileReadState*>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        return Open(state);
    case ZIP_SOURCE_READ:
        return Read(state, data, length);
    case ZIP_SOURCE_CLOSE:
        if (state.fd >= 0) {
            if (!SameStamp(state))
                state.changed = true;
            close(state.fd);
            state.fd = -1;
        }
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
        return zip_error_to_data(&state.error, data, length);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        zip_error_set(&state.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

} // namespace

zip_source_t* MakeFileSource(zip_t* archive, FileReadState& state) {
    zip_error_init(&state.error);
    return zip_source_function(archive, Callback, &state);
}

} // namespace rk::tools
