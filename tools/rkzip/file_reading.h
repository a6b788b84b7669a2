#pragma once
// Reading one file for the archive: it is opened by its own path (never
// through a link), and the read state notes when it cannot be read or changed
// while it was read, so that the file keeps its archive attribute.

#include "tools/rkzip/source_file.h"

#include <cstddef>
#include <sys/types.h>
#include <zip.h>

namespace rk::tools {

struct FileReadState {
    const SourceFile* file = nullptr;
    zip_error_t error{};
    int fd = -1;
    int failure = 0; // errno of the failure
    bool failed = false;
    bool changed = false;
};

// Opens `state.file` for reading; false (and the failure noted) when it cannot
// be opened or is no regular file.
bool OpenForReading(FileReadState& state);

// Reads up to `length` bytes; 0 at the end, -1 (and the failure noted) when
// the read fails.
ssize_t ReadSome(FileReadState& state, void* data, std::size_t length);

// Closes the file, noting a change since it was found.
void FinishReading(FileReadState& state);

} // namespace rk::tools
