#pragma once
// The files of a job's copy on other storage, listed once for the Restore
// Files window without holding it up: rclone runs on a thread of its own and
// the answer is handed to the window on its own thread. A window closed
// before the answer comes leaves the listing to end by itself; its answer
// then goes nowhere.

#include "engine/offsite_copy.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QObject;

namespace rk::restore {

// What listing the copy gave: its files, or why it could not be listed.
struct CopyListingAnswer {
    bool listed = false;
    std::vector<RemoteFile> files;
    std::string reason;
};

// Lists the copy `remote` ("NAME:path", as the job records it) now, on the
// caller's thread: the remote is checked against the user's rclone
// configuration first.
CopyListingAnswer ListJobCopy(const std::string& remote);

// Whether the copy holds the archive: a file of its name and of its size
// (a copy of another size is a cut or a different file, not the backup).
bool HeldOnCopy(const std::vector<RemoteFile>& copy, std::string_view archiveName,
                std::uint64_t size);

class CopyListing {
  public:
    // Starts listing `remote`; `done` is called with the answer on the
    // thread of `receiver`, unless this listing has gone by then.
    CopyListing(std::string remote, QObject& receiver,
                std::function<void(const CopyListingAnswer&)> done);
    ~CopyListing();
    CopyListing(const CopyListing&) = delete;
    CopyListing& operator=(const CopyListing&) = delete;

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace rk::restore
