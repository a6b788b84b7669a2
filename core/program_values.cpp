#include "core/program_values.h"

namespace rk {

std::string AppFolder;
std::string JobStoreFolder;
std::string ZipUtilPath;
std::string UnzipUtilPath;

} // namespace rk
