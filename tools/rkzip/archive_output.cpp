#include "tools/rkzip/archive_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace rk::tools {

namespace {

// Written out once the buffer holds this much.
constexpr std::size_t kBufferSize = 1 << 20;

} // namespace

ArchiveOutput::ArchiveOutput(int fd) : fd_(fd) {
    buffer_.reserve(kBufferSize);
}

void ArchiveOutput::WriteAt(std::uint64_t at, const unsigned char* data, std::size_t length) {
    while (length > 0 && ok()) {
        const ssize_t n = pwrite(fd_, data, length, static_cast<off_t>(at));
        if (n < 0) {
            if (errno != EINTR)
                error_ = errno;
            continue;
        }
        if (n == 0) {
            error_ = EIO;
            break;
        }
        data += n;
        at += static_cast<std::uint64_t>(n);
        length -= static_cast<std::size_t>(n);
    }
}

void ArchiveOutput::Flush() {
    if (buffer_.empty() || !ok())
        return;
    WriteAt(written_, buffer_.data(), buffer_.size());
    written_ += buffer_.size();
    buffer_.clear();
}

void ArchiveOutput::Append(const void* data, std::size_t length) {
    if (!ok())
        return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (buffer_.size() + length <= kBufferSize) {
        buffer_.insert(buffer_.end(), bytes, bytes + length);
        return;
    }
    Flush();
    if (length >= kBufferSize) {
        WriteAt(written_, bytes, length);
        written_ += length;
    } else {
        buffer_.insert(buffer_.end(), bytes, bytes + length);
    }
}

void ArchiveOutput::Patch(std::uint64_t at, const std::vector<unsigned char>& bytes) {
    if (!ok())
        return;
    std::size_t done = 0;
    // The part already in the file, then the part still in the buffer.
    if (at < written_) {
        done = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), written_ - at));
        WriteAt(at, bytes.data(), done);
    }
    if (done < bytes.size())
        std::memcpy(buffer_.data() + (at + done - written_), bytes.data() + done,
                    bytes.size() - done);
}

void ArchiveOutput::CutTo(std::uint64_t at) {
    if (!ok())
        return;
    if (at >= written_) {
        buffer_.resize(static_cast<std::size_t>(at - written_));
        return;
    }
    buffer_.clear();
    written_ = at;
    if (ftruncate(fd_, static_cast<off_t>(at)) != 0)
        error_ = errno;
}

} // namespace rk::tools
