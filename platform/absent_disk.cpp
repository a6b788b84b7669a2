#include "platform/absent_disk.h"

#include "platform/file_system.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <iterator>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::platform {

namespace {

// Symbolic links followed before a path counts as missing (the kernel's own
// limit).
constexpr int kMostLinksFollowed = 40;

// Undoes the octal escapes (\040 for a space, \011, \012, \134) that both
// files use for blanks and backslashes in paths.
std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string_view digits = text.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    std::istringstream in{std::string(line)};
    for (std::string field; in >> field;)
        fields.push_back(field);
    return fields;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    std::istringstream in{std::string(text)};
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The path without a trailing slash ("/" stays).
std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// True when `path` is `folder` or lies inside it.
bool LiesIn(const std::string& path, const std::string& folder) {
    if (folder == "/")
        return true;
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

std::deque<std::string> Components(std::string_view path) {
    std::deque<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string_view::npos)
            slash = path.size();
        if (slash > start)
            parts.emplace_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// A path split where it stops existing: the nearest existing folder with
// every symbolic link on the way followed, and the names below it that are
// not there.
struct SplitPath {
    std::string existing = "/";
    std::vector<std::string> missing;
};

SplitPath Split(const std::string& hostPath, const std::string& fileRoot) {
    SplitPath split;
    std::deque<std::string> pending = Components(hostPath);
    int linksFollowed = 0;
    while (!pending.empty()) {
        const std::string name = pending.front();
        pending.pop_front();
        if (name == ".")
            continue;
        if (name == "..") {
            if (!split.missing.empty())
                split.missing.pop_back();
            else
                split.existing = Parent(split.existing);
            continue;
        }
        if (!split.missing.empty()) {
            split.missing.push_back(name);
            continue;
        }
        const std::string candidate = Joined(split.existing, name);
        struct stat info {};
        if (lstat((fileRoot + candidate).c_str(), &info) != 0) {
            split.missing.push_back(name);
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            std::string target(4096, '\0');
            const ssize_t length =
                readlink((fileRoot + candidate).c_str(), target.data(), target.size());
            if (length <= 0 || ++linksFollowed > kMostLinksFollowed) {
                split.missing.push_back(name);
                continue;
            }
            target.resize(static_cast<std::size_t>(length));
            if (target.front() == '/')
                split.existing = "/";
            std::deque<std::string> targetParts = Components(target);
            pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
            continue;
        }
        split.existing = candidate;
    }
    return split;
}

bool IsEmptyFolder(const std::string& path) {
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr)
        return false;
    bool empty = true;
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            empty = false;
            break;
        }
    }
    closedir(folder);
    return empty;
}

// The mount lying over `point` now (the last one made there), if any.
const MountedFileSystem* TopMount(const std::vector<MountedFileSystem>& mounts,
                                  const std::string& point) {
    const MountedFileSystem* top = nullptr;
    for (const MountedFileSystem& mount : mounts)
        if (mount.mountPoint == point)
            top = &mount;
    return top;
}

// The mount that holds `path`: the one with the longest mount point it lies
// in.
const MountedFileSystem* HoldingMount(const std::vector<MountedFileSystem>& mounts,
                                      const std::string& path) {
    const MountedFileSystem* holding = nullptr;
    for (const MountedFileSystem& mount : mounts)
        if (LiesIn(path, mount.mountPoint) &&
            (holding == nullptr || mount.mountPoint.size() >= holding->mountPoint.size()))
            holding = &mount;
    return holding;
}

// The folders desktops and people mount removable disks on by habit.
bool IsRemovableDiskPlace(const std::string& path, const std::string& userName) {
    if (path == "/mnt" || Parent(path) == "/mnt")
        return true;
    if (userName.empty() || path == "/")
        return false;
    const std::string parent = Parent(path);
    return parent == "/media/" + userName || parent == "/run/media/" + userName;
}

