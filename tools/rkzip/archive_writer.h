#pragma once
// Writes the found files into the archive with libzip: into a temporary file
// beside it that libzip renames into place, flushed to disk before success.
// A file that cannot be read is left out (and the archive written without
// it); an existing archive stays as it was when the run fails.

#include "tools/rkzip/source_file.h"

#include <string>
#include <vector>

namespace rk::tools {

struct WriteOutcome {
    bool written = false;
    // Why nothing was written, when nothing was.
    std::string failure;
    // Per file given: could not be read (not stored), or changed while read
    // (stored, but keeps its attribute).
    std::vector<bool> unreadable;
    std::vector<bool> changed;
    // One message per file not stored.
    std::vector<std::string> problems;
};

// `archiveHost` is the archive's host path, `archiveName` the text used in
// messages (as given on the command line).
WriteOutcome WriteArchive(const std::string& archiveHost, const std::string& archiveName,
                          const std::vector<const SourceFile*>& files);

} // namespace rk::tools
