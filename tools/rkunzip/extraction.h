#pragma once
// Extracts the selected entries of an open archive below the destination.

#include "tools/common/command_line.h"
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
};

// `archiveHost` is the archive's host path, for a second reader when the
// entries are shared between two workers.
ExtractionOutcome Extract(zip_t* archive, const std::string& archiveHost,
                          const UnzipCommand& command, const EntrySelection& selection,
                          Destination& destination);

} // namespace rk::tools
