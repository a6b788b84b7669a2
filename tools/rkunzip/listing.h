#pragma once
// The listing of an archive: the names of the files it holds, one per line,
// CR LF, in Windows form, a name holding a comma in double quotes.

#include "tools/rkunzip/entry_info.h"

#include <string>
#include <zip.h>

namespace rk::tools {

// The listing text of an open archive (folder entries are left out); a name
// holding a NUL byte is listed whole, as `namesWithNul` gives it.
std::string ListingText(zip_t* archive, const NamesWithNul* namesWithNul = nullptr);

} // namespace rk::tools
