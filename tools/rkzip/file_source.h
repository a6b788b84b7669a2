#pragma once
// A libzip source that reads one file when the archive is written. It opens
// the file itself (never through a link), and notes when the file cannot be
// read or changed while it was read, so that the file keeps its archive
// attribute.

#include "tools/rkzip/source_file.h"

#include <zip.h>

namespace rk::tools {

struct FileReadState {
    const SourceFile* file = nullptr;
    int fd = -1;
    bool failed = false;
    int failure = 0; // errno of the failure
    bool changed = false;
    zip_error_t error{};
};

// A new source reading `state.file`; `state` must outlive the archive.
zip_source_t* MakeFileSource(zip_t* archive, FileReadState& state);

} // namespace rk::tools
