#pragma once
// The two kinds of backup run, numbered as the job commands and the command
// lines of the zip utility know them.

#include <cstdint>

namespace rk {

enum class BackupMode : std::int16_t {
    Root = 0,        // every file, and the job's root backup from then on
    Incremental = 1, // the files changed since they were last backed up
};

} // namespace rk
