#pragma once
// Writing below the destination folder and nowhere else. Every folder on the
// way is opened without following links, so an entry can never be written
// through a symbolic link (one made by an earlier entry included). A file
// that must not replace anything is made under its own name, never over what
// is there, and carries a mark (an extended attribute naming the run) until
// it is finished, so that a later run can tell a file a killed run left half
// written from one to keep; a file that replaces what is there is written
// under a temporary name, marked alike, and renamed over it. The first time
// the run adds to a folder that was there before it, the marked temporary
// files a killed run left in it are removed. Folders the run makes are its
// owner's alone (0700) while it writes; the folders a run makes or writes
// into are recorded, so their modes and times can be set once every file is
// in place.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include <zip.h>

namespace rk::tools {

class FileInFlight;
class FreeSpace;

enum class PlaceResult { Written, Existed, Refused, Failed };

struct FileAttributes {
    mode_t mode = 0644;
    std::int64_t mtime = 0;
    unsigned dosBits = 0; // hidden and system bits to record, if any
};

// What a folder entry records for its folder.
struct FolderMetadata {
    bool hasMode = false;
    mode_t mode = 0;
    std::int64_t mtime = 0;
};

// Folder entries by their path below the destination ("/a/b").
using FolderEntries = std::map<std::string, FolderMetadata>;

class RunFolders;

// Gives a file's content in pieces: how many bytes it put into `data`, 0 at
// the end, -1 on failure (and `problem`).
using ContentReader =
    std::function<std::int64_t(void* data, std::size_t length, std::string& problem)>;

class Destination {
  public:
    Destination() = default;
    ~Destination();
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // Opens the destination folder, making it and its parents when missing.
    // Each worker writing into the same destination has its own number, so
    // their temporary names never meet.
    bool Open(const std::string& host, std::string& error, unsigned worker = 0);
    // Opens the destination of `first` for another worker of the same run;
    // the folders made and written into are recorded for both.
    bool OpenBeside(const Destination& first, std::string& error, unsigned worker);
    const std::string& host() const { return host_; }

    // The folder below the destination for these components, made when
    // missing; -1 when refused or failed (`problem` says why); kShadowed when
    // existing files are kept and a component exists already as a file, or
    // as a link this run did not make: a newer archive extracted before says
    // that path is no folder now, so what lies below it is passed over.
    static constexpr int kShadowed = -2;
    int Folder(const std::vector<std::string>& components, size_t count, std::string& problem);
    void KeepExisting(bool keep) { keepExisting_ = keep; }
    // Notes a link this run made at the path of these components: an entry
    // below it is refused, never passed over.
    void NoteLinkMade(const std::vector<std::string>& components);

    // Counts the `size` bytes of a file about to be written against the free
    // space of the destination's file system (shared by the workers); false
    // (and `problem`) when they would leave too little free: the run is then
    // out of room and writes nothing more.
    bool MakeRoomFor(std::uint64_t size, std::string& problem);
    bool OutOfRoom() const;

    // Writes what `read` gives as file `name` in `folderFd`.
    PlaceResult WriteFile(int folderFd, const std::string& name, const ContentReader& read,
                          const FileAttributes& attributes, bool replace, std::string& problem);
    // Makes the link `name` in `folderFd` pointing at `target`, with the
    // modification time `mtime`.
    PlaceResult MakeLink(int folderFd, const std::string& name, const std::string& target,
                         std::int64_t mtime, bool replace, std::string& problem);
    // True when this worker made the folder `folderFd` (as Folder gave it):
    // nothing was there before the run.
    bool MadeByThisRun(int folderFd) const { return madeHere_.count(folderFd) != 0; }
    // True when `name` exists in `folderFd` (links are not followed). A file
    // a killed run left half written, no larger than `entrySize`, does not
    // count: it is removed.
    bool Existing(int folderFd, const std::string& name, std::uint64_t entrySize);

    // Once every worker is done: gives the folders of `entries` that this run
    // made (or, unless `keepExisting`, opened) their recorded mode and time,
    // the mode masked to the permission bits and kept from being writable by
    // others unless the umask lets new folders be; a folder this run made
    // without an entry gets the mode a new folder has. With `keepExisting`, a
    // folder that was there before the run and had something added gets back
    // the time it had. Deepest folders first.
    // Returns one message per folder that could not be set.
    std::vector<std::string> SetFolderMetadata(const FolderEntries& entries, bool keepExisting);

  private:
    std::string NextTemporaryName();
    // Records that something is about to be added to the folder `folderFd`.
    void AddingTo(int folderFd);
    // Notes the folder `path` just opened as `fd`: made by this run or not.
    void Opened(const std::string& path, int fd, bool made);
    // Renames `temporary` to `name`, replacing what is there.
    PlaceResult PutInPlace(int folderFd, const std::string& temporary, const std::string& name,
                           std::string& problem);
    // Removes `name` (found as `info`) when it is a file marked unfinished
    // that no living run is writing, no larger than `entrySize` and changed
    // last long enough ago; true when it did.
    static bool RemovedIfUnfinished(int folderFd, const std::string& name, const struct stat& info,
                                    std::uint64_t entrySize);
    // Makes the file `name` in `folderFd`, never over anything, locked and
    // (`marked`) carrying the unfinished mark from the moment its name
    // exists where the file system allows; a descriptor, or -1 and errno.
    int MakeMarkedFile(int folderFd, const std::string& name, bool& marked);
    // Writes what `read` gives into `fd` and sets the attributes; false (and
    // `problem`) when any of it failed.
    bool WriteContent(int fd, const ContentReader& read, const FileAttributes& attributes,
                      std::string& problem);
    // Closes the file `fd`, written as `ok` says, taking away its unfinished
    // mark first when `marked` and `ok`; false (and `problem`) when `ok` is
    // false or any of it failed.
    bool Finish(int fd, bool marked, bool ok, std::string& problem);
    // A file that must not replace anything is written under its own name,
    // marked unfinished until done; one that replaces what is there is
    // written under a temporary name and renamed over it.
    PlaceResult WriteNewFile(int folderFd, const std::string& name, const ContentReader& read,
                             const FileAttributes& attributes, std::string& problem);
    PlaceResult ReplaceFile(int folderFd, const std::string& name, const ContentReader& read,
                            const FileAttributes& attributes, std::string& problem);

    std::string host_;
    FileInFlight* inFlight_ = nullptr;
    int root_ = -1;
    bool keepExisting_ = false;
    std::set<std::string> linksMade_; // paths as Folder writes them: "/a/b"
    std::map<std::string, int> folders_;
    std::shared_ptr<RunFolders> record_;
    std::shared_ptr<FreeSpace> freeSpace_;
    // The open folders that were there before the run and have had nothing
    // added yet, with their paths.
    std::unordered_map<int, std::string> untouched_;
    // The open folders this worker made.
    std::unordered_set<int> madeHere_;
    unsigned counter_ = 0;
    std::string temporaryPrefix_; // names this run's temporary files
    std::string runIdentity_;     // the value of the unfinished mark
    mode_t umask_ = 022;
    std::vector<char> buffer_;
};

} // namespace rk::tools
