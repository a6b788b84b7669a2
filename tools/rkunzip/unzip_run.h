#pragma once
// One run of rkunzip: a listing or an extraction.

#include <string>
#include <vector>

namespace rk::tools {

// The exit code of the run for the arguments after the program name.
int RunUnzip(const std::vector<std::string>& args);

} // namespace rk::tools
