#pragma once
// Writing below the destination folder and nowhere else. Every folder on the
// way is opened without following links, so an entry can never be written
// through a symbolic link (one made by an earlier entry included); files are
// written under a temporary name and put in place without replacing what is
// there, unless asked to. The folders a run makes or writes into are recorded,
// so their modes and times can be set once every file is in place.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>
#include <zip.h>

namespace rk::tools {

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

    // Writes what `read` gives as file `name` in `folderFd`.
    PlaceResult WriteFile(int folderFd, const std::string& name, const ContentReader& read,
                          const FileAttributes& attributes, bool replace, std::string& problem);
    // Makes the link `name` in `folderFd` pointing at `target`, with the
    // modification time `mtime`.
    PlaceResult MakeLink(int folderFd, const std::string& name, const std::string& target,
                         std::int64_t mtime, bool replace, std::string& problem);
    // True when `name` exists in `folderFd` (links are not followed).
    static bool Exists(int folderFd, const std::string& name);

    // Once every worker is done: gives the folders of `entries` that this run
    // made (or, unless `keepExisting`, opened) their recorded mode and time;
    // with `keepExisting`, a folder that was there before the run and had
    // something added gets back the time it had. Deepest folders first.
    // Returns one message per folder that could not be set.
    std::vector<std::string> SetFolderMetadata(const FolderEntries& entries, bool keepExisting);

  private:
    std::string NextTemporaryName();
    // Records that something is about to be added to the folder `folderFd`.
    void AddingTo(int folderFd);
    // Notes the folder `path` just opened as `fd`: made by this run or not.
    void Opened(const std::string& path, int fd, bool made);
    PlaceResult PutInPlace(int folderFd, const std::string& temporary, const std::string& name,
                           bool replace, std::string& problem);

    std::string host_;
    int root_ = -1;
    bool keepExisting_ = false;
    std::set<std::string> linksMade_; // paths as Folder writes them: "/a/b"
    std::map<std::string, int> folders_;
    std::shared_ptr<RunFolders> record_;
    // The open folders that were there before the run and have had nothing
    // added yet, with their paths.
    std::unordered_map<int, std::string> untouched_;
    unsigned counter_ = 0;
    std::string temporaryPrefix_; // names this run's temporary files
    mode_t umask_ = 022;
    std::vector<char> buffer_;
};

} // namespace rk::tools
