#include "tools/rkunzip/named_output.h"

#include "platform/file_system.h"
#include "tools/common/messages.h"
#include "tools/rkunzip/leftover_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// How the temporary names of the file `name` start.
std::string TemporaryStartFor(const std::string& name) {
    return "." + name + ".rkunzip-";
}

// A name no other file in the folder has by chance: the file's own name
// and 64 random bits.
std::string RandomNameBeside(const std::string& name) {
    unsigned char bytes[8] = {};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    std::string text = TemporaryStartFor(name);
    char hex[3];
    for (const unsigned char byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        text += hex;
    }
    return text;
}

// Why what lies at `name` in `folderFd` must not be replaced; empty when
// nothing is there or it is the user's own regular file.
std::string WhyNotReplaced(int folderFd, const std::string& name) {
    struct stat info {};
    if (fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::string();
    if (S_ISLNK(info.st_mode))
        return "it is a symbolic link, not written through";
    if (!S_ISREG(info.st_mode))
        return "it exists and is not a regular file";
    if (info.st_uid != geteuid())
        return "it belongs to another user";
    return std::string();
}

} // namespace

bool WriteNamedFile(const std::string& host, const std::string& text, std::string& problem) {
    const std::size_t slash = host.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : host.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        problem = "it names a folder";
        return false;
    }
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        problem = ErrnoText(errno);
        return false;
    }
    problem = WhyNotReplaced(folderFd, name);
    if (!problem.empty()) {
        close(folderFd);
        return false;
    }
    // What a killed run left of this file under a temporary name goes first.
    RemoveLeftovers(folderFd, TemporaryStartFor(name), std::string_view());
    const std::string temporary = RandomNameBeside(name);
    const int fd = openat(folderFd, temporary.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = ErrnoText(errno);
        close(folderFd);
        return false;
    }
    // Locked and marked until it has its name, so that a later run can tell
    // it from a user's file should this run be killed before.
    const bool marked = MarkUnfinished(fd, RunIdentity());
    bool ok = platform::WriteAllBytes(fd, text.data(), text.size());
    if (!ok)
        problem = ErrnoText(errno);
    // A rename replaces whatever took the name meanwhile, a link included,
    // and never writes through it.
    if (ok && renameat(folderFd, temporary.c_str(), folderFd, name.c_str()) != 0) {
        problem = ErrnoText(errno);
        ok = false;
    }
    if (!ok)
        unlinkat(folderFd, temporary.c_str(), 0);
    if (ok && marked && fremovexattr(fd, kUnfinishedMark) != 0) {
        problem = "can't take away its unfinished mark: " + ErrnoText(errno);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        problem = ErrnoText(errno);
        ok = false;
    }
    close(folderFd);
    return ok;
}

} // namespace rk::tools
