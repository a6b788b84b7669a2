#pragma once
// The temporary folder the runs work in, and the space-free form of a path
// that the utilities' command lines need.

#include <string>
#include <string_view>

namespace rk {

// A folder path in the temporary folder: prefix + the first free number
// ("...\rk0", "...\rk1"), not created; the temporary folder itself when the
// prefix is empty. No trailing backslash unless it is a drive root. Empty
// text when no safe temporary folder can be had (TempFolderProblem says why).
std::string GetTempFolder(std::string_view prefix = {});
// Why there is no temporary folder, naming it; empty text when there is one.
std::string TempFolderProblem();

// The space-free form of an existing path, or the path unchanged.
std::string GetShortPath(std::string_view path);

} // namespace rk
