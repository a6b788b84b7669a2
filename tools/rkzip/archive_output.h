#pragma once
// The bytes of a new archive on their way to its file: gathered in a buffer
// and written in large pieces, so that many small entries cost few system
// calls. What was written can be filled in later (an entry's CRC and sizes,
// known after its data) or cut off (an entry whose file failed on the way).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rk::tools {

class ArchiveOutput {
  public:
    // Writes to `fd`, which stays the caller's, from its start.
    explicit ArchiveOutput(int fd);

    // The place of the next byte appended.
    std::uint64_t offset() const { return written_ + buffer_.size(); }

    // False once a write failed; `error()` is its errno value. Later calls
    // do nothing.
    bool ok() const { return error_ == 0; }
    int error() const { return error_; }

    void Append(const void* data, std::size_t length);
    void Append(const std::vector<unsigned char>& bytes) { Append(bytes.data(), bytes.size()); }

    // The buffer to append to directly, to build records in place; given
    // back with Flush() or any other call.
    std::vector<unsigned char>& buffer() { return buffer_; }

    // Overwrites bytes appended before, at `at`.
    void Patch(std::uint64_t at, const std::vector<unsigned char>& bytes);

    // Drops everything from `at` on.
    void CutTo(std::uint64_t at);

    // Writes out what the buffer holds.
    void Flush();

  private:
    void WriteAt(std::uint64_t at, const unsigned char* data, std::size_t length);

    int fd_;
    int error_ = 0;
    std::uint64_t written_ = 0; // bytes in the file
    std::vector<unsigned char> buffer_;
};

} // namespace rk::tools
