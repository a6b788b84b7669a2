#pragma once
// Finds the files a pattern names: "C:\Data\*.*" (with -r also in every
// subfolder, each found as a folder entry before what it holds), a single
// file, or a folder. Links are taken as links and never followed; a folder
// reached twice is walked once; hidden and system entries are left out
// unless asked for; excluded files, the archive being written and the
// archive attribute record are never taken; sockets, FIFOs and devices, and
// folders that receive archives (they hold an attribute record), are not
// taken, and named as notices.
//
// Names in the archive are built from the names on disk: a backslash inside
// a file name stays part of that name.

#include "tools/common/command_line.h"
#include "tools/common/exclusions.h"
#include "tools/rkzip/source_file.h"

#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace rk::tools {

struct WalkSettings {
    bool recurse = false;
    PathStyle pathStyle = PathStyle::Relative;
    bool includeHidden = false;
    bool includeSystem = false;
    const Exclusions* exclusions = nullptr;
    // The folder the archive is written into, and the archive's file name:
    // that file, libzip's temporary files beside it and the record are skipped.
    dev_t archiveFolderDevice = 0;
    ino_t archiveFolderInode = 0;
    std::string archiveName;
};

class SourceWalk {
  public:
    explicit SourceWalk(WalkSettings settings) : settings_(std::move(settings)) {}

    // Adds what the pattern names. Returns false when it names nothing at all
    // (a missing file or folder).
    bool AddPattern(const std::string& windowsPattern);

    // In the order found; kept in blocks, so that finding more never moves
    // what was found before.
    std::deque<SourceFile>& found() { return found_; }
    // Entries that could not be taken (unreadable folders and files), each
    // with the reason.
    const std::vector<std::string>& problems() const { return problems_; }
    // Entries that are not stored by design (sockets, FIFOs, devices).
    const std::vector<std::string>& notices() const { return notices_; }

  private:
    // What one folder holds, in name order, as a walker found it: entries,
    // subfolders with what they hold, and messages. Folders are walked on
    // every core; what they found is taken in walk order afterwards, so the
    // entries, their parents and the messages come out as one walk in name
    // order gives them.
    struct Found;
    struct Item {
        enum class Kind : std::uint8_t { Entry, Folder, Problem, Notice };
        Kind kind = Kind::Entry;
        SourceFile file;               // Entry, Folder
        std::string text;              // Problem, Notice
        std::unique_ptr<Found> inside; // Folder
    };
    struct Found {
        std::vector<Item> items;
        // The folder receives archives: neither it nor what it holds is taken.
        bool holdsBackups = false;
    };

    // Walks the folder open as `folderFd` (and closes it) into `found`,
    // handing subfolders to `pool`; with `skipFolderOfBackups`, a folder that
    // receives archives is only marked so.
    void WalkFolder(int folderFd, const SourcePlace& place, const std::string& namePattern,
                    Found& found, class TaskPool& pool, bool skipFolderOfBackups);
    // Takes what a folder holds into the entries found, below `parent`.
    void TakeFound(Found& found, std::int32_t parent);
    bool IsSkippedInArchiveFolder(const std::string& name) const;
    bool IsLeftOutAsHidden(const std::string& host, const std::string& name, dev_t device,
                           unsigned& dosBits, bool& dosRead) const;
    static SourceFile MakeEntry(const SourcePlace& place, std::string name, const struct stat& info,
                                SourceKind kind, unsigned dosBits, bool dosRead);
    // Returns the new entry's index, or kNoParent when its name was taken.
    std::int32_t TakeEntry(SourceFile file, std::int32_t parent);
    // May be called by every walker; `device` is that of the place's file
    // system, when it was looked at.
    const SourcePlace& AddPlace(std::string host, std::string windows, std::string stored,
                                const dev_t* device);
    bool FirstVisit(dev_t device, ino_t inode);
    // From here on every entry is named at once and checked against the
    // names taken before it.
    void CheckEveryName();

    WalkSettings settings_;
    std::deque<SourceFile> found_;
    std::deque<SourcePlace> places_;
    std::vector<std::string> problems_;
    std::vector<std::string> notices_;
    std::mutex sharedMutex_; // for places_ and walkedFolders_ while folders are walked
    std::set<std::pair<dev_t, ino_t>> walkedFolders_;
    // Names in the archive can only repeat across patterns; until a second
    // pattern is walked they are neither built nor checked.
    bool checkNames_ = false;
    std::unordered_set<std::string> storedNames_;
};

} // namespace rk::tools
