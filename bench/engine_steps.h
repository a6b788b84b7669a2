#pragma once
// The table against the backup engines users would pick instead: borg (lz4),
// restic, rsync with --link-dest (as Back In Time uses it) and duplicity
// without encryption (as Deja Dup uses it), each taking a first backup of a
// home-like tree with duplicate files, an incremental one after changes, a
// full restore of the newest backup and one file picked from it; with the
// size of what each keeps, and the floors of any backup (reading every file,
// writing and flushing the same bytes).

#include "bench_context.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace rk::bench {

// The engines' rows for the tree `source` (relative to C:), whose files are
// `files`; `changes` files change before each incremental backup.
std::vector<TableRow> EngineRows(const Tools& tools, const Layout& layout,
                                 const std::string& source,
                                 const std::vector<std::filesystem::path>& files,
                                 std::size_t changes);

// The column headings of those rows.
std::array<std::string, kColumnCount> EngineHeadings();

} // namespace rk::bench
