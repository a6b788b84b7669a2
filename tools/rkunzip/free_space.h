#pragma once
// Keeps a restore from filling the file system it writes to. Each file's
// declared size is counted against what was free when last looked at; once
// the count runs out, the file system is asked again. A file that would leave
// less than a margin free stops the run: no more is written.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace rk::tools {

class FreeSpace {
  public:
    // `folderFd`: an open folder on the file system written to, kept open by
    // the caller.
    explicit FreeSpace(int folderFd) : folderFd_(folderFd) {}

    // Counts `size` bytes about to be written; false (and `problem`) when
    // they would leave less than the margin free, and from then on the run
    // is out of room.
    bool Take(std::uint64_t size, std::string& problem);
    bool OutOfRoom() const { return outOfRoom_.load(std::memory_order_relaxed); }

  private:
    std::mutex mutex_;
    int folderFd_;
    std::uint64_t left_ = 0; // what may still be written before looking again
    std::atomic<bool> outOfRoom_{false};
};

// The margin kept free on a file system of `total` bytes: 64 MiB, or a
// twentieth of a smaller one.
std::uint64_t FreeMargin(std::uint64_t total);

} // namespace rk::tools
