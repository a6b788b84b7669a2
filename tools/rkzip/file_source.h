#pragma once
// A libzip source that reads one file as the archive is written, streaming it
// through libzip (which computes its CRC and compresses it when asked to).

#include "tools/rkzip/file_reading.h"

#include <zip.h>

namespace rk::tools {

// A new source reading `state.file`; `state` must outlive the archive.
zip_source_t* MakeFileSource(zip_t* archive, FileReadState& state);

// The answer of such a source to one libzip command, for sources that read
// a file this way when they cannot serve it otherwise.
zip_int64_t AnswerAsFileSource(FileReadState& state, void* data, zip_uint64_t length,
                               zip_source_cmd_t command);

} // namespace rk::tools
