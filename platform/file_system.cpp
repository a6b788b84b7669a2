#include "platform/file_system.h"

#include "platform/ascii_text.h"
#include "platform/drive_map.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace rk::platform {

namespace {

char Lower(char c) {
    return LowerAscii(c);
}

bool MatchFrom(std::string_view name, std::string_view pattern) {
    // Iterative wildcard match with back-tracking to the last "*".
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

// Wine writes the bits as hex text ("0x22"), Samba as a binary record whose
// attribute word follows two 16-bit version fields.
unsigned ReadDosAttributeBits(const std::string& host) {
    char buffer[256];
    const ssize_t length = lgetxattr(host.c_str(), kDosAttributeName, buffer, sizeof buffer);
    if (length <= 0)
        return 0;
    return DosAttributeBitsOfValue(std::string_view(buffer, static_cast<size_t>(length)));
}

unsigned DosAttributeBitsOfValue(std::string_view value) {
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        unsigned bits = 0;
        for (size_t i = 2; i < value.size() && std::isxdigit(static_cast<unsigned char>(value[i]));
             ++i) {
            const char c = Lower(value[i]);
            bits = bits * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        return bits;
    }
    if (value.size() >= 8) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(value.data());
        return static_cast<unsigned>(bytes[4]) | static_cast<unsigned>(bytes[5]) << 8 |
               static_cast<unsigned>(bytes[6]) << 16 | static_cast<unsigned>(bytes[7]) << 24;
    }
    return 0;
}

namespace {

std::optional<unsigned> HostAttributes(const std::string& host, std::string_view name) {
    struct stat info {};
    if (stat(host.c_str(), &info) != 0 && lstat(host.c_str(), &info) != 0)
        return std::nullopt;
    unsigned attributes = 0;
    if (S_ISDIR(info.st_mode))
        attributes |= kAttrDirectory;
    if ((info.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    const unsigned dos = ReadDosAttributeBits(host);
    attributes |= dos & (kAttrHidden | kAttrSystem | kAttrArchive);
    if (name.size() > 1 && name[0] == '.' && name != "..")
        attributes |= kAttrHidden;
    return attributes;
}

std::string LastComponent(std::string_view text) {
    const size_t slash = text.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

bool IsAdmitted(unsigned attributes, unsigned mask) {
    const unsigned special = attributes & (kAttrHidden | kAttrSystem | kAttrDirectory);
    return (special & ~mask) == 0;
}

bool IsDriveOrShareRoot(std::string_view windowsPath) {
    const std::string normal = NormalizeWindowsPath(windowsPath);
    if (normal.size() == 3 && normal[1] == ':')
        return true;
    if (normal.rfind("\\\\", 0) == 0)
        return true; // shares have no mapping at all
    return false;
}

} // namespace

bool WildcardMatch(std::string_view name, std::string_view pattern) {
    if (pattern == "*.*" || pattern == "*")
        return true;
    if (MatchFrom(name, pattern))
        return true;
    // "name.*" also matches a name without any extension, as on Windows.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return MatchFrom(name, pattern.substr(0, pattern.size() - 2));
    return false;
}

std::vector<FoundEntry> Enumerate(std::string_view windowsPattern, unsigned mask) {
    std::vector<FoundEntry> found;
    const size_t slash = windowsPattern.find_last_of("\\/");
    const std::string folderText = slash == std::string_view::npos
                                       ? std::string(".")
                                       : std::string(windowsPattern.substr(0, slash + 1));
    const std::string pattern(slash == std::string_view::npos ? windowsPattern
                                                              : windowsPattern.substr(slash + 1));
    if (pattern.empty())
        return found;
    const auto host = ToHostPath(folderText);
    if (!host)
        return found;
    DIR* dir = opendir(host->c_str());
    if (dir == nullptr)
        return found;
    std::vector<FoundEntry> entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (!WildcardMatch(name, pattern))
            continue;
        const std::string childHost = (host->back() == '/' ? *host : *host + "/") + name;
        const auto attributes = HostAttributes(childHost, name);
        if (!attributes || !IsAdmitted(*attributes, mask))
            continue;
        entries.push_back({name, *attributes});
    }
    closedir(dir);
    // NTFS hands names out in case-insensitive order; so do we, so the
    // job list and the archive lists come out the same on every run.
    std::sort(entries.begin(), entries.end(), [](const FoundEntry& a, const FoundEntry& b) {
        return std::lexicographical_compare(
            a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), [](char x, char y) {
                return static_cast<unsigned char>(Lower(x)) < static_cast<unsigned char>(Lower(y));
            });
    });
    const bool isRoot = IsDriveOrShareRoot(folderText);
    if ((mask & kAttrDirectory) != 0 && !isRoot) {
        for (const char* dots : {".", ".."})
            if (WildcardMatch(dots, pattern))
                found.push_back({dots, kAttrDirectory});
    }
    found.insert(found.end(), entries.begin(), entries.end());
    return found;
}

bool FindAnyEntry(std::string_view windowsPath) {
    // Text that names nothing once blanks and dots are dropped (such as
    // "   ") finds nothing, as on Windows.
    if (NormalizeWindowsPath(windowsPath).empty() || IsDriveOrShareRoot(windowsPath))
        return false;
    const char last = windowsPath.back();
    if (last == '\\' || last == '/')
        return false;
    const std::string name = LastComponent(windowsPath);
    if (name.find_first_of("*?") != std::string::npos) {
        constexpr unsigned all = kAttrHidden | kAttrSystem | kAttrDirectory;
        return !Enumerate(windowsPath, all).empty();
    }
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    struct stat info {};
    return lstat(host->c_str(), &info) == 0;
}

std::optional<unsigned> GetAttributes(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return std::nullopt;
    return HostAttributes(*host, LastComponent(*host));
}

bool SetAttributes(std::string_view windowsPath, unsigned attributes) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    struct stat info {};
    if (lstat(host->c_str(), &info) != 0)
        return false;
    // A symbolic link has no attributes of its own here; what it points to
    // is never changed through it.
    if (S_ISLNK(info.st_mode))
        return true;
    mode_t mode = info.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) ? (mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH))
                                        : (mode | S_IWUSR);
    bool ok = chmod(host->c_str(), mode) == 0;
    const unsigned dos = attributes & (kAttrHidden | kAttrSystem | kAttrArchive | kAttrReadOnly);
    const unsigned previous = ReadDosAttributeBits(*host);
    if (dos != previous) {
        if (dos == 0) {
            if (lremovexattr(host->c_str(), kDosAttributeName) != 0 && errno != ENODATA)
                ok = false;
        } else {
            char text[16];
            const int length = std::snprintf(text, sizeof text, "0x%x", dos);
            if (lsetxattr(host->c_str(), kDosAttributeName, text, static_cast<size_t>(length), 0) !=
                    0 &&
                (attributes & (kAttrHidden | kAttrSystem)) != 0)
                ok = false;
        }
    }
    return ok;
}

