#pragma once
// File-system services on Windows path text, with the attribute model of the
// program: read-only is a missing owner write bit; hidden is a leading "." or
// the DOS hidden bit; system is the DOS system bit. DOS bits are kept in the
// extended attribute user.DOSATTRIB where present.

#include "platform/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace rk::platform {

enum FileAttribute : unsigned {
    kAttrNormal = 0,
    kAttrReadOnly = 1,
    kAttrHidden = 2,
    kAttrSystem = 4,
    kAttrDirectory = 16,
    kAttrArchive = 32,
};

struct FoundEntry {
    std::string name;
    unsigned attributes = 0;
};

// Case-insensitive wildcard match of one name with Windows rules: "*" any run,
// "?" one character, "*.*" matches every name (also names without a dot).
bool WildcardMatch(std::string_view name, std::string_view pattern);

// Enumeration by pattern and attribute mask, the way the program's folder
// listing service works: the pattern is a folder followed by a wildcard name.
// Files without the hidden, system or folder attribute are always returned
// (read-only ones included); hidden, system and folder entries only when the
// mask holds that attribute. With the folder attribute in the mask, "." and
// ".." are returned first. An unreadable or missing folder gives no entries.
std::vector<FoundEntry> Enumerate(std::string_view windowsPattern, unsigned mask);

// True when some entry matches the path (which may hold wildcards in its last
// component), whatever its attributes: the lookup of FindFirstFile. A drive
// root or share root has no entry of its own and gives false.
bool FindAnyEntry(std::string_view windowsPath);

std::optional<unsigned> GetAttributes(std::string_view windowsPath);
// The DOS bits recorded in user.DOSATTRIB of a host path (the link itself,
// never its target): Wine's hex text or Samba's binary record; 0 when none.
unsigned ReadDosAttributeBits(const std::string& hostPath);
// The DOS bits of a user.DOSATTRIB value as read (Wine's hex text or Samba's
// binary record); 0 for a value that is neither.
unsigned DosAttributeBitsOfValue(std::string_view value);
// The name of that extended attribute.
inline constexpr const char* kDosAttributeName = "user.DOSATTRIB";
// Sets read-only (owner write bit), hidden and system (user.DOSATTRIB).
bool SetAttributes(std::string_view windowsPath, unsigned attributes);

bool CreateFolder(std::string_view windowsPath);
// Makes a new folder that only this user can enter (mode 0700).
bool CreatePrivateFolder(std::string_view windowsPath);
// True when the path names a folder (not a link) of this user that nobody
// else can write into: no one else can plant, replace or remove a name in it.
bool FolderOnlyUserWrites(std::string_view windowsPath);
bool RemoveFolder(std::string_view windowsPath);
bool DeleteFile(std::string_view windowsPath);
// Byte-for-byte copy; the target is replaced through a temporary file.
bool CopyFile(std::string_view fromWindowsPath, std::string_view toWindowsPath);
std::optional<std::uint64_t> FileLength(std::string_view windowsPath);

// Writes every byte to an open descriptor, carrying on after interruptions;
// false at the first real failure.
bool WriteAllBytes(int fd, const void* data, std::size_t size);
// Reads exactly `size` bytes from offset `at` of an open descriptor, carrying
// on after interruptions; false at a failure or the end of the file.
bool ReadAllBytesAt(int fd, std::uint64_t at, void* into, std::size_t size);

// Whole-file access. ReadFile gives nothing when the file cannot be read.
std::optional<std::string> ReadFile(std::string_view windowsPath);
std::optional<std::string> ReadHostFile(const std::string& hostPath);
// Makes the host folder and those above it that are missing, with `mode`;
// the failure says which folder could not be made and why.
[[nodiscard]] Result<void> MakeHostFolders(const std::string& hostPath, mode_t mode);
// Writes a new file beside the target, flushes it and renames it over the
// target, so a failure never leaves a cut file under the target's name.
bool WriteFileAtomically(std::string_view windowsPath, std::string_view content);
// Makes a new file that only this user can read (mode 0600) with the
// content; never opens a name that exists already, a link included. A file
// whose content could not be written whole is removed again.
bool CreateFileExclusively(std::string_view windowsPath, std::string_view content);
// The same, after removing what the name held (a file or a link, never what
// a link names; never a folder): a stale file under a fixed name is not
// written through.
bool ReplaceWithNewFile(std::string_view windowsPath, std::string_view content);
// The same for a host path.
bool WriteHostFileAtomically(const std::string& hostPath, std::string_view content);

} // namespace rk::platform
