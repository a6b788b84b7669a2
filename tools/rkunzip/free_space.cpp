#include "tools/rkunzip/free_space.h"

#include <algorithm>
#include <sys/statvfs.h>

namespace rk::tools {

namespace {

constexpr std::uint64_t kMostMargin = 64ull << 20;

std::string MebibytesText(std::uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

} // namespace

std::uint64_t FreeMargin(std::uint64_t total) {
    return std::min(kMostMargin, total / 20);
}

bool FreeSpace::Take(std::uint64_t size, std::string& problem) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (size <= left_) {
        left_ -= size;
        return true;
    }
    struct statvfs info {};
    // A file system that cannot tell is not held back.
    if (fstatvfs(folderFd_, &info) != 0 || info.f_frsize == 0)
        return true;
    const auto unit = static_cast<std::uint64_t>(info.f_frsize);
    const std::uint64_t free = static_cast<std::uint64_t>(info.f_bavail) * unit;
    const std::uint64_t margin = FreeMargin(static_cast<std::uint64_t>(info.f_blocks) * unit);
    if (free < margin || free - margin < size) {
        outOfRoom_.store(true, std::memory_order_relaxed);
        problem = "the restore stops here: its " + std::to_string(size) +
                  " bytes would leave less than " + MebibytesText(margin) +
                  " free on the destination's file system (" + std::to_string(free) +
                  " bytes free)";
        return false;
    }
    left_ = free - margin - size;
    return true;
}

} // namespace rk::tools
