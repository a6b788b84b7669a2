#pragma once
// A lock that the runs working in one folder share: each holds it shared
// while its temporary files exist there, and one that finds it free
// (exclusively) knows that no such run is alive, so leftovers of runs that
// were killed may go. The lock is the hidden file ".rk-lock" in the folder.

#include <string>
#include <string_view>

namespace rk::platform {

class FolderLock {
  public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock of the folder (Windows path text) shared, waiting for
    // an exclusive holder. Not held when the lock file cannot be made.
    static FolderLock Shared(std::string_view windowsFolder);
    // Takes it exclusively when no one holds it, without waiting.
    static FolderLock ExclusiveIfFree(std::string_view windowsFolder);

    bool held() const { return fd_ >= 0; }

  private:
    static FolderLock Take(std::string_view windowsFolder, int operation);
    int fd_ = -1;
};

} // namespace rk::platform
