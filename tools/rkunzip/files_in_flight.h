#pragma once
// The files rkunzip is writing at this moment, one per worker, so that a stop
// signal can remove them: a stopped restore leaves neither a half-written
// file nor a temporary name in the destination. A file is made and recorded
// under its worker's lock; the clean-up takes every lock and keeps them while
// the process ends, so no file is made after it.

#include <mutex>
#include <string>
#include <utility>

namespace rk::tools {

// How many workers an extraction runs at most.
inline constexpr unsigned kMostWorkers = 2;

class FileInFlight {
  public:
    // Runs `make`, which makes `name` in `folderFd` and gives a descriptor or
    // status (negative when it failed), and records the name as in flight
    // when it succeeded.
    template <typename Make> int Begin(int folderFd, const std::string& name, Make make) {
        const std::lock_guard guard(mutex_);
        const int made = make();
        if (made >= 0) {
            folderFd_ = folderFd;
            name_ = name;
        }
        return made;
    }
    // The file is finished, renamed into place or removed.
    void End() {
        const std::lock_guard guard(mutex_);
        folderFd_ = -1;
    }

  private:
    friend bool RemoveFilesInFlight();

    std::mutex mutex_;
    int folderFd_ = -1;
    std::string name_;
};

// The record of worker `worker` (below kMostWorkers).
FileInFlight& FileInFlightOf(unsigned worker);

// Removes every file in flight and keeps the workers from making more; for
// the stop watcher (WatchStopSignals), so it says the process is to end.
bool RemoveFilesInFlight();

} // namespace rk::tools
