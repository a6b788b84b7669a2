#include "platform/system_folders.h"

#include "platform/drive_map.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::platform {

namespace {

std::string ExecutablePath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return {};
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return (home != nullptr && *home == '/') ? std::string(home) : std::string("/");
}

} // namespace

Result<void> EnsurePrivateFolder(const std::string& host) {
    if (mkdir(host.c_str(), 0700) != 0 && errno != EEXIST)
        return Result<void>::Failure("cannot be made: " + std::string(std::strerror(errno)));
    struct stat info {};
    if (lstat(host.c_str(), &info) != 0)
        return Result<void>::Failure("cannot be read: " + std::string(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return Result<void>::Failure("is a symbolic link");
    if (!S_ISDIR(info.st_mode))
        return Result<void>::Failure("is not a folder");
    if (info.st_uid != getuid())
        return Result<void>::Failure("belongs to another user");
    if ((info.st_mode & 077) != 0 && chmod(host.c_str(), 0700) != 0)
        return Result<void>::Failure("cannot be made private: " +
                                     std::string(std::strerror(errno)));
    return {};
}

namespace {

// Why a folder on the way to the temporary folder lets someone else move or
// replace what lies in it (someone else's, or writable by others without the
// sticky bit that keeps their entries apart); empty text when it does not.
// The folder of the root user may be shared, as /tmp is.
std::string SharedFolderProblem(const std::string& host, const struct stat& info) {
    if (info.st_uid != getuid() && info.st_uid != 0)
        return host + " belongs to another user";
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0)
        return host + " can be written by other users";
    return {};
}

// The same for the folder and every folder above it: a folder inside one
// that another user can rearrange is not safe, however it is made.
std::string PathProblem(const std::string& host) {
    for (std::size_t end = 0;;) {
        const std::string sofar = end == 0 ? std::string("/") : host.substr(0, end);
        struct stat info {};
        if (lstat(sofar.c_str(), &info) != 0)
            return sofar + " cannot be read: " + std::strerror(errno);
        if (std::string problem = SharedFolderProblem(sofar, info); !problem.empty())
            return problem;
        if (end >= host.size())
            return {};
        end = std::min(host.find('/', end + 1), host.size());
    }
}

// True when the folder is this user's and nobody else can write into it.
bool OnlyUserWrites(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The private temporary folder, or why there is none.
// $TMPDIR (else /tmp) serves as it is when it is a folder of this user that
// nobody else can write into; otherwise the folder ravelkeep-<uid> inside it,
// made with mode 0700 and checked to be this user's.
[[nodiscard]] Result<std::string> PrivateTempHost() {
    const char* tmpdir = std::getenv("TMPDIR");
    const bool fromVariable = tmpdir != nullptr && *tmpdir == '/';
    std::string base = fromVariable ? std::string(tmpdir) : std::string("/tmp");
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string named = base;
    const std::string where = fromVariable ? " (TMPDIR)" : "";
    // A folder that is missing is made, private to this user.
    if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
        return Result<std::string>::Failure("The temporary folder " + named + where +
                                            " cannot be used: " + std::strerror(errno) + ".");
    }
    // A link is followed once, here: what counts is the folder it names.
    if (char* real = realpath(base.c_str(), nullptr)) {
        base = real;
        free(real);
    }
    struct stat info {};
    const bool found = stat(base.c_str(), &info) == 0;
    if (!found || !S_ISDIR(info.st_mode)) {
        const std::string why = found ? std::string("it is not a folder") : std::strerror(errno);
        return Result<std::string>::Failure("The temporary folder " + named + where +
                                            " cannot be used: " + why + ".");
    }
    const std::size_t slash = base.find_last_of('/');
    const std::string above = slash == 0 ? std::string("/") : base.substr(0, slash);
    if (OnlyUserWrites(info) && PathProblem(above).empty())
        return base;
    if (const std::string unsafe = PathProblem(base); !unsafe.empty()) {
        return Result<std::string>::Failure("The temporary folder " + named + where +
                                            " cannot be used: " + unsafe +
                                            ", so nothing in it is private.");
    }
    std::string host =
        (base == "/" ? std::string() : base) + "/ravelkeep-" + std::to_string(getuid());
    const Result<void> made = EnsurePrivateFolder(host);
    if (made)
        return host;
    return Result<std::string>::Failure("The temporary folder " + host + " cannot be used: it " +
                                        made.reason() + ".");
}

std::uint64_t Fnv1a(std::string_view text) {
    std::uint64_t hash = 1469598103934665603ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

} // namespace

std::string ProgramFolderHost() {
    std::string path = ExecutablePath();
    if (char* real = realpath(path.c_str(), nullptr)) {
        path = real;
        free(real);
    }
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return "/";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string ProgramBaseName() {
    const std::string path = ExecutablePath();
    std::string name = path.substr(path.find_last_of('/') + 1);
    // A deleted executable reads back with " (deleted)" appended.
    if (const size_t suffix = name.find(" (deleted)"); suffix != std::string::npos)
        name.erase(suffix);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string TempPathProblem() {
    return PrivateTempHost().reason();
}

std::string TempPath() {
    const Result<std::string> found = PrivateTempHost();
    if (!found)
        return {};
    const std::string& host = *found;
    std::string windows = ToWindowsPath(host);
    if (windows.back() != '\\')
        windows += '\\';
    return windows;
}

std::string TempFileName(std::string_view windowsFolder, std::string_view prefix) {
    std::string folder(windowsFolder);
    if (folder.empty())
        return {};
    if (folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    const auto hostFolder = ToHostPath(folder);
    if (!hostFolder)
        return {};
    const std::string stem(prefix.substr(0, std::min<size_t>(3, prefix.size())));
    std::random_device seed;
    unsigned number = (seed() & 0xFFFFu);
    for (unsigned attempt = 0; attempt < 0x10000u; ++attempt, number = (number + 1) & 0xFFFFu) {
        if (number == 0)
            continue;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number);
        const std::string name = stem + hex + ".TMP";
        const std::string host = *hostFolder + (hostFolder->back() == '/' ? "" : "/") + name;
        const int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            return folder + name;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}

std::string DocumentsFolderHost() {
    const std::string home = HomeFolder();
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        config = xdg;
    else
        config = home + "/.config";
    std::ifstream dirs(config + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return value;
    }
    return home + "/Documents";
}

std::string ShortPath(std::string_view windowsPath) {
    std::string original(windowsPath);
    if (original.find(' ') == std::string::npos)
        return original;
    std::string target = original;
    const bool trailing = !target.empty() && target.back() == '\\';
    if (trailing && target.size() > 3)
        target.pop_back();
    const auto host = ToHostPath(target);
    struct stat info {};
    if (!host || lstat(host->c_str(), &info) != 0)
        return original;
    // Aliases live in a private folder whose own path has no spaces.
    const Result<std::string> tempHost = PrivateTempHost();
    std::string aliasFolder = tempHost ? *tempHost : std::string();
    if (aliasFolder.empty() || aliasFolder.find(' ') != std::string::npos) {
        aliasFolder = "/tmp/ravelkeep-" + std::to_string(getuid());
        if (!EnsurePrivateFolder(aliasFolder))
            return original;
    }
    aliasFolder += "/short";
    if (!EnsurePrivateFolder(aliasFolder))
        return original;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Fnv1a(*host)));
    const std::string alias = aliasFolder + "/" + name;
    std::array<char, 4096> existing{};
    const ssize_t length = readlink(alias.c_str(), existing.data(), existing.size() - 1);
    if (length < 0 || std::string(existing.data(), static_cast<size_t>(length)) != *host) {
        const std::string temporary = alias + ".new" + std::to_string(getpid());
        unlink(temporary.c_str());
        if (symlink(host->c_str(), temporary.c_str()) != 0 ||
            rename(temporary.c_str(), alias.c_str()) != 0) {
            unlink(temporary.c_str());
            return original;
        }
    }
    std::string windows = ToWindowsPath(alias);
    if (windows.find(' ') != std::string::npos || ToHostPath(windows) != alias)
        return original;
    if (trailing)
        windows += '\\';
    return windows;
}

} // namespace rk::platform
