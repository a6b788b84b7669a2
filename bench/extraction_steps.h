#pragma once
// The extraction rows: archives extracted newest first without replacing
// what an earlier (newer) one wrote, by rkunzip and its peers.

#include "bench_context.h"

#include <string>
#include <vector>

namespace rk::bench {

// Extracts `archives` (relative to C:, newest first) into Out/<name>-<tool>
// with each tool, Ravelkeep's time compared to Info-ZIP unzip -n's. Says on
// stderr when rkunzip's files differ from unzip's. `ours`, when given,
// receives rkunzip's run.
TableRow ExtractionRow(const Tools& tools, const Layout& layout, const std::string& label,
                       const std::vector<std::string>& archives, const std::string& name,
                       std::optional<double> limit, std::optional<Measure>* ours = nullptr);

} // namespace rk::bench
