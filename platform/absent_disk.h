#pragma once
// Whether a folder that is missing lies on a disk that is not connected: the
// backup disk unplugged, not a mistyped path. A disk is taken to be absent
// when, on the way from the nearest existing folder down to the missing one,
// a place where a disk is normally mounted is not mounted and is gone or is
// an empty folder; such places are the mount points /etc/fstab lists, the
// folders desktops mount removable media on (/media/<user>/DISK,
// /run/media/<user>/DISK) and /mnt or /mnt/DISK. A disk an automounter
// (autofs, systemd's x-systemd.automount) could not bring counts as absent
// too. A folder missing on a disk that is mounted is a plain mistake.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

// One line of /proc/self/mountinfo: where a file system is mounted, and its
// type.
struct MountedFileSystem {
    std::string mountPoint;
    std::string type;
};

// The mounts of a /proc/self/mountinfo text, in its order (a later mount on
// the same point lies over an earlier one). Octal escapes (\040) are undone.
std::vector<MountedFileSystem> ParseMountInfo(std::string_view mountInfo);

// The mount points an /etc/fstab text lists (swap and "none" left out).
std::vector<std::string> ParseFstabMountPoints(std::string_view fstab);

// What the detection knows of the machine.
struct DiskPlaces {
    std::string mountInfo; // the text of /proc/self/mountinfo
    std::string fstab;     // the text of /etc/fstab
    std::string userName;  // the user whose /media/<user> and /run/media/<user> count
    // Prefix put before every path the detection looks at on the file system
    // (tests lay out a machine in a folder); empty for the real one.
    std::string fileRoot;
};

// The folder where the disk that should hold `hostPath` is normally mounted,
// when `hostPath` (absolute) is missing because that disk is not connected;
// nothing when the folder exists or its absence is a plain mistake.
std::optional<std::string> AbsentDiskMountPoint(const std::string& hostPath,
                                                const DiskPlaces& places);

// The same for this machine: the path is looked at first (so an automounter
// gets its chance), then its mount table, /etc/fstab and the user's name are
// read.
std::optional<std::string> AbsentDiskMountPointHere(const std::string& hostPath);

} // namespace rk::platform
