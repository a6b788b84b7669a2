#pragma once
// List files named after "@": one entry per line, CR LF or LF line ends.
// Double quotes around a whole line are dropped (a listing quotes names
// holding a comma) and empty lines are skipped. Lines of patterns (rkzip's
// sources and exclusions) also lose their surrounding blanks; lines of
// names (rkunzip's "@" lists) are taken exactly as they stand, as names
// may begin or end with blanks.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

enum class ListLines { Patterns, Names };

// The entries of the list file at `hostPath`, or nothing when it cannot be
// read (`error` then holds the errno value).
std::optional<std::vector<std::string>> ReadListFile(const std::string& hostPath, ListLines lines,
                                                     int* error = nullptr);

// The entries of list-file text.
std::vector<std::string> SplitListText(std::string_view text, ListLines lines);

} // namespace rk::tools
