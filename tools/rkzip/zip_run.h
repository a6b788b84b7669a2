#pragma once
// One run of rkzip: finds the files its command line names, writes them into
// the archive, and clears their archive attribute when asked to.

#include <string>
#include <vector>

namespace rk::tools {

// The exit code of the run for the arguments after the program name.
int RunZip(const std::vector<std::string>& args);

} // namespace rk::tools
