#include "tools/rkzip/source_walk.h"

#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"
#include "tools/common/stored_names.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace rk::tools {

namespace {

constexpr std::string_view kRecordName = ".rkzip-state";

std::string JoinWindows(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '\\' ? folder + name : folder + '\\' + name;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool HasDrive(const std::string& text) {
    return (text.size() >= 2 && text[1] == ':') || text.rfind("\\\\", 0) == 0;
}

// The folder's names, sorted, or nothing when it cannot be read.
bool ReadNames(int fd, std::vector<std::string>& names) {
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const bool ok = errno == 0;
    closedir(dir);
    std::sort(names.begin(), names.end());
    return ok;
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
            const std::string windows = HasDrive(windowsPattern)
                                            ? rk::platform::NormalizeWindowsPath(windowsPattern)
                                            : rk::platform::ToWindowsPath(*host);
            // A single file's name is built and checked at once.
            CheckEveryName();
            root_ = kNoRoot;
            if (S_ISLNK(own.st_mode))
                AddEntry(*host, windows, last, own, SourceKind::Link, 0, false, kNoParent);
            else if (S_ISREG(own.st_mode))
                AddEntry(*host, windows, last, own, SourceKind::File, 0, false, kNoParent);
            else
                notices_.push_back("not a regular file, not stored: " + windows);
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
        windowsFolder = HasDrive(folderText) ? rk::platform::NormalizeWindowsPath(folderText)
                                             : rk::platform::ToWindowsPath(hostFolder);
    }
    while (windowsFolder.size() > 1 && windowsFolder.back() == '\\' &&
           !(windowsFolder.size() == 3 && windowsFolder[1] == ':'))
        windowsFolder.pop_back();

    // The folder named by the pattern itself may be reached through a link.
    const int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    root_ = static_cast<std::uint32_t>(roots_.size());
    roots_.push_back({hostFolder.size(), FullPathName(windowsFolder)});
    // With full paths and subfolders, the pattern's folder is stored too (its
    // mode guards what it holds), unless it is the root of a drive.
    std::int32_t parent = kNoParent;
    struct stat self {};
    if (settings_.recurse && settings_.pathStyle == PathStyle::Full &&
        !roots_.back().stored.empty() && fstat(fd, &self) == 0)
        parent = AddEntry(hostFolder, windowsFolder, std::string(), self, SourceKind::Folder, 0,
                          false, kNoParent);
    WalkFolder(fd, hostFolder, windowsFolder, std::string(), last, parent);
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

bool SourceWalk::IsLeftOutAsHidden(const std::string& host, const std::string& name,
                                   unsigned& dosBits, bool& dosRead) const {
    if (settings_.includeHidden && settings_.includeSystem)
        return false;
    dosBits = ReadDosBits(host);
    dosRead = true;
    const bool hidden = (!name.empty() && name[0] == '.') || (dosBits & kDosHidden) != 0;
    const bool system = (dosBits & kDosSystem) != 0;
    return (hidden && !settings_.includeHidden) || (system && !settings_.includeSystem);
}

void SourceWalk::WalkFolder(int folderFd, const std::string& host, const std::string& windows,
                            const std::string& relative, const std::string& namePattern,
                            std::int32_t parent) {
    struct stat self {};
    if (fstat(folderFd, &self) != 0 || !walkedFolders_.insert({self.st_dev, self.st_ino}).second) {
        close(folderFd);
        return; // walked already
    }
    const bool inArchiveFolder =
        self.st_dev == settings_.archiveFolderDevice && self.st_ino == settings_.archiveFolderInode;
    // The names are read through a second descriptor; this one stays open
    // to look at each of them without walking the whole path again.
    std::vector<std::string> names;
    const int listFd = dup(folderFd);
    if (listFd < 0 || !ReadNames(listFd, names)) {
        problems_.push_back("can't read folder " + windows + ": " + ErrnoText(errno));
        close(folderFd);
        return;
    }
    const bool relativeNames = settings_.pathStyle != PathStyle::Full;
    for (const auto& name : names) {
        if (inArchiveFolder && IsSkippedInArchiveFolder(name))
            continue;
        std::string childHost = JoinHost(host, name);
        struct stat info {};
        if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                problems_.push_back("can't read " + JoinWindows(windows, name) + ": " +
                                    ErrnoText(errno));
            continue;
        }
        unsigned dosBits = 0;
        bool dosRead = false;
        if (IsLeftOutAsHidden(childHost, name, dosBits, dosRead))
            continue;
        std::string childWindows = JoinWindows(windows, name);
        const std::string childRelative =
            relativeNames ? JoinStored(relative, name) : std::string();
        if (S_ISDIR(info.st_mode)) {
            if (!settings_.recurse)
                continue;
            if (settings_.exclusions != nullptr &&
                settings_.exclusions->ExcludesFolder(childWindows))
                continue;
            const int fd =
                openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                problems_.push_back("can't read folder " + childWindows + ": " + ErrnoText(errno));
                continue;
            }
            // A folder that receives archives (it holds an archive attribute
            // record) keeps backups, not data: storing it would copy every
            // earlier archive into each new one.
            struct stat record {};
            if (fstatat(fd, std::string(kRecordName).c_str(), &record, AT_SYMLINK_NOFOLLOW) == 0) {
                notices_.push_back("folder of backups, not stored: " + childWindows);
                close(fd);
                continue;
            }
            // Every folder is an entry of its own, found before what it
            // holds, so its mode and time come back and an empty one too.
            const std::int32_t entry = AddEntry(childHost, childWindows, childRelative, info,
                                                SourceKind::Folder, dosBits, dosRead, parent);
            WalkFolder(fd, childHost, childWindows, childRelative, namePattern,
                       entry == kNoParent ? parent : entry);
            continue;
        }
        if (!rk::platform::WildcardMatch(name, namePattern))
            continue;
        if (settings_.exclusions != nullptr &&
            settings_.exclusions->ExcludesFile(childWindows, name))
            continue;
        if (S_ISREG(info.st_mode)) {
            AddEntry(std::move(childHost), std::move(childWindows), childRelative, info,
                     SourceKind::File, dosBits, dosRead, parent);
        } else if (S_ISLNK(info.st_mode)) {
            AddEntry(std::move(childHost), std::move(childWindows), childRelative, info,
                     SourceKind::Link, dosBits, dosRead, parent);
        } else {
            notices_.push_back("not a regular file, not stored: " + childWindows);
        }
    }
    close(folderFd);
}

