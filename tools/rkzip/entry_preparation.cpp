#include "tools/rkzip/entry_preparation.h"

#include "tools/common/dos_bits.h"
#include "tools/common/messages.h"
#include "tools/rkzip/compression_choice.h"
#include "tools/rkzip/dos_bits_reading.h"
#include "tools/rkzip/packing_ahead.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace rk::tools {

Prepared Prepare(const SourceFile& file, std::vector<std::string>& linkTargets) {
    Prepared prepared;
    if (file.kind == SourceKind::Folder)
        return prepared;
    if (file.kind == SourceKind::Link) {
        std::array<char, 4096> target{};
        const ssize_t n = readlink(file.HostPath().c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) {
            prepared.readable = false;
            prepared.failure = n < 0 ? errno : ENAMETOOLONG;
        } else {
            prepared.link = static_cast<std::uint32_t>(linkTargets.size());
            linkTargets.emplace_back(target.data(), static_cast<size_t>(n));
        }
        return prepared;
    }
    prepared.storeAsItIs = IsCompressedType(file.name.empty() ? file.place->stored : file.name) ||
                           file.stamp.size == 0;
    if (file.stamp.size <= kLargestPackedAhead) {
        // Opened only when it is read, on a packing thread: a file that
        // cannot be read fails there with the same error an early check
        // would have found.
        prepared.packAhead = true;
        return prepared;
    }
    if (prepared.storeAsItIs)
        return prepared; // streamed as it is; its open reports a failure
    const std::string host = file.HostPath();
    const int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
    // The start and the spread windows are read where they lie; a failed
    // read leaves the file out as one it cannot read.
    std::vector<char> sample(kCompressionProbeSize);
    int readFailure = 0;
    const auto read = [fd, &sample, &readFailure](std::uint64_t offset, std::size_t length) {
        length = std::min(length, sample.size());
        const ssize_t n = pread(fd, sample.data(), length, static_cast<off_t>(offset));
        if (n < 0) {
            readFailure = errno;
            return std::string_view();
        }
        return std::string_view(sample.data(), static_cast<size_t>(n));
    };
    prepared.deflate = IsWorthDeflating(file.stamp.size, read);
    if (readFailure != 0) {
        prepared.readable = false;
        prepared.failure = readFailure;
        prepared.deflate = false;
    }
    close(fd);
    return prepared;
}

std::string NotReadProblem(const SourceFile& file, int error) {
    return "can't read '" + file.WindowsPath() + "': " + ErrnoText(error) + " (not stored)";
}

namespace {

std::uint32_t ExternalAttributesWith(const SourceFile& file, unsigned dos) {
    dos &= kDosHidden | kDosSystem;
    if (file.kind == SourceKind::Folder)
        dos |= kDosDirectory;
    if (file.kind == SourceKind::File && (file.mode & S_IWUSR) == 0)
        dos |= kDosReadOnly;
    return static_cast<std::uint32_t>(file.mode) << 16 | dos;
}

} // namespace

std::uint32_t ExternalAttributes(const SourceFile& file) {
    return ExternalAttributesWith(
        file, file.dosKnown ? file.dosBits : ReadDosBitsAt(file.HostPath(), DeviceOfFound(file)));
}

std::uint32_t ExternalAttributes(const SourceFile& file, const FileReadState& read) {
    if (read.dosRead)
        return ExternalAttributesWith(file, read.dosBits);
    return ExternalAttributes(file);
}

} // namespace rk::tools
