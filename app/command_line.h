#pragma once
// The argument text's "/"-separated tokens: token 2 (any case) chooses the
// life; the further tokens are passed on exactly as written.

#include <string>
#include <string_view>

namespace rk::app {

enum class Life { Interactive, IncrementalBackup, Consolidate, Verify };

struct CommandLine {
    Life life = Life::Interactive;
    // "ib" and "verify": token 3.
    std::string jobName;
    // "c": tokens 3, 4 and 5.
    std::string startDate;
    std::string endDate;
    std::string sourceFolder;
};

CommandLine ParseCommandLine(std::string_view argumentText);

} // namespace rk::app