std::string SourceWalk::StoredNameOf(const SourceFile& file) const {
    std::string stored;
    if (file.root == kNoRoot) {
        stored = FullPathName(file.windows);
    } else {
        const Root& root = roots_[file.root];
        std::string_view below = std::string_view(file.host).substr(root.hostLength);
        while (!below.empty() && below.front() == '/')
            below.remove_prefix(1);
        stored = below.empty() ? root.stored : JoinStored(root.stored, below);
    }
    if (file.kind == SourceKind::Folder)
        stored += '/';
    return stored;
}

void SourceWalk::NameStored(SourceFile& file) const {
    if (file.stored.empty())
        file.stored = StoredNameOf(file);
}

void SourceWalk::CheckEveryName() {
    if (checkNames_)
        return;
    checkNames_ = true;
    // The names taken so far cannot repeat one another.
    storedNames_.reserve(found_.size());
    for (auto& file : found_) {
        NameStored(file);
        storedNames_.insert(file.stored);
    }
}

std::int32_t SourceWalk::AddEntry(std::string host, std::string windows,
                                  const std::string& relative, const struct stat& info,
                                  SourceKind kind, unsigned dosBits, bool dosRead,
                                  std::int32_t parent) {
    SourceFile file;
    file.host = std::move(host);
    file.windows = std::move(windows);
    file.kind = kind;
    file.root = root_;
    const bool full = settings_.pathStyle == PathStyle::Full;
    if (!full || checkNames_) {
        if (full) {
            file.stored = StoredNameOf(file);
        } else {
            file.stored = relative;
            if (kind == SourceKind::Folder)
                file.stored += '/';
        }
        if (file.stored.empty() || file.stored == "/" ||
            (checkNames_ && !storedNames_.insert(file.stored).second))
            return kNoParent;
    }
    file.stamp = StampOf(info);
    file.mode = info.st_mode;
    file.mtime = static_cast<std::int64_t>(info.st_mtim.tv_sec);
    file.dosBits = dosBits;
    file.dosKnown = dosRead;
    file.parent = parent;
    found_.push_back(std::move(file));
    return static_cast<std::int32_t>(found_.size() - 1);
}

} // namespace rk::tools
