#pragma once
// The argument text split at each "/": in "/ib/Weekly Job" the text before
// the first "/" is empty, the word after it ("ib", any case) chooses the life,
// and the parts after the next slashes are passed on exactly as written.

#include <string>
#include <string_view>

namespace rk::app {

enum class Life { Interactive, IncrementalBackup, Consolidate, Verify, Thin, Restore };

struct CommandLine {
    Life life = Life::Interactive;
    // "ib", "verify" and "thin": the part after the second "/" ("/ib/NAME").
    std::string jobName;
    // "c": the parts after the second, third and fourth "/"
    // ("/c/START/END/FOLDER").
    std::string startDate;
    std::string endDate;
    std::string sourceFolder;
    // "restore": "/restore/JOB/ARCHIVE/DESTINATION", the job in jobName, the
    // archive that marks the point in time, and everything after the fourth
    // "/" as the destination folder (so it may hold "/" itself).
    std::string archiveName;
    std::string destination;
};

CommandLine ParseCommandLine(std::string_view argumentText);

} // namespace rk::app
