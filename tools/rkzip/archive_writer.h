#pragma once
// Writes the found files into the archive: a new archive streamed out by
// rkzip itself, entries added to an existing one with libzip; either way into
// a temporary file beside it that is flushed to disk before it is renamed
// into place, and the folder flushed before success.
// A file that cannot be read is left out (and the archive written without
// it); an existing archive stays as it was when the run fails.

#include "platform/result.h"
#include "tools/rkzip/source_file.h"

#include <string>
#include <vector>

namespace rk::tools {

// What became of one file given.
enum class FileFate : unsigned char {
    Stored,
    StoredWhileChanging, // stored, but changed while it was read: keeps its attribute
    NotStored,           // could not be read or added
};

struct WriteOutcome {
    // Whether the archive was written, or why not.
    Result<void> archive;
    // Per file given, in the order given.
    std::vector<FileFate> fates;
    // One message per file not stored.
    std::vector<std::string> problems;
};

// `archiveHost` is the archive's host path, `archiveName` the text used in
// messages (as given on the command line).
WriteOutcome WriteArchive(const std::string& archiveHost, const std::string& archiveName,
                          const std::vector<const SourceFile*>& files);

} // namespace rk::tools
