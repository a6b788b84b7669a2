#pragma once
// The archive's deletion record as one more file for the entry writer: its
// text is written into a temporary file beside the archive (named as the
// archive's temporary files are, so that a stop signal or the next run
// removes it when this run is killed) and stored under the reserved name,
// through the same writer as every file, so it is compressed and treated
// as the archive's other entries are.

#include "platform/result.h"
#include "tools/rkzip/source_file.h"

#include <string>

namespace rk::tools {

class DeletionEntry {
  public:
    DeletionEntry() = default;
    // Removes the temporary file.
    ~DeletionEntry();
    DeletionEntry(const DeletionEntry&) = delete;
    DeletionEntry& operator=(const DeletionEntry&) = delete;

    // Writes `text` for the archive at `archiveHost`.
    Result<void> Make(const std::string& archiveHost, const std::string& text);

    // The file to store; only after Make succeeded.
    const SourceFile* file() const { return &file_; }

  private:
    SourcePlace place_;
    SourceFile file_;
    std::string path_;
};

} // namespace rk::tools