bool CreateFolder(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    return host && mkdir(host->c_str(), 0777) == 0;
}

bool CreatePrivateFolder(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    return host && mkdir(host->c_str(), 0700) == 0;
}

bool FolderOnlyUserWrites(std::string_view windowsPath) {
    auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    while (host->size() > 1 && host->back() == '/')
        host->pop_back();
    struct stat info {};
    return lstat(host->c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool RemoveFolder(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    return host && rmdir(host->c_str()) == 0;
}

bool DeleteFile(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    struct stat info {};
    if (lstat(host->c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    return unlink(host->c_str()) == 0;
}

bool CopyFile(std::string_view fromWindowsPath, std::string_view toWindowsPath) {
    const auto content = ReadFile(fromWindowsPath);
    return content && WriteFileAtomically(toWindowsPath, *content);
}

std::optional<std::uint64_t> FileLength(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    struct stat info {};
    if (!host || stat(host->c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::string> ReadFile(std::string_view windowsPath) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return std::nullopt;
    return ReadHostFile(*host);
}

Result<void> MakeHostFolders(const std::string& hostPath, mode_t mode) {
    std::size_t start = 0;
    while (start < hostPath.size()) {
        std::size_t slash = hostPath.find('/', start + 1);
        if (slash == std::string::npos)
            slash = hostPath.size();
        const std::string sofar = hostPath.substr(0, slash);
        start = slash;
        if (mkdir(sofar.c_str(), mode) != 0 && errno != EEXIST)
            return Result<void>::Failure("cannot make the folder " + sofar + ": " +
                                         std::strerror(errno));
    }
    return {};
}

std::optional<std::string> ReadHostFile(const std::string& hostPath) {
    const int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return content;
}

bool WriteAllBytes(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadAllBytesAt(int fd, std::uint64_t at, void* into, std::size_t size) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t n = pread(fd, bytes, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFileAtomically(std::string_view windowsPath, std::string_view content) {
    const auto mapped = ToHostPath(windowsPath);
    return mapped && WriteHostFileAtomically(*mapped, content);
}

bool CreateFileExclusively(std::string_view windowsPath, std::string_view content) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    const int fd = open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = WriteAllBytes(fd, content.data(), content.size());
    ok = (close(fd) == 0) && ok;
    if (!ok)
        unlink(host->c_str());
    return ok;
}

bool ReplaceWithNewFile(std::string_view windowsPath, std::string_view content) {
    const auto host = ToHostPath(windowsPath);
    if (!host)
        return false;
    struct stat info {};
    if (lstat(host->c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        unlink(host->c_str());
    return CreateFileExclusively(windowsPath, content);
}

bool WriteHostFileAtomically(const std::string& hostPath, std::string_view content) {
    std::string target = hostPath;
    // Through a symbolic link the file it names is replaced, not the link.
    if (char* real = realpath(target.c_str(), nullptr)) {
        target = real;
        free(real);
    }
    mode_t mode = 0666;
    struct stat info {};
    if (stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode) || (info.st_mode & S_IWUSR) == 0)
            return false; // a folder, or a read-only file: never replaced
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const size_t slash = target.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    std::string temporary = target + ".rk-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAllBytes(fd, content.data(), content.size());
    ok = ok && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    if (const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

} // namespace rk::platform
