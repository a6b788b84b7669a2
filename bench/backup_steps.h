#pragma once
// The backup rows: a root backup of a tree by rkzip and its peers, and an
// incremental run after a few files changed, against a bare stat walk.

#include "bench_context.h"

#include <string>
#include <vector>

namespace rk::bench {

// A job folder as the program makes one: the exclusion template copied in,
// and a list file naming every file of `source` (relative to C:).
void PrepareJob(const Layout& layout, const std::string& job, const std::string& source);

// rkzip's command line for a job's backup: "-a+" for a root backup, "-i" for
// an incremental one, into the archive `archive` of the job folder.
std::vector<std::string> BackupArguments(const std::string& mode, const std::string& job,
                                         const std::string& archive);

// Root backups of `source` into `job` (rkzip, as `archive`) and into
// Peers/ (Info-ZIP as `peerName`.zip, 7-Zip as `peerName`-7z.zip), with
// Ravelkeep's time compared to Info-ZIP's; a second row gives the sizes.
std::vector<TableRow> RootBackupRows(const Tools& tools, const Layout& layout,
                                     const std::string& label, const std::string& source,
                                     const std::string& job, const std::string& archive,
                                     const std::string& peerName, std::optional<double> limit);

// A bare walk of `source` that stats every file (find -printf), the floor
// of any incremental run.
std::optional<Measure> StatWalk(const Tools& tools, const Layout& layout,
                                const std::string& source);

// Changes `count` files before each run, then times rkzip -i into `archive` against a stat
// walk of `source` (and Info-ZIP's difference archive from `peerName`.zip).
TableRow IncrementalRow(const Tools& tools, const Layout& layout,
                        const std::vector<std::filesystem::path>& files, std::size_t count,
                        const std::string& source, const std::string& job,
                        const std::string& archive, const std::string& peerName);

} // namespace rk::bench
