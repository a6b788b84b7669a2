#pragma once
// One file read as a new archive is written: too large to pack in memory (or
// of a type stored as it is), its content goes into the archive piece by
// piece, deflated by zlib on the way when asked, its CRC-32 and sizes taken
// as it goes.

#include "tools/rkzip/archive_output.h"
#include "tools/rkzip/file_reading.h"
#include "tools/rkzip/zip_records.h"

namespace rk::tools {

enum class Streamed {
    Written,
    ReadFailed, // the file could not be read (noted in the read state)
    TooLarge,   // the content outgrew the sizes the local header can give
    OutputFailed,
};

// Opens `state.file`, appends its content to `out` and closes it, setting
// the record's CRC-32 and sizes. `record.zip64Sizes` says whether content
// past 4 GiB can be written.
Streamed StreamFile(FileReadState& state, bool deflate, ArchiveOutput& out, EntryRecord& record);

} // namespace rk::tools
