#include "tools/rkzip/rewritten_archive.h"

#include "tools/rkzip/archive_lock.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// Written out in large pieces: libzip writes each header on its own.
constexpr std::size_t kOutputBuffer = 256 * 1024;

std::string FolderOf(const std::string& fileHost) {
    const size_t slash = fileHost.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : fileHost.substr(0, slash);
}

// What the source keeps: the archive as it was, read by libzip, and the
// temporary archive it writes.
class Rewriting {
  public:
    Rewriting(std::string path, FILE* in, const struct stat& info)
        : path_(std::move(path)), in_(in), info_(info) {
        zip_error_init(&error_);
    }
    ~Rewriting() {
        RollBack();
        std::fclose(in_);
        zip_error_fini(&error_);
    }
    Rewriting(const Rewriting&) = delete;
    Rewriting& operator=(const Rewriting&) = delete;

    zip_int64_t Serve(void* data, zip_uint64_t length, zip_source_cmd_t command);

  private:
    zip_int64_t Fail(int code, int systemError) {
        zip_error_set(&error_, code, systemError);
        return -1;
    }
    zip_int64_t Stat(void* data, zip_uint64_t length);
    zip_int64_t Seek(FILE* file, void* data, zip_uint64_t length);
    zip_int64_t BeginWrite();
    zip_int64_t Write(const void* data, zip_uint64_t length);
    zip_int64_t Commit();
    void RollBack();

    std::string path_;
    FILE* in_;
    struct stat info_;
    FILE* out_ = nullptr;
    // The temporary archive while it is this run's to remove.
    std::string temporary_;
    zip_error_t error_;
};

zip_int64_t Rewriting::Stat(void* data, zip_uint64_t length) {
    auto* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &error_);
    if (stat == nullptr)
        return -1;
    zip_stat_init(stat);
    stat->size = static_cast<zip_uint64_t>(info_.st_size);
    stat->mtime = info_.st_mtime;
    stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
    return sizeof(zip_stat_t);
}

zip_int64_t Rewriting::Seek(FILE* file, void* data, zip_uint64_t length) {
    const auto* seek = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &error_);
    if (seek == nullptr)
        return -1;
    if (fseeko(file, static_cast<off_t>(seek->offset), seek->whence) != 0)
        return Fail(ZIP_ER_SEEK, errno);
    return 0;
}

zip_int64_t Rewriting::BeginWrite() {
    RollBack();
    const int fd = MakeTemporaryArchive(path_, temporary_);
    if (fd < 0) {
        temporary_.clear();
        return Fail(ZIP_ER_TMPOPEN, errno);
    }
    // The archive keeps the mode it had.
    if (fchmod(fd, info_.st_mode & 0777) != 0 || (out_ = fdopen(fd, "wb")) == nullptr) {
        const int error = errno;
        close(fd);
        RollBack();
        return Fail(ZIP_ER_TMPOPEN, error);
    }
    std::setvbuf(out_, nullptr, _IOFBF, kOutputBuffer);
    return 0;
}

zip_int64_t Rewriting::Write(const void* data, zip_uint64_t length) {
    if (std::fwrite(data, 1, length, out_) != length)
        return Fail(ZIP_ER_WRITE, errno);
    return static_cast<zip_int64_t>(length);
}

// On the disk first, then in the archive's place, then the folder on the
// disk: a power cut at any point leaves either the old archive or the new
// one, complete, under the archive's name.
zip_int64_t Rewriting::Commit() {
    FILE* out = out_;
    out_ = nullptr;
    if (std::fflush(out) != 0 || fsync(fileno(out)) != 0) {
        const int error = errno;
        std::fclose(out);
        return Fail(ZIP_ER_WRITE, error);
    }
    if (std::fclose(out) != 0)
        return Fail(ZIP_ER_WRITE, errno);
    if (rename(temporary_.c_str(), path_.c_str()) != 0)
        return Fail(ZIP_ER_RENAME, errno);
    temporary_.clear();
    const int folder = open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return Fail(ZIP_ER_WRITE, errno);
    const bool flushed = fsync(folder) == 0;
    const int error = errno;
    close(folder);
    if (!flushed)
        return Fail(ZIP_ER_WRITE, error);
    return 0;
}

void Rewriting::RollBack() {
    if (out_ != nullptr) {
        std::fclose(out_);
        out_ = nullptr;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

zip_int64_t Rewriting::Serve(void* data, zip_uint64_t length, zip_source_cmd_t command) {
    switch (command) {
    case ZIP_SOURCE_SUPPORTS:
        return ZIP_SOURCE_SUPPORTS_WRITABLE;
    case ZIP_SOURCE_OPEN:
        return fseeko(in_, 0, SEEK_SET) == 0 ? 0 : Fail(ZIP_ER_SEEK, errno);
    case ZIP_SOURCE_READ: {
        const size_t read = std::fread(data, 1, length, in_);
        if (read < length && std::ferror(in_))
            return Fail(ZIP_ER_READ, errno);
        return static_cast<zip_int64_t>(read);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_SEEK:
        return Seek(in_, data, length);
    case ZIP_SOURCE_TELL:
        return ftello(in_);
    case ZIP_SOURCE_STAT:
        return Stat(data, length);
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&error_, data, length);
    case ZIP_SOURCE_FREE:
        delete this;
        return 0;
    case ZIP_SOURCE_BEGIN_WRITE:
        return BeginWrite();
    case ZIP_SOURCE_WRITE:
        return Write(data, length);
    case ZIP_SOURCE_SEEK_WRITE:
        return Seek(out_, data, length);
    case ZIP_SOURCE_TELL_WRITE:
        return ftello(out_);
    case ZIP_SOURCE_COMMIT_WRITE:
        return Commit();
    case ZIP_SOURCE_ROLLBACK_WRITE:
        RollBack();
        return 0;
    case ZIP_SOURCE_REMOVE:
        // An archive left without entries is removed, as libzip does.
        if (unlink(path_.c_str()) != 0 && errno != ENOENT)
            return Fail(ZIP_ER_REMOVE, errno);
        return 0;
    default:
        return Fail(ZIP_ER_OPNOTSUPP, 0);
    }
}

zip_int64_t Serve(void* userdata, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    return static_cast<Rewriting*>(userdata)->Serve(data, length, command);
}

} // namespace

zip_t* OpenForRewriting(const std::string& archiveHost, int& code, int& systemError) {
    code = ZIP_ER_OK;
    systemError = 0;
    FILE* in = std::fopen(archiveHost.c_str(), "rbe");
    struct stat info {};
    if (in == nullptr || fstat(fileno(in), &info) != 0) {
        systemError = errno;
        code = ZIP_ER_OPEN;
        if (in != nullptr)
            std::fclose(in);
        return nullptr;
    }
    auto* rewriting = new Rewriting(archiveHost, in, info);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(&Serve, rewriting, &error);
    if (source == nullptr) {
        delete rewriting;
    } else {
        // From here the source owns the rewriting and frees it.
        zip_t* archive = zip_open_from_source(source, 0, &error);
        if (archive != nullptr) {
            zip_error_fini(&error);
            return archive;
        }
        zip_source_free(source);
    }
    code = zip_error_code_zip(&error);
    systemError = zip_error_code_system(&error);
    zip_error_fini(&error);
    return nullptr;
}

} // namespace rk::tools
