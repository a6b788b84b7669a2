#pragma once
// What rkzip finds out about each file before it writes the archive: whether
// it can be read, how its content is to be packed, a link's target, and the
// attributes its entry carries.

#include "tools/rkzip/file_reading.h"
#include "tools/rkzip/source_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rk::tools {

inline constexpr std::uint32_t kNoLink = 0xffffffffu;

// Kept for every file given, so it stays small; the targets of links are
// kept apart.
struct Prepared {
    int failure = 0;
    bool readable = true;
    // Packed ahead on every core, deflated when that makes it smaller.
    bool packAhead = false;
    // Of a compressed type, or empty: stored as it is.
    bool storeAsItIs = false;
    // For a file read as the archive is written: deflated on the way.
    bool deflate = false;
    std::uint32_t link = kNoLink; // the link's target among the targets read
};

// Looks at the file before the archive is written. Files up to
// kLargestPackedAhead are packed ahead without being opened here (one that
// cannot be read is left out when it is read); files of compressed types and
// empty ones are stored as they are; larger files are opened now, and
// deflated when their start or windows spread over them shrink (one that
// cannot be read is left out from the start). A link's target is added to
// `linkTargets`.
Prepared Prepare(const SourceFile& file, std::vector<std::string>& linkTargets);

// The message naming a file left out because it could not be read (`error`
// is the errno value).
std::string NotReadProblem(const SourceFile& file, int error);

// The entry's external attributes: the mode above, the DOS bits below.
std::uint32_t ExternalAttributes(const SourceFile& file);
// The same, with the DOS bits read through the open file when `read` holds
// them.
std::uint32_t ExternalAttributes(const SourceFile& file, const FileReadState& read);

} // namespace rk::tools