std::string UserName() {
    std::string buffer(16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_name != nullptr)
        return found->pw_name;
    for (const char* variable : {"USER", "LOGNAME"})
        if (const char* name = std::getenv(variable); name != nullptr && *name != '\0')
            return name;
    return {};
}

} // namespace

std::vector<MountedFileSystem> ParseMountInfo(std::string_view mountInfo) {
    std::vector<MountedFileSystem> mounts;
    for (const std::string& line : Lines(mountInfo)) {
        const std::vector<std::string> fields = Fields(line);
        // id parent major:minor root mountpoint options [optional...] - type source ...
        const auto separator = std::find(
            fields.begin() + std::min<std::ptrdiff_t>(std::ssize(fields), 6), fields.end(), "-");
        if (fields.size() < 5 || separator == fields.end() || separator + 1 == fields.end())
            continue;
        mounts.push_back({WithoutTrailingSlash(Unescaped(fields[4])), *(separator + 1)});
    }
    return mounts;
}

std::vector<std::string> ParseFstabMountPoints(std::string_view fstab) {
    std::vector<std::string> points;
    for (const std::string& line : Lines(fstab)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() < 2 || fields[0].front() == '#')
            continue;
        const std::string point = WithoutTrailingSlash(Unescaped(fields[1]));
        if (point.front() != '/' || (fields.size() > 2 && fields[2] == "swap"))
            continue;
        points.push_back(point);
    }
    return points;
}

std::optional<std::string> AbsentDiskMountPoint(const std::string& hostPath,
                                                const DiskPlaces& places) {
    if (hostPath.empty() || hostPath.front() != '/')
        return std::nullopt;
    const SplitPath split = Split(hostPath, places.fileRoot);
    if (split.missing.empty())
        return std::nullopt;
    const std::vector<MountedFileSystem> mounts = ParseMountInfo(places.mountInfo);
    const std::vector<std::string> listed = ParseFstabMountPoints(places.fstab);

    // An automounter's placeholder with nothing mounted over it: the disk it
    // stands for did not come when the folder was looked at.
    if (const MountedFileSystem* holding = HoldingMount(mounts, split.existing);
        holding != nullptr && holding->type == "autofs")
        return holding->mountPoint;

    // Below a disk that is mounted at a removable place, the habit of that
    // place no longer tells anything: a missing folder there is a mistake.
    bool diskMountedAbove = false;
    std::optional<std::string> absentAt;
    std::string place = split.existing;
    for (std::size_t depth = 0; depth <= split.missing.size(); ++depth) {
        if (depth > 0)
            place = Joined(place, split.missing[depth - 1]);
        const bool inFstab =
            place != "/" && std::find(listed.begin(), listed.end(), place) != listed.end();
        const bool removable = IsRemovableDiskPlace(place, places.userName);
        if (TopMount(mounts, place) != nullptr) {
            diskMountedAbove = diskMountedAbove || inFstab || removable;
            continue;
        }
        if (!inFstab && !(removable && !diskMountedAbove))
            continue;
        // The mount point is gone, or is there and empty: its disk is away.
        // A folder holding files where a disk would be mounted is someone's
        // folder, not a disk's mount point. The deepest such place is the
        // disk's (an empty /mnt with /mnt/usb gone: the disk is usb).
        if (depth > 0 || IsEmptyFolder(places.fileRoot + place))
            absentAt = place;
    }
    return absentAt;
}

std::optional<std::string> AbsentDiskMountPointHere(const std::string& hostPath) {
    struct stat info {};
    if (stat(hostPath.c_str(), &info) == 0)
        return std::nullopt;
    DiskPlaces places;
    places.mountInfo = ReadHostFile("/proc/self/mountinfo").value_or("");
    places.fstab = ReadHostFile("/etc/fstab").value_or("");
    places.userName = UserName();
    return AbsentDiskMountPoint(hostPath, places);
}

} // namespace rk::platform
