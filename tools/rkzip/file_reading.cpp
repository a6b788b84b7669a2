#include "tools/rkzip/file_reading.h"

#include "tools/rkzip/dos_bits_reading.h"
#include "tools/rkzip/progress_report.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// Files from this size are read with sequential read-ahead asked for.
constexpr off_t kLargeFile = 1 << 20;

void Fail(FileReadState& state, int libzipError, int systemError) {
    state.failed = true;
    state.failure = systemError;
    SetLibzipError(state, libzipError);
}

bool SameStamp(const FileReadState& state) {
    struct stat now {};
    return fstat(state.fd, &now) == 0 && StampOf(now) == state.file->stamp;
}

} // namespace

void SetLibzipError(FileReadState& state, int libzipError) {
    state.libzipError = static_cast<std::uint8_t>(libzipError);
}

zip_int64_t LibzipErrorData(const FileReadState& state, void* data, zip_uint64_t length) {
    const bool systemToo = state.libzipError == ZIP_ER_OPEN || state.libzipError == ZIP_ER_READ;
    zip_error_t error;
    zip_error_init(&error);
    zip_error_set(&error, state.libzipError, systemToo ? state.failure : 0);
    const zip_int64_t written = zip_error_to_data(&error, data, length);
    zip_error_fini(&error);
    return written;
}

namespace {

// Opens the file (not through a link); -1 (and the failure noted) when it
// cannot be opened.
int OpenFile(FileReadState& state) {
    const std::string host = state.file->HostPath();
    int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOATIME);
    // O_NOATIME is refused for files of other owners.
    if (fd < 0 && errno == EPERM)
        fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(state, ZIP_ER_OPEN, errno);
        return fd;
    }
    // Through the open file: no second walk of its path.
    if (state.wantsDosBits && !state.file->dosKnown) {
        // Only the low byte's bits are ever stored.
        state.dosBits =
            static_cast<std::uint8_t>(ReadDosBitsOf(fd, DeviceOfFound(*state.file)) & 0xff);
        state.dosRead = true;
    }
    return fd;
}

} // namespace

bool OpenWithoutLooking(FileReadState& state) {
    const int fd = OpenFile(state);
    if (fd < 0)
        return false;
    state.fd = fd;
    return true;
}

bool EndsAsFound(FileReadState& state) {
    struct stat now {};
    if (fstat(state.fd, &now) != 0 || !S_ISREG(now.st_mode)) {
        Fail(state, ZIP_ER_OPEN, EINVAL);
        return false;
    }
    if (StampOf(now) == state.file->stamp)
        return true;
    state.changed = true;
    return false;
}

void CloseRead(FileReadState& state) {
    if (state.fd < 0)
        return;
    close(state.fd);
    state.fd = -1;
    AddProgressFile();
}

bool OpenForReading(FileReadState& state) {
    const int fd = OpenFile(state);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        Fail(state, ZIP_ER_OPEN, S_ISREG(info.st_mode) ? errno : EINVAL);
        close(fd);
        return false;
    }
    // O_NONBLOCK kept the open from waiting on a FIFO put in the file's
    // place; reads of a regular file ignore it, so it stays set.
    if (info.st_size >= kLargeFile)
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    state.fd = fd;
    if (StampOf(info) != state.file->stamp)
        state.changed = true;
    return true;
}

ssize_t ReadSome(FileReadState& state, void* data, std::size_t length) {
    for (;;) {
        const ssize_t n = read(state.fd, data, length);
        if (n >= 0) {
            AddProgressBytes(static_cast<std::size_t>(n));
            return n;
        }
        if (errno != EINTR) {
            Fail(state, ZIP_ER_READ, errno);
            return -1;
        }
    }
}

void FinishReading(FileReadState& state) {
    if (state.fd < 0)
        return;
    if (!SameStamp(state))
        state.changed = true;
    close(state.fd);
    state.fd = -1;
    AddProgressFile();
}

} // namespace rk::tools
