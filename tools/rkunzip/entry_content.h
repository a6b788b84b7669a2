#pragma once
// The content of archive entries, read by several extraction workers from
// one open archive. libzip's handle is not for two threads at once, so every
// call into it is made under one lock. A small entry is taken out whole,
// still compressed, with one read of the archive file outside the lock (at
// the offset the central directory gives), and inflated outside it too (with
// its CRC checked), so that the workers' reading, inflating and writing
// overlap. Larger stored and deflated entries are read in pieces, straight
// from the archive file where the central directory says (else through
// libzip, still packed, under the lock), and inflated here with zlib. Any
// other (other methods, encryption) is read through libzip in pieces, each
// under the lock. Every entry ends at the size it declares: data running
// longer, or ending short, fails the entry, and nothing past the declared
// size is ever given.
// WinZip AES-256 entries are read on the same paths, deciphered on the way
// (entry_decryption.h): a small one is authenticated before any of it is
// given, a larger one when its data ends, so its file is never put in place
// unless its code matches.

#include "tools/rkunzip/entry_decryption.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace rk::tools {

class SharedArchive {
  public:
    // `host` is the archive's file, opened once more for reading entries'
    // data beside libzip at `localHeaders` (as the central directory gives
    // them; empty when it could not be read without libzip).
    SharedArchive(zip_t* archive, const std::string& host,
                  const std::vector<std::uint64_t>& localHeaders);
    ~SharedArchive();
    SharedArchive(const SharedArchive&) = delete;
    SharedArchive& operator=(const SharedArchive&) = delete;

    // Held for every call into the archive.
    [[nodiscard]] std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }
    zip_t* get() const { return archive_; }

    // Where the local header of entry `index` lies (within the archive),
    // when the central directory could be read without libzip.
    std::optional<std::uint64_t> LocalHeader(zip_uint64_t index) const;
    // Reads [at, at + length) of the archive into `into`; false when the
    // archive is shorter.
    bool ReadAt(std::uint64_t at, std::size_t length, unsigned char* into) const;
    std::uint64_t size() const { return size_; }

  private:
    zip_t* archive_;
    std::mutex mutex_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    const std::vector<std::uint64_t>& localHeaders_;
    bool useHeaders_ = false;
};

// One worker's reader; opened for one entry at a time, its buffers kept for
// the next.
class EntryContent {
  public:
    explicit EntryContent(SharedArchive& archive) : archive_(archive) {}
    ~EntryContent();
    EntryContent(const EntryContent&) = delete;
    EntryContent& operator=(const EntryContent&) = delete;

    // False (and `problem`) when the entry cannot be read.
    bool Open(zip_uint64_t index, std::string& problem);
    // The next bytes into `data`: how many, 0 at the end, -1 on failure
    // (and `problem`).
    std::int64_t Read(void* data, std::size_t length, std::string& problem);
    void Close();

    // Why the last entry opened or read was refused for its encryption.
    Refusal refusal() const { return refusal_; }

  private:
    // An entry of another method or encryption, read through libzip.
    bool OpenThroughLibzip(zip_uint64_t index, const zip_stat_t& st, std::string& problem);
    zip_flags_t RawFlags() const;
    // Of an encrypted entry: takes its salt and verification value off the
    // front of `packed_` and its code off the end, authenticates the rest
    // and deciphers it in place.
    bool OpenWhole(std::string& problem);
    // Reads the next `length` bytes of packed data into `into`, from the
    // archive file or libzip's reader.
    bool ReadPackedBytes(unsigned char* into, std::size_t length, std::string& problem);
    // At the end of an encrypted entry's data: the rest of it (past the end
    // of its deflate stream) authenticated too, then its code compared.
    bool Authenticated(std::string& problem);

    // Takes the packed data of a small entry straight from the archive file
    // when its local header is where the central directory says and names
    // `nameLength` bytes; false when it is not, and libzip is asked.
    bool ReadPackedDirectly(zip_uint64_t index, const zip_stat_t& st, std::size_t nameLength);
    // The same through libzip, under the lock.
    bool ReadPackedThroughLibzip(zip_uint64_t index, const zip_stat_t& st, std::string& problem);
    // Inflates and checks what Open() took out whole.
    bool TakeWhole(const zip_stat_t& st, std::string& problem);
    // Starts reading a larger stored or deflated entry in pieces.
    bool OpenStream(zip_uint64_t index, const zip_stat_t& st, std::size_t nameLength,
                    std::string& problem);
    // Where the data of entry `index` starts in the archive file, after its
    // local header naming `nameLength` bytes; nothing when it cannot be read
    // there.
    std::optional<std::uint64_t> DataStart(zip_uint64_t index, std::size_t nameLength);
    std::int64_t ReadStream(void* data, std::size_t length, std::string& problem);
    // Takes the next piece of packed data for the inflater.
    bool FillPacked(std::string& problem);
    // At the end of the data: whether it came to the declared size and CRC.
    bool EndsRight(std::string& problem) const;

    SharedArchive& archive_;
    zip_file_t* reader_ = nullptr;
    // An entry taken whole: its content and how much of it was given.
    bool whole_ = false;
    std::vector<unsigned char> packed_;
    std::vector<unsigned char> content_;
    std::size_t given_ = 0;
    // An entry read in pieces: from the archive file at `packedAt_`, or
    // through libzip's `raw_` reader of the packed data.
    bool streaming_ = false;
    bool deflated_ = false;
    bool ended_ = false;
    zip_file_t* raw_ = nullptr;
    std::uint64_t packedAt_ = 0;
    std::uint64_t packedLeft_ = 0;
    // What the entry declares, and what it has given so far (libzip's
    // reader included).
    std::uint64_t declared_ = 0;
    std::uint32_t declaredCrc_ = 0;
    std::uint64_t produced_ = 0;
    std::uint32_t crc_ = 0;
    z_stream inflater_{};
    bool inflaterMade_ = false;
    // An encrypted entry: its cipher, whether its CRC is given to check (AE-1)
    // and whether its code was found right.
    EntryDecryption decryption_;
    bool encrypted_ = false;
    bool checkCrc_ = true;
    bool authenticated_ = false;
    Refusal refusal_ = Refusal::None;
};

// Reads the target of the link entry `index` of `size` bytes; false (and
// `problem`) when it cannot be read or is no valid target.
bool ReadLinkTarget(EntryContent& content, zip_uint64_t index, zip_uint64_t size,
                    std::string& target, std::string& problem);

// Entries up to this size, stored and compressed, are taken out whole.
inline constexpr std::uint64_t kLargestTakenWhole = 1024 * 1024;

} // namespace rk::tools
