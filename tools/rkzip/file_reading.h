#pragma once
// Reading one file for the archive: it is opened by its own path (never
// through a link), and the read state notes when it cannot be read or changed
// while it was read, so that the file keeps its archive attribute.

#include "tools/rkzip/source_file.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <zip.h>

namespace rk::tools {

// Kept for every file packed ahead, so it stays small.
struct FileReadState {
    const SourceFile* file = nullptr;
    int fd = -1;
    int failure = 0; // errno of the failure
    // What a libzip source reading the file reports (ZIP_ER_*).
    std::uint8_t libzipError = ZIP_ER_OK;
    bool failed = false;
    bool changed = false;
    // A file of a compressed type: read and stored, never deflated.
    bool storeAsItIs = false;
    // Asked for: the DOS bits are read through the file once it is open,
    // unless the walk read them already; then `dosRead` says so.
    bool wantsDosBits = false;
    bool dosRead = false;
    std::uint8_t dosBits = 0;
};

// Notes what a libzip source reports for the file; the system's error goes
// with a failure to open or read it.
void SetLibzipError(FileReadState& state, int libzipError);

// The answer to libzip's ZIP_SOURCE_ERROR for the file.
zip_int64_t LibzipErrorData(const FileReadState& state, void* data, zip_uint64_t length);

// Opens `state.file` for reading; false (and the failure noted) when it cannot
// be opened or is no regular file.
bool OpenForReading(FileReadState& state);

// Opens `state.file` for reading without looking at it: what it is and
// whether it changed are asked once, with EndsAsFound(), when its content is
// read. False (and the failure noted) when it cannot be opened.
bool OpenWithoutLooking(FileReadState& state);

// Whether the open file is still the regular file found, unchanged: then
// the bytes it had when found are all it holds. Notes it as changed when it
// is not, and as failed (EINVAL) when it is no regular file any more.
bool EndsAsFound(FileReadState& state);

// Closes the file without looking at it again, once EndsAsFound() was asked.
void CloseRead(FileReadState& state);

// Reads up to `length` bytes; 0 at the end, -1 (and the failure noted) when
// the read fails.
ssize_t ReadSome(FileReadState& state, void* data, std::size_t length);

// Closes the file, noting a change since it was found.
void FinishReading(FileReadState& state);

} // namespace rk::tools
