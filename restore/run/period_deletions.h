#pragma once
// What a consolidated archive records as gone: the files that the archives
// of its period, taken together, leave deleted at the period's end (deleted
// in the period and not made again after), so that the one archive that
// replaces them still gives the tree of that moment.

#include "engine/job.h"

#include <optional>
#include <string>
#include <vector>

namespace rk::restore {

// The listed names gone at the end of the period of the archives (names in
// `folder`, oldest first), from their point records; nothing (and `reason`)
// when a record cannot be had, as from an unzip utility that writes none.
std::optional<std::vector<std::string>> PeriodGoneNames(const Installation& installation,
                                                        const std::string& folder,
                                                        const std::vector<std::string>& archives,
                                                        std::string& reason);

} // namespace rk::restore
