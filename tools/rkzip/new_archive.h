#pragma once
// Writes an archive that does not exist yet, streaming its entries into a
// temporary file beside it ("<archive>.XXXXXX", mode 0600) that is renamed
// into place once complete; an archive that appeared meanwhile is never
// replaced. Small files are packed ahead on every core, larger ones read as
// they are written. Only what the central directory needs stays in memory
// for each entry, and a file that fails on the way is cut from the archive
// without writing the rest again.

#include "tools/rkzip/archive_writer.h"
#include "tools/rkzip/entry_preparation.h"

#include <string>
#include <vector>

namespace rk::tools {

// `prepared` and `outcome.fates` hold one item per file; files whose fate is
// NotStored already are left out. The files' names in the archive are
// unique (the walk takes the first of each name).
void WriteNewArchive(const std::string& archiveHost, const std::string& archiveName,
                     const std::vector<const SourceFile*>& files,
                     const std::vector<Prepared>& prepared,
                     const std::vector<std::string>& linkTargets, WriteOutcome& outcome);

} // namespace rk::tools
