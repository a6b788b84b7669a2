#pragma once
// List files named after "@": one entry per line, CR LF or LF line ends.
// Surrounding blanks are dropped, and so are double quotes around a whole
// line (a listing quotes names holding a comma). Empty lines are skipped.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

// The entries of the list file at `hostPath`, or nothing when it cannot be
// read (`error` then holds the errno value).
std::optional<std::vector<std::string>> ReadListFile(const std::string& hostPath,
                                                     int* error = nullptr);

// The entries of list-file text.
std::vector<std::string> SplitListText(std::string_view text);

} // namespace rk::tools
