#pragma once
// Removing an extracted copy that has served: the windowless consolidation
// and thinning both leave none behind.

#include <filesystem>

namespace rk::restore {

// Removes a folder tree without following links; folders restored without
// write permission for their owner are opened up first.
bool RemoveTree(const std::filesystem::path& folder);

} // namespace rk::restore
