#pragma once
// rkunzip -R@: what the program needs of one archive to restore the state of
// a moment: every file and link it holds with its size and time, the kind
// of run that made it and the names its deletion record holds.

#include "platform/result.h"
#include "tools/common/deletion_record.h"
#include "tools/rkunzip/entry_info.h"

#include <optional>
#include <string>
#include <zip.h>

namespace rk::tools {

// The deletion record of an open archive: nothing when it has none, a
// failure when its entry does not read back or is not a record.
Result<std::optional<DeletionRecord>> ReadDeletionRecord(zip_t* archive);

// The point record's text (UnzipUsage describes its lines), or why it
// cannot be made.
Result<std::string> PointRecordText(zip_t* archive, const NamesWithNul& namesWithNul);

} // namespace rk::tools
