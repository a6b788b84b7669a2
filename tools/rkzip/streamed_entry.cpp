#include "tools/rkzip/streamed_entry.h"

#include "tools/rkzip/byte_buffer.h"
#include "tools/rkzip/entry_encryption.h"
#include "tools/rkzip/packed_entry.h"

#include <algorithm>
#include <cerrno>
#include <libdeflate.h>
#include <optional>
#include <zlib.h>

namespace rk::tools {

namespace {

constexpr std::size_t kPiece = 1 << 20;

// Where an entry's data goes: into the archive as it is, or encrypted on
// the way; `written` counts the bytes the entry holds.
class EntryOutput {
  public:
    EntryOutput(ArchiveOutput& out, EntryEncryption* encryption, std::uint64_t& written)
        : out_(out), encryption_(encryption), written_(written) {}

    bool Put(const unsigned char* data, std::size_t length) {
        if (encryption_ != nullptr) {
            if (scratch_.size() < length)
                scratch_.resize(length);
            if (!encryption_->Encrypt(data, scratch_.data(), length))
                return false;
            data = scratch_.data();
        }
        out_.Append(data, length);
        written_ += length;
        return true;
    }

    // Bytes that go as they are (an encrypted entry's salt and code).
    void PutAsItIs(const unsigned char* data, std::size_t length) {
        out_.Append(data, length);
        written_ += length;
    }

  private:
    ArchiveOutput& out_;
    EntryEncryption* encryption_;
    std::uint64_t& written_;
    ByteBuffer scratch_;
};

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

    // Deflates `length` bytes (the last ones when `finish`), putting out
    // what comes out.
    bool Put(const unsigned char* data, std::size_t length, bool finish, EntryOutput& out) {
        stream_.next_in = const_cast<unsigned char*>(data);
        stream_.avail_in = static_cast<uInt>(length);
        for (;;) {
            stream_.next_out = piece_.data();
            stream_.avail_out = static_cast<uInt>(piece_.size());
            const int result = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR)
                return false;
            const std::size_t produced = piece_.size() - stream_.avail_out;
            if (!out.Put(piece_.data(), produced))
                return false;
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
    record.encrypted = EncryptingEntries();
    if (!OpenForReading(state))
        return Streamed::ReadFailed;
    // An encrypted entry starts with its salt and verification value.
    std::optional<EntryEncryption> encryption;
    if (record.encrypted) {
        encryption.emplace();
        if (!encryption->Begin()) {
            FinishReading(state);
            state.failed = true;
            state.failure = EIO;
            return Streamed::ReadFailed;
        }
    }
    EntryOutput entryOut(out, encryption ? &*encryption : nullptr, record.compressedSize);
    if (encryption)
        entryOut.PutAsItIs(encryption->header(), EntryEncryption::kHeaderSize);
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
        if (deflate ? !deflater->Put(piece.data(), length, n == 0, entryOut)
                    : !entryOut.Put(piece.data(), length)) {
            outcome = Streamed::OutputFailed;
            break;
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
    if (outcome == Streamed::Written && encryption) {
        unsigned char code[kAesAuthCodeSize];
        encryption->Finish(code);
        entryOut.PutAsItIs(code, sizeof code);
    }
    FinishReading(state);
    return outcome;
}

} // namespace rk::tools
