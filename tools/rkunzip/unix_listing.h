#pragma once
// The listing of an archive whose entries were all made on Unix (every
// archive rkzip writes), read straight from its central directory: their
// names are the stored bytes, so nothing is decoded, and no table of every
// entry is built as libzip builds one when it opens an archive. For anything
// else (an entry made on another system, several disks, records that do not
// add up) it gives nothing, and the listing is made through libzip, which
// also words what is wrong with a damaged archive.

#include <optional>
#include <string>
#include <string_view>

namespace rk::tools {

// The listing text (as ListingText gives it) of the archive whose whole
// content is `archive`.
std::optional<std::string> UnixListingText(std::string_view archive);

// The same for the archive file at `host`; nothing when it cannot be read.
std::optional<std::string> UnixListingOfFile(const std::string& host);

} // namespace rk::tools
