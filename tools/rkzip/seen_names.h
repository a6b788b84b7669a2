#pragma once
// The names the last backup run into an archive folder found: kept in the
// folder's archive attribute record (.rkzip-state, table "seen"), so that
// the next run can tell which files and folders are gone since and write
// them into its archive's deletion record.

#include "platform/result.h"

#include <functional>
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

    // Keeps the names of this run, in one transaction: `gone` are dropped
    // and `added` (names given one by one as they are written) are added;
    // with `replaceAll` every name held before is dropped first.
    Result<void> Keep(std::size_t addedCount, const std::function<std::string(std::size_t)>& added,
                      const std::vector<std::string>& gone, bool replaceAll) const;

    const std::string& path() const { return recordPath_; }

  private:
    std::string recordPath_;
};

} // namespace rk::tools
