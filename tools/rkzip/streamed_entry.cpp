#include "tools/rkzip/streamed_entry.h"

#include "tools/rkzip/byte_buffer.h"
#include "tools/rkzip/packed_entry.h"

#include <algorithm>
#include <libdeflate.h>
#include <optional>
#include <zlib.h>

namespace rk::tools {

namespace {

constexpr std::size_t kPiece = 1 << 20;

// A raw deflate stream (as zip entries hold it) appended to the archive.
class Deflater {
  public:
    Deflater() {
        ok_ = deflateInit2(&stream_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool ok() const { return ok_; }

    // Deflates `length` bytes (the last ones when `finish`), appending what
    // comes out; the bytes appended so far are added to `written`.
    bool Put(const unsigned char* data, std::size_t length, bool finish, ArchiveOutput& out,
             std::uint64_t& written) {
        stream_.next_in = const_cast<unsigned char*>(data);
        stream_.avail_in = static_cast<uInt>(length);
        for (;;) {
            stream_.next_out = piece_.data();
            stream_.avail_out = static_cast<uInt>(piece_.size());
            const int result = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR)
                return false;
            const std::size_t produced = piece_.size() - stream_.avail_out;
            out.Append(piece_.data(), produced);
            written += produced;
            if (finish ? result == Z_STREAM_END : stream_.avail_out != 0)
                return true;
        }
    }

  private:
    z_stream stream_{};
    bool ok_ = false;
    ByteBuffer piece_ = ByteBuffer(kPiece);
};

} // namespace

Streamed StreamFile(FileReadState& state, bool deflate, ArchiveOutput& out, EntryRecord& record) {
    record.deflated = deflate;
    record.crc = 0;
    record.size = 0;
    record.compressedSize = 0;
    if (!OpenForReading(state))
        return Streamed::ReadFailed;
    // zlib's state and its output piece are made only for a file deflated.
    std::optional<Deflater> deflater;
    if (deflate) {
        deflater.emplace();
        if (!deflater->ok()) {
            FinishReading(state);
            return Streamed::OutputFailed;
        }
    }
    const std::uint64_t largest = record.zip64Sizes ? ~0ull : kLargestPlainSize;
    // A piece no larger than the file needs (one byte more shows its end).
    ByteBuffer piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, state.file->stamp.size + 1)));
    Streamed outcome = Streamed::Written;
    for (;;) {
        const ssize_t n = ReadSome(state, piece.data(), piece.size());
        if (n < 0) {
            outcome = Streamed::ReadFailed;
            break;
        }
        const auto length = static_cast<std::size_t>(n);
        record.crc = static_cast<std::uint32_t>(libdeflate_crc32(record.crc, piece.data(), length));
        record.size += length;
        if (deflate) {
            if (!deflater->Put(piece.data(), length, n == 0, out, record.compressedSize)) {
                outcome = Streamed::OutputFailed;
                break;
            }
        } else {
            out.Append(piece.data(), length);
            record.compressedSize += length;
        }
        if (!out.ok()) {
            outcome = Streamed::OutputFailed;
            break;
        }
        if (record.size > largest || record.compressedSize > largest) {
            outcome = Streamed::TooLarge;
            break;
        }
        if (n == 0)
            break;
    }
    FinishReading(state);
    return outcome;
}

} // namespace rk::tools
