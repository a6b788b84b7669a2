#include "tools/rkzip/source_walk.h"

#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"
#include "tools/common/stored_names.h"
#include "tools/rkzip/dos_bits_reading.h"
#include "tools/rkzip/task_pool.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace rk::tools {

namespace {

constexpr std::string_view kRecordName = ".rkzip-state";

// Subfolders waiting for a walker hold an open descriptor each; past this
// many, a walker walks the next subfolder itself.
constexpr std::size_t kMostWaitingFolders = 64;

bool HasDrive(const std::string& text) {
    return (text.size() >= 2 && text[1] == ':') || text.rfind("\\\\", 0) == 0;
}

// The Windows text of what `text` names on the host (`host`): the text made
// normal when it names that very entry, else the entry's own text (a name
// ending in a dot or a space, written as it stands, or "\\?\" text).
std::string WindowsTextOf(const std::string& text, const std::string& host) {
    if (HasDrive(text)) {
        std::string normal = rk::platform::NormalizeWindowsPath(text);
        if (normal.rfind(rk::platform::kLiteralPrefix, 0) != 0 &&
            rk::platform::ToHostPath(normal) == host)
            return normal;
    }
    return rk::platform::ToWindowsPath(host);
}

// The names of the folder open as `fd`, sorted, read straight from the
// descriptor (no second descriptor and no stream to set up for each
// folder); false when it cannot be read. The descriptor stays open.
bool ReadNames(int fd, std::vector<std::string>& names) {
    alignas(alignof(dirent64)) char buffer[32 * 1024];
    for (;;) {
        const ssize_t filled = getdents64(fd, buffer, sizeof buffer);
        if (filled < 0)
            return false;
        if (filled == 0)
            break;
        for (std::size_t at = 0; at < static_cast<std::size_t>(filled);) {
            unsigned short length = 0;
            std::memcpy(&length, buffer + at + offsetof(dirent64, d_reclen), sizeof length);
            const std::string_view name(buffer + at + offsetof(dirent64, d_name));
            if (name != "." && name != "..")
                names.emplace_back(name);
            if (length == 0)
                return false;
            at += length;
        }
    }
    std::sort(names.begin(), names.end());
    return true;
}

bool HoldsRecord(const std::vector<std::string>& sortedNames) {
    return std::binary_search(sortedNames.begin(), sortedNames.end(), kRecordName);
}

} // namespace

bool SourceWalk::AddPattern(const std::string& windowsPattern) {
    const size_t separator = windowsPattern.find_last_of("\\/");
    std::string folderText =
        separator == std::string::npos ? std::string() : windowsPattern.substr(0, separator + 1);
    std::string last =
        separator == std::string::npos ? windowsPattern : windowsPattern.substr(separator + 1);
    const bool wildcard = last.find_first_of("*?") != std::string::npos;

    if (!wildcard && !last.empty()) {
        const auto host = rk::platform::ToHostPath(windowsPattern);
        struct stat info {};
        if (!host || stat(host->c_str(), &info) != 0)
            return false;
        if (S_ISDIR(info.st_mode)) {
            folderText = windowsPattern;
            last = "*.*";
        } else {
            struct stat own {};
            if (lstat(host->c_str(), &own) != 0)
                return false;
            const std::string windows = WindowsTextOf(windowsPattern, *host);
            // A single file's name is built and checked at once.
            CheckEveryName();
            if (S_ISLNK(own.st_mode) || S_ISREG(own.st_mode)) {
                std::string stored =
                    settings_.pathStyle == PathStyle::Full ? FullPathName(windows) : last;
                const SourcePlace& place = AddPlace(*host, windows, std::move(stored), &own.st_dev);
                TakeEntry(MakeEntry(place, std::string(), own,
                                    S_ISLNK(own.st_mode) ? SourceKind::Link : SourceKind::File, 0,
                                    false),
                          kNoParent);
            } else {
                notices_.push_back("not a regular file, not stored: " + windows);
            }
            return true;
        }
    }
    if (last.empty())
        last = "*.*";
    if (!found_.empty())
        CheckEveryName();

    std::string hostFolder;
    std::string windowsFolder;
    if (folderText.empty()) {
        hostFolder = std::filesystem::current_path().string();
        windowsFolder = rk::platform::ToWindowsPath(hostFolder);
    } else {
        const auto host = rk::platform::ToHostPath(folderText);
        if (!host)
            return false;
        hostFolder = *host;
        windowsFolder = WindowsTextOf(folderText, hostFolder);
    }
    while (windowsFolder.size() > 1 && windowsFolder.back() == '\\' &&
           !(windowsFolder.size() == 3 && windowsFolder[1] == ':'))
        windowsFolder.pop_back();

    // The folder named by the pattern itself may be reached through a link.
    const int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool full = settings_.pathStyle == PathStyle::Full;
    std::string stored = full ? FullPathName(windowsFolder) : std::string();
    const bool driveRoot = stored.empty();
    struct stat self {};
    const bool looked = fstat(fd, &self) == 0;
    const SourcePlace& place = AddPlace(std::move(hostFolder), std::move(windowsFolder),
                                        std::move(stored), looked ? &self.st_dev : nullptr);
    // With full paths and subfolders, the pattern's folder is stored too (its
    // mode guards what it holds), unless it is the root of a drive.
    std::int32_t parent = kNoParent;
    if (settings_.recurse && full && !driveRoot && looked)
        parent = TakeEntry(MakeEntry(place, std::string(), self, SourceKind::Folder, 0, false),
                           kNoParent);
    Found found;
    TaskPool pool(std::max(1u, std::thread::hardware_concurrency()));
    // The pattern's own folder is walked even when it receives archives.
    pool.Add([&, fd] { WalkFolder(fd, place, last, found, pool, false); });
    pool.Run();
    TakeFound(found, parent);
    return true;
}

