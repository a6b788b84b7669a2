#pragma once
// Extracts the selected entries of an open archive below the destination.

#include "tools/common/command_line.h"
#include "tools/rkunzip/central_directory.h"
#include "tools/rkunzip/entry_selection.h"
#include "tools/rkunzip/safe_output.h"

#include <string>
#include <vector>
#include <zip.h>

namespace rk::tools {

struct ExtractionOutcome {
    std::size_t written = 0;
    std::size_t kept = 0; // already there, not replaced
    // One message per entry refused or not extracted.
    std::vector<std::string> problems;
    // How many of them were encrypted entries no password given opened.
    std::size_t wrongPassword = 0;
};

// The entries may be shared between two workers, which read them through
// the one archive handle, and small ones straight from the archive file at
// `archiveHost` where `facts` (its central directory read beside libzip)
// says they lie.
ExtractionOutcome Extract(zip_t* archive, const std::string& archiveHost,
                          const DirectoryFacts& facts, const UnzipCommand& command,
                          const EntrySelection& selection, Destination& destination);

} // namespace rk::tools
