#include "tools/rkzip/archive_writer.h"

#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"
#include "tools/rkzip/compression_choice.h"
#include "tools/rkzip/durability.h"
#include "tools/rkzip/file_source.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace rk::tools {

namespace {

constexpr zip_uint16_t kExtendedTimestampId = 0x5455;
constexpr zip_uint32_t kDeflateLevel = 6;

struct Prepared {
    bool readable = true;
    int failure = 0;
    bool deflate = false;
    std::string linkTarget;
};

// Opens the file once before the archive is written: a file that cannot be
// opened is left out from the start, and a sample of its start tells whether
// deflating is worth it.
Prepared Prepare(const SourceFile& file) {
    Prepared prepared;
    if (file.kind == SourceKind::Folder)
        return prepared;
    if (file.kind == SourceKind::Link) {
        std::array<char, 4096> target{};
        const ssize_t n = readlink(file.host.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) {
            prepared.readable = false;
            prepared.failure = n < 0 ? errno : ENAMETOOLONG;
        } else {
            prepared.linkTarget.assign(target.data(), static_cast<size_t>(n));
        }
        return prepared;
    }
    const int fd = open(file.host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        prepared.readable = false;
        prepared.failure = errno;
        return prepared;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        prepared.readable = false;
        prepared.failure = EINVAL;
        close(fd);
        return prepared;
    }
    if (!IsCompressedType(file.stored) && file.stamp.size > 0) {
        std::array<char, kCompressionSampleSize> sample{};
        const ssize_t n = pread(fd, sample.data(), sample.size(), 0);
        if (n < 0) {
            prepared.readable = false;
            prepared.failure = errno;
        } else {
            prepared.deflate = IsWorthDeflating(
                std::string_view(sample.data(), static_cast<size_t>(n)), file.stamp.size);
        }
    }
    close(fd);
    return prepared;
}

zip_uint32_t ExternalAttributes(const SourceFile& file) {
    unsigned dos = file.dosKnown ? file.dosBits : ReadDosBits(file.host);
    dos &= kDosHidden | kDosSystem;
    if (file.kind == SourceKind::Folder)
        dos |= kDosDirectory;
    if (file.kind == SourceKind::File && (file.mode & S_IWUSR) == 0)
        dos |= kDosReadOnly;
    return static_cast<zip_uint32_t>(file.mode) << 16 | dos;
}

// Adds one entry; false when libzip refuses it (`problem` says why).
bool AddEntry(zip_t* archive, const SourceFile& file, const Prepared& prepared,
              FileReadState& state, std::string& problem) {
    zip_int64_t index = -1;
    if (file.kind == SourceKind::Folder) {
        if (zip_name_locate(archive, file.stored.c_str(), 0) >= 0)
            return true;
        index = zip_dir_add(archive, file.stored.c_str(), ZIP_FL_ENC_GUESS);
    } else {
        zip_source_t* source = nullptr;
        if (file.kind == SourceKind::Link) {
            void* copy = std::malloc(prepared.linkTarget.size() + 1);
            if (copy != nullptr)
                std::memcpy(copy, prepared.linkTarget.data(), prepared.linkTarget.size());
            source = copy == nullptr
                         ? nullptr
                         : zip_source_buffer(archive, copy, prepared.linkTarget.size(), 1);
            if (source == nullptr)
                std::free(copy);
        } else {
            state.file = &file;
            source = MakeFileSource(archive, state);
        }
        if (source == nullptr) {
            problem = zip_strerror(archive);
            return false;
        }
        index =
            zip_file_add(archive, file.stored.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
        if (index < 0)
            zip_source_free(source);
    }
    if (index < 0) {
        problem = zip_strerror(archive);
        return false;
    }
    const auto entry = static_cast<zip_uint64_t>(index);
    if (prepared.deflate)
        zip_set_file_compression(archive, entry, ZIP_CM_DEFLATE, kDeflateLevel);
    else
        zip_set_file_compression(archive, entry, ZIP_CM_STORE, 0);
    zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_UNIX, ExternalAttributes(file));
    zip_file_set_mtime(archive, entry, static_cast<time_t>(file.mtime), 0);
    if (file.mtime >= 0 && file.mtime <= 0x7fffffff) {
        const auto t = static_cast<std::uint32_t>(file.mtime);
        const std::array<zip_uint8_t, 5> field{
            1, static_cast<zip_uint8_t>(t), static_cast<zip_uint8_t>(t >> 8),
            static_cast<zip_uint8_t>(t >> 16), static_cast<zip_uint8_t>(t >> 24)};
        zip_file_extra_field_set(archive, entry, kExtendedTimestampId, ZIP_EXTRA_FIELD_NEW,
                                 field.data(), static_cast<zip_uint16_t>(field.size()),
                                 ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
    }
    return true;
}

std::string OpenError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

} // namespace

WriteOutcome WriteArchive(const std::string& archiveHost, const std::string& archiveName,
                          const std::vector<const SourceFile*>& files) {
    WriteOutcome outcome;
    outcome.unreadable.assign(files.size(), false);
    outcome.changed.assign(files.size(), false);

    std::vector<Prepared> prepared;
    prepared.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        prepared.push_back(Prepare(*files[i]));
        if (!prepared.back().readable) {
            outcome.unreadable[i] = true;
            outcome.problems.push_back("can't read '" + files[i]->windows + "': " +
                                       ErrnoText(prepared.back().failure) + " (not stored)");
        }
    }

    // A file that fails while libzip writes makes the whole write fail; it is
    // then left out and the archive written again from the start.
    for (;;) {
        int code = 0;
        zip_t* archive = zip_open(archiveHost.c_str(), ZIP_CREATE, &code);
        if (archive == nullptr) {
            outcome.failure = "can't open zip archive '" + archiveName + "': " + OpenError(code);
            return outcome;
        }
        std::vector<std::unique_ptr<FileReadState>> states(files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            if (outcome.unreadable[i])
                continue;
            states[i] = std::make_unique<FileReadState>();
            std::string problem;
            if (!AddEntry(archive, *files[i], prepared[i], *states[i], problem)) {
                outcome.unreadable[i] = true;
                outcome.problems.push_back("can't add '" + files[i]->windows + "': " + problem +
                                           " (not stored)");
            }
        }
        if (zip_close(archive) == 0) {
            for (size_t i = 0; i < files.size(); ++i)
                outcome.changed[i] = states[i] && states[i]->changed;
            break;
        }
        bool leftOut = false;
        for (size_t i = 0; i < files.size(); ++i) {
            if (states[i] && states[i]->failed && !outcome.unreadable[i]) {
                outcome.unreadable[i] = true;
                outcome.problems.push_back("can't read '" + files[i]->windows +
                                           "': " + ErrnoText(states[i]->failure) + " (not stored)");
                leftOut = true;
            }
        }
        if (!leftOut) {
            outcome.failure =
                "can't close zip archive '" + archiveName + "': " + zip_strerror(archive);
            zip_discard(archive);
            return outcome;
        }
        zip_discard(archive);
        for (size_t i = 0; i < files.size(); ++i)
            if (states[i] && states[i]->fd >= 0)
                close(states[i]->fd);
    }

    int error = 0;
    if (!Exists(archiveHost) && !WriteEmptyArchive(archiveHost, error)) {
        outcome.failure = "can't write zip archive '" + archiveName + "': " + ErrnoText(error);
        return outcome;
    }
    if (!FlushFileAndFolder(archiveHost, error)) {
        outcome.failure =
            "can't flush zip archive '" + archiveName + "' to disk: " + ErrnoText(error);
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

} // namespace rk::tools