bool SourceWalk::IsSkippedInArchiveFolder(const std::string& name) const {
    if (name.compare(0, kRecordName.size(), kRecordName) == 0)
        return true;
    const std::string& archive = settings_.archiveName;
    return name == archive ||
           (name.size() > archive.size() + 1 && name.compare(0, archive.size(), archive) == 0 &&
            name[archive.size()] == '.');
}

bool SourceWalk::IsLeftOutAsHidden(const std::string& host, const std::string& name, dev_t device,
                                   unsigned& dosBits, bool& dosRead) const {
    if (settings_.includeHidden && settings_.includeSystem)
        return false;
    dosBits = ReadDosBitsAt(host, DeviceOf{device, true});
    dosRead = true;
    const bool hidden = (!name.empty() && name[0] == '.') || (dosBits & kDosHidden) != 0;
    const bool system = (dosBits & kDosSystem) != 0;
    return (hidden && !settings_.includeHidden) || (system && !settings_.includeSystem);
}

void SourceWalk::WalkFolder(int folderFd, const SourcePlace& place, const std::string& namePattern,
                            Found& found, TaskPool& pool, bool skipFolderOfBackups) {
    const std::string& windows = place.windows;
    auto say = [&found](Item::Kind kind, std::string text) {
        Item item;
        item.kind = kind;
        item.text = std::move(text);
        found.items.push_back(std::move(item));
    };
    auto take = [&found](Item::Kind kind, SourceFile file) {
        Item item;
        item.kind = kind;
        item.file = std::move(file);
        found.items.push_back(std::move(item));
    };
    struct stat self {};
    if (fstat(folderFd, &self) != 0) {
        close(folderFd);
        return;
    }
    // The descriptor stays open after its names are read, to look at each of
    // them without walking the whole path again.
    std::vector<std::string> names;
    if (!ReadNames(folderFd, names)) {
        const int error = errno;
        // A folder whose names cannot be listed may still be looked into.
        struct stat record {};
        if (skipFolderOfBackups &&
            fstatat(folderFd, std::string(kRecordName).c_str(), &record, AT_SYMLINK_NOFOLLOW) == 0)
            found.holdsBackups = true;
        else
            say(Item::Kind::Problem, "can't read folder " + windows + ": " + ErrnoText(error));
        close(folderFd);
        return;
    }
    // A folder that receives archives (it holds an archive attribute record)
    // keeps backups, not data: storing it would copy every earlier archive
    // into each new one. However often it is reached, it is named each time.
    if (skipFolderOfBackups && HoldsRecord(names)) {
        found.holdsBackups = true;
        close(folderFd);
        return;
    }
    if (!FirstVisit(self.st_dev, self.st_ino)) {
        close(folderFd);
        return; // walked already
    }
    const bool inArchiveFolder =
        self.st_dev == settings_.archiveFolderDevice && self.st_ino == settings_.archiveFolderInode;
    for (auto& name : names) {
        if (inArchiveFolder && IsSkippedInArchiveFolder(name))
            continue;
        struct stat info {};
        if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                say(Item::Kind::Problem,
                    "can't read " + JoinWindows(windows, name) + ": " + ErrnoText(errno));
            continue;
        }
        unsigned dosBits = 0;
        bool dosRead = false;
        if (IsLeftOutAsHidden(JoinHost(place.host, name), name, info.st_dev, dosBits, dosRead))
            continue;
        const std::string childWindows = JoinWindows(windows, name);
        if (S_ISDIR(info.st_mode)) {
            if (!settings_.recurse)
                continue;
            if (settings_.exclusions != nullptr &&
                settings_.exclusions->ExcludesFolder(childWindows))
                continue;
            const int fd =
                openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                say(Item::Kind::Problem,
                    "can't read folder " + childWindows + ": " + ErrnoText(errno));
                continue;
            }
            // Its DOS bits through the open folder, not by its path again.
            if (!dosRead) {
                dosBits = ReadDosBitsOf(fd, DeviceOf{info.st_dev, true});
                dosRead = true;
            }
            // Every folder is an entry of its own, found before what it
            // holds, so its mode and time come back and an empty one too.
            // One that turns out to receive archives is left out when what
            // was found is taken.
            const SourcePlace& inside = AddPlace(JoinHost(place.host, name), childWindows,
                                                 JoinStored(place.stored, name), &info.st_dev);
            take(Item::Kind::Folder,
                 MakeEntry(place, name, info, SourceKind::Folder, dosBits, dosRead));
            // Owned by the item, so it stays where it is as more items come.
            found.items.back().inside = std::make_unique<Found>();
            Found* below = found.items.back().inside.get();
            if (pool.waiting() < kMostWaitingFolders)
                pool.Add([this, fd, &inside, &namePattern, below, &pool] {
                    WalkFolder(fd, inside, namePattern, *below, pool, true);
                });
            else
                WalkFolder(fd, inside, namePattern, *below, pool, true);
            continue;
        }
        if (!rk::platform::WildcardMatch(name, namePattern))
            continue;
        if (settings_.exclusions != nullptr &&
            settings_.exclusions->ExcludesFile(childWindows, name))
            continue;
        if (S_ISREG(info.st_mode)) {
            take(Item::Kind::Entry,
                 MakeEntry(place, std::move(name), info, SourceKind::File, dosBits, dosRead));
        } else if (S_ISLNK(info.st_mode)) {
            take(Item::Kind::Entry,
                 MakeEntry(place, std::move(name), info, SourceKind::Link, dosBits, dosRead));
        } else {
            say(Item::Kind::Notice, "not a regular file, not stored: " + childWindows);
        }
    }
    close(folderFd);
}

