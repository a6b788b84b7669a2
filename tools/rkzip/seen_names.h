#pragma once
// The names the last backup run into an archive folder found: kept in the
// folder's archive attribute record (.rkzip-state, table "seen"), so that
// the next run can tell which files and folders are gone since and write
// them into its archive's deletion record.

#include "platform/result.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace rk::tools {

using NameSet = std::unordered_set<std::string>;

class SeenNames {
  public:
    // `recordPath` is the host path of the folder's record.
    explicit SeenNames(std::string recordPath) : recordPath_(std::move(recordPath)) {}

    // The stored names the last run found, or nothing when no run has kept
    // them yet (no record, or a record from before names were kept). A
    // failure when the record exists but cannot be read.
    Result<std::optional<NameSet>> Load() const;

    // Keeps `found` as the names of this run, in one transaction: the names
    // no longer found are dropped and the new ones added. `before` is what
    // Load gave (nothing: every name is written).
    Result<void> Keep(const std::vector<std::string>& found,
                      const std::optional<NameSet>& before) const;

    const std::string& path() const { return recordPath_; }

  private:
    std::string recordPath_;
};

// The names of `before` that `found` does not hold, sorted by their bytes.
std::vector<std::string> GoneNames(const NameSet& before, const std::vector<std::string>& found);

} // namespace rk::tools
