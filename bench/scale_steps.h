#pragma once
// The rows about scale: the file picker's listing and merge of a range of
// large archives, and a tree of about a million small files (root backup and
// its peak memory, an incremental run after a few changes, and the stat walk
// per million files that is the floor of any incremental run).

#include "bench_context.h"

#include <string>
#include <vector>

namespace rk::bench {

// The picker over `copies` copies of `archive` (relative to C:), each holding
// the same names: listed, merged and shown, against its time limit.
std::vector<TableRow> PickerRows(const Tools& tools, const Layout& layout,
                                 const std::string& archive, std::size_t names, unsigned copies);

// Makes a tree of `files` small files and measures it.
std::vector<TableRow> MillionRows(const Tools& tools, const Layout& layout, std::size_t files);

} // namespace rk::bench