void SourceWalk::TakeFound(Found& found, std::int32_t parent) {
    for (auto& item : found.items) {
        switch (item.kind) {
        case Item::Kind::Entry:
            TakeEntry(std::move(item.file), parent);
            break;
        case Item::Kind::Folder: {
            if (item.inside->holdsBackups) {
                notices_.push_back("folder of backups, not stored: " + item.file.WindowsPath());
                break;
            }
            const std::int32_t entry = TakeEntry(std::move(item.file), parent);
            TakeFound(*item.inside, entry == kNoParent ? parent : entry);
            break;
        }
        case Item::Kind::Problem:
            problems_.push_back(std::move(item.text));
            break;
        case Item::Kind::Notice:
            notices_.push_back(std::move(item.text));
            break;
        }
    }
    // What was taken is not needed twice.
    std::vector<Item>().swap(found.items);
}

bool SourceWalk::FirstVisit(dev_t device, ino_t inode) {
    std::lock_guard lock(sharedMutex_);
    return walkedFolders_.insert({device, inode}).second;
}

const SourcePlace& SourceWalk::AddPlace(std::string host, std::string windows, std::string stored,
                                        const dev_t* device) {
    SourcePlace place{std::move(host), std::move(windows), std::move(stored)};
    if (device != nullptr) {
        place.device = *device;
        place.deviceKnown = true;
    }
    std::lock_guard lock(sharedMutex_);
    return places_.emplace_back(std::move(place));
}

void SourceWalk::CheckEveryName() {
    if (checkNames_)
        return;
    checkNames_ = true;
    // The names taken so far cannot repeat one another.
    storedNames_.reserve(found_.size());
    for (const auto& file : found_)
        storedNames_.insert(file.StoredName());
}

SourceFile SourceWalk::MakeEntry(const SourcePlace& place, std::string name,
                                 const struct stat& info, SourceKind kind, unsigned dosBits,
                                 bool dosRead) {
    SourceFile file;
    file.place = &place;
    file.name = std::move(name);
    file.kind = kind;
    file.stamp = StampOf(info);
    file.mode = info.st_mode;
    file.mtime = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    // Only the low byte's bits are ever stored.
    file.dosBits = static_cast<std::uint8_t>(dosBits & 0xff);
    file.dosKnown = dosRead;
    file.onPlaceDevice = place.deviceKnown && place.device == info.st_dev;
    return file;
}

std::int32_t SourceWalk::TakeEntry(SourceFile file, std::int32_t parent) {
    // Names with full paths can only be empty for a drive's root, which is
    // never added; until a second pattern is walked they are not built.
    if (settings_.pathStyle != PathStyle::Full || checkNames_) {
        std::string stored = file.StoredName();
        if (stored.empty() || stored == "/" ||
            (checkNames_ && !storedNames_.insert(std::move(stored)).second))
            return kNoParent;
    }
    file.parent = parent;
    found_.push_back(std::move(file));
    return static_cast<std::int32_t>(found_.size() - 1);
}

} // namespace rk::tools
