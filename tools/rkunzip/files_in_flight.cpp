#include "tools/rkunzip/files_in_flight.h"

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// Made once and never destroyed: the stop watcher may still use them while
// the process exits.
std::array<FileInFlight, kMostWorkers>& Records() {
    static auto* const records = new std::array<FileInFlight, kMostWorkers>;
    return *records;
}

} // namespace

FileInFlight& FileInFlightOf(unsigned worker) {
    return Records().at(worker);
}

bool RemoveFilesInFlight() {
    for (FileInFlight& record : Records()) {
        // Kept locked: the process ends once this is done.
        record.mutex_.lock();
        if (record.folderFd_ >= 0)
            unlinkat(record.folderFd_, record.name_.c_str(), 0);
    }
    return true;
}

} // namespace rk::tools
