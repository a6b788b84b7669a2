#include "tools/rkzip/deletion_entry.h"

#include "tools/common/deletion_record.h"
#include "tools/common/messages.h"
#include "tools/rkzip/archive_lock.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

DeletionEntry::~DeletionEntry() {
    if (!path_.empty())
        unlink(path_.c_str());
}

Result<void> DeletionEntry::Make(const std::string& archiveHost, const std::string& text) {
    std::string path;
    const int fd = MakeTemporaryArchive(archiveHost, path);
    if (fd < 0)
        return Result<void>::Failure("can't write the deletion record: " + ErrnoText(errno));
    path_ = path;
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = errno;
            close(fd);
            return Result<void>::Failure("can't write the deletion record: " + ErrnoText(error));
        }
        written += static_cast<size_t>(n);
    }
    struct stat info {};
    const bool stated = fstat(fd, &info) == 0;
    const int error = errno;
    close(fd);
    if (!stated)
        return Result<void>::Failure("can't write the deletion record: " + ErrnoText(error));
    place_.host = path_;
    place_.windows = "deletion record of " + archiveHost;
    place_.stored = std::string(kDeletionRecordName);
    file_.place = &place_;
    file_.kind = SourceKind::File;
    file_.stamp = StampOf(info);
    file_.mode = info.st_mode;
    file_.mtime = static_cast<std::int64_t>(std::time(nullptr));
    file_.dosKnown = true;
    file_.storedPlain = true;
    return {};
}

} // namespace rk::tools
