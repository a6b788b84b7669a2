#pragma once
// rkunzip -t: reads every entry as an extraction of the whole archive with
// its folders (-d) would, through the same reader and with the same
// refusals, and writes nothing. So an archive a restore refuses in part is
// never found sound.

#include "tools/rkunzip/central_directory.h"

#include <string>
#include <zip.h>

namespace rk::tools {

// The exit code: 0 when every entry reads back, 1 when some do not (each
// named on standard error).
int TestArchive(zip_t* archive, const std::string& archiveHost, const DirectoryFacts& facts,
                const std::string& archiveWindows);

} // namespace rk::tools
