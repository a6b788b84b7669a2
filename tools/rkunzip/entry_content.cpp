#include "tools/rkunzip/entry_content.h"

#include "platform/file_system.h"
#include "tools/common/messages.h"
#include "tools/common/zip_format.h"
#include "tools/rkunzip/central_directory.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <libdeflate.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::tools {

namespace {

// One decompressor per worker thread, made when first needed.
libdeflate_decompressor* Decompressor() {
    struct Free {
        void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
    };
    thread_local std::unique_ptr<libdeflate_decompressor, Free> decompressor(
        libdeflate_alloc_decompressor());
    return decompressor.get();
}

using namespace zip_format;

// The extended timestamp rkzip and Info-ZIP write in a local header takes 9
// or 13 bytes, a Unix owner field 11 more.
constexpr std::size_t kUsualLocalExtra = 64;

// Packed data is read this much at a time for an entry read in pieces.
constexpr std::size_t kPackedPiece = 256 * 1024;

std::string DeclaredSizeText(std::uint64_t size) {
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                                 ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;

} // namespace

SharedArchive::SharedArchive(zip_t* archive, const std::string& host,
                             const std::vector<std::uint64_t>& localHeaders)
    : archive_(archive), localHeaders_(localHeaders) {
    fd_ = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    size_ = static_cast<std::uint64_t>(info.st_size);
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    useHeaders_ = count >= 0 && localHeaders_.size() == static_cast<std::uint64_t>(count);
}

SharedArchive::~SharedArchive() {
    if (fd_ >= 0)
        close(fd_);
}

std::optional<std::uint64_t> SharedArchive::LocalHeader(zip_uint64_t index) const {
    if (!useHeaders_ || index >= localHeaders_.size())
        return std::nullopt;
    return localHeaders_[static_cast<std::size_t>(index)];
}

bool SharedArchive::ReadAt(std::uint64_t at, std::size_t length, unsigned char* into) const {
    if (at > size_ || size_ - at < length)
        return false;
    return platform::ReadAllBytesAt(fd_, at, into, length);
}

zip_flags_t EntryContent::RawFlags() const {
    // An encrypted entry's bytes as they lie: libzip neither deciphers nor
    // inflates them.
    return encrypted_ ? ZIP_FL_ENCRYPTED : ZIP_FL_COMPRESSED;
}

EntryContent::~EntryContent() {
    Close();
    if (inflaterMade_)
        inflateEnd(&inflater_);
}

bool EntryContent::Open(zip_uint64_t index, std::string& problem) {
    Close();
    refusal_ = Refusal::None;
    encrypted_ = false;
    checkCrc_ = true;
    authenticated_ = false;
    zip_stat_t st;
    zip_stat_init(&st);
    std::size_t nameLength = 0;
    bool takenWhole = false;
    {
        auto lock = archive_.Lock();
        const bool stated = zip_stat_index(archive_.get(), index, 0, &st) == 0;
        encrypted_ = stated && (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
                     st.encryption_method == ZIP_EM_AES_256;
        // An AE-2 entry gives no CRC (libzip then leaves it out of what it
        // knows); an AE-1 entry gives one, and it is checked too.
        const zip_uint64_t needed = encrypted_ ? kNeeded & ~ZIP_STAT_CRC : kNeeded;
        const bool known = stated && (st.valid & needed) == needed;
        if (encrypted_) {
            checkCrc_ = (st.valid & ZIP_STAT_CRC) != 0 && st.crc != 0;
            if (!checkCrc_)
                st.crc = 0;
        }
        const bool readHere = known && (st.encryption_method == ZIP_EM_NONE || encrypted_) &&
                              (st.comp_method == ZIP_CM_STORE || st.comp_method == ZIP_CM_DEFLATE);
        takenWhole =
            readHere && st.size <= kLargestTakenWhole && st.comp_size <= kLargestTakenWhole;
        if (!readHere)
            return OpenThroughLibzip(index, st, problem);
        const char* name = zip_get_name(archive_.get(), index, ZIP_FL_ENC_RAW);
        nameLength = name != nullptr ? std::strlen(name) : 0;
    }
    if (!takenWhole)
        return OpenStream(index, st, nameLength, problem);
    if (!ReadPackedDirectly(index, st, nameLength) && !ReadPackedThroughLibzip(index, st, problem))
        return false;
    if (encrypted_ && !OpenWhole(problem))
        return false;
    return TakeWhole(st, problem);
}

bool EntryContent::OpenThroughLibzip(zip_uint64_t index, const zip_stat_t& st,
                                     std::string& problem) {
    const bool otherEncryption =
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE;
    if (!otherEncryption) {
        reader_ = zip_fopen_index(archive_.get(), index, 0);
    } else {
        // Encryption other than this reader's (the traditional one, AES-128
        // or AES-192): libzip tries the passwords given, in their order.
        for (const std::string& password : GivenPasswords()) {
            reader_ = zip_fopen_index_encrypted(archive_.get(), index, 0, password.c_str());
            if (reader_ != nullptr ||
                zip_error_code_zip(zip_get_error(archive_.get())) != ZIP_ER_WRONGPASSWD)
                break;
        }
        if (reader_ == nullptr) {
            const int code = zip_error_code_zip(zip_get_error(archive_.get()));
            if (code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_NOPASSWD || GivenPasswords().empty()) {
                refusal_ = Refusal::Password;
                problem = "wrong or missing password";
                return false;
            }
        }
    }
    if (reader_ == nullptr) {
        problem = zip_strerror(archive_.get());
        return false;
    }
    declared_ = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : UINT64_MAX;
    produced_ = 0;
    return true;
}

bool EntryContent::OpenWhole(std::string& problem) {
    const std::size_t stored = packed_.size();
    if (stored < kAesOverhead) {
        refusal_ = Refusal::Authentication;
        problem = "its encrypted data is shorter than its salt and code";
        return false;
    }
    if (!decryption_.Begin(packed_.data())) {
        refusal_ = Refusal::Password;
        problem = "wrong or missing password";
        return false;
    }
    const std::size_t length = stored - kAesOverhead;
    unsigned char* data = packed_.data() + EntryDecryption::kHeaderSize;
    if (!decryption_.Decrypt(data, data, length) || !decryption_.Authentic(data + length)) {
        refusal_ = Refusal::Authentication;
        problem = "authentication failed";
        return false;
    }
    authenticated_ = true;
    packed_.erase(packed_.begin(),
                  packed_.begin() + static_cast<std::ptrdiff_t>(EntryDecryption::kHeaderSize));
    packed_.resize(length);
    return true;
}

bool EntryContent::ReadPackedDirectly(zip_uint64_t index, const zip_stat_t& st,
                                      std::size_t nameLength) {
    const auto header = archive_.LocalHeader(index);
    if (!header)
        return false;
    const auto compressed = static_cast<std::size_t>(st.comp_size);
    // One read for the header, the name, an extra field of the usual size
    // and the data; a second when the extra field is longer.
    const std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(
        kLocalFixedSize + nameLength + kUsualLocalExtra + compressed, archive_.size() - *header));
    packed_.resize(got);
    if (!archive_.ReadAt(*header, got, packed_.data()))
        return false;
    const std::string_view bytes(reinterpret_cast<const char*>(packed_.data()), got);
    if (got < kLocalFixedSize || ZipField(bytes, 0, 4) != kLocalSignature ||
        ZipField(bytes, 26, 2) != nameLength)
        return false;
    const std::size_t dataStart = kLocalFixedSize + nameLength + ZipField(bytes, 28, 2);
    if (dataStart + compressed > got) {
        packed_.resize(dataStart + compressed);
        if (!archive_.ReadAt(*header + got, dataStart + compressed - got, packed_.data() + got))
            return false;
    }
    packed_.erase(packed_.begin(), packed_.begin() + static_cast<std::ptrdiff_t>(dataStart));
    packed_.resize(compressed);
    return true;
}

bool EntryContent::ReadPackedThroughLibzip(zip_uint64_t index, const zip_stat_t& st,
                                           std::string& problem) {
    auto lock = archive_.Lock();
    zip_file_t* raw = zip_fopen_index(archive_.get(), index, RawFlags());
    if (raw == nullptr) {
        problem = zip_strerror(archive_.get());
        return false;
    }
    packed_.resize(static_cast<std::size_t>(st.comp_size));
    std::size_t got = 0;
    while (got < packed_.size()) {
        const zip_int64_t n = zip_fread(raw, packed_.data() + got, packed_.size() - got);
        if (n <= 0) {
            problem = n < 0 ? zip_file_strerror(raw) : ZipErrorText(ZIP_ER_EOF);
            zip_fclose(raw);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    zip_fclose(raw);
    return true;
}

bool EntryContent::TakeWhole(const zip_stat_t& st, std::string& problem) {
    const auto size = static_cast<std::size_t>(st.size);
    if (st.comp_method == ZIP_CM_STORE) {
        if (packed_.size() != size) {
            problem = ZipErrorText(ZIP_ER_INCONS);
            return false;
        }
        content_.swap(packed_);
    } else {
        content_.resize(size);
        // Without a place for the length it gives, libdeflate fails unless
        // the stream fills the content exactly.
        if (libdeflate_deflate_decompress(Decompressor(), packed_.data(), packed_.size(),
                                          content_.data(), size, nullptr) != LIBDEFLATE_SUCCESS) {
            problem = ZipErrorText(ZIP_ER_COMPRESSED_DATA);
            return false;
        }
    }
    if (checkCrc_ && libdeflate_crc32(0, content_.data(), size) != st.crc) {
        problem = ZipErrorText(ZIP_ER_CRC);
        return false;
    }
    whole_ = true;
    given_ = 0;
    return true;
}

std::optional<std::uint64_t> EntryContent::DataStart(zip_uint64_t index, std::size_t nameLength) {
    const auto header = archive_.LocalHeader(index);
    if (!header)
        return std::nullopt;
    unsigned char fixed[kLocalFixedSize];
    if (!archive_.ReadAt(*header, sizeof fixed, fixed))
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(fixed), sizeof fixed);
    if (ZipField(bytes, 0, 4) != kLocalSignature || ZipField(bytes, 26, 2) != nameLength)
        return std::nullopt;
    return *header + kLocalFixedSize + nameLength + ZipField(bytes, 28, 2);
}

bool EntryContent::OpenStream(zip_uint64_t index, const zip_stat_t& st, std::size_t nameLength,
                              std::string& problem) {
    deflated_ = st.comp_method == ZIP_CM_DEFLATE;
    std::uint64_t dataSize = st.comp_size;
    if (encrypted_) {
        if (dataSize < kAesOverhead) {
            refusal_ = Refusal::Authentication;
            problem = "its encrypted data is shorter than its salt and code";
            return false;
        }
        dataSize -= kAesOverhead;
    }
    if (!deflated_ && dataSize != st.size) {
        problem = "its stored data is not of the size it declares";
        return false;
    }
    declared_ = st.size;
    declaredCrc_ = st.crc;
    produced_ = 0;
    crc_ = 0;
    ended_ = false;
    packedLeft_ = st.comp_size;
    const auto start = DataStart(index, nameLength);
    if (start && *start <= archive_.size() && archive_.size() - *start >= st.comp_size) {
        packedAt_ = *start;
    } else {
        auto lock = archive_.Lock();
        raw_ = zip_fopen_index(archive_.get(), index, RawFlags());
        if (raw_ == nullptr) {
            problem = zip_strerror(archive_.get());
            return false;
        }
    }
    if (encrypted_) {
        unsigned char header[EntryDecryption::kHeaderSize];
        if (!ReadPackedBytes(header, sizeof header, problem))
            return false;
        if (!decryption_.Begin(header)) {
            refusal_ = Refusal::Password;
            problem = "wrong or missing password";
            return false;
        }
        packedLeft_ = dataSize;
    }
    if (deflated_) {
        if (!inflaterMade_) {
            if (inflateInit2(&inflater_, -MAX_WBITS) != Z_OK) {
                problem = ZipErrorText(ZIP_ER_MEMORY);
                return false;
            }
            inflaterMade_ = true;
        } else {
            inflateReset(&inflater_);
        }
        inflater_.avail_in = 0;
        if (packed_.size() < kPackedPiece)
            packed_.resize(kPackedPiece);
    }
    streaming_ = true;
    return true;
}

bool EntryContent::ReadPackedBytes(unsigned char* into, std::size_t length, std::string& problem) {
    if (raw_ == nullptr) {
        if (!archive_.ReadAt(packedAt_, length, into)) {
            problem = ZipErrorText(ZIP_ER_READ);
            return false;
        }
        packedAt_ += length;
        return true;
    }
    std::size_t got = 0;
    auto lock = archive_.Lock();
    while (got < length) {
        const zip_int64_t n = zip_fread(raw_, into + got, length - got);
        if (n <= 0) {
            problem = n < 0 ? zip_file_strerror(raw_) : ZipErrorText(ZIP_ER_EOF);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool EntryContent::FillPacked(std::string& problem) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(packedLeft_, kPackedPiece));
    if (!ReadPackedBytes(packed_.data(), want, problem))
        return false;
    if (encrypted_ && !decryption_.Decrypt(packed_.data(), packed_.data(), want)) {
        problem = ZipErrorText(ZIP_ER_INTERNAL);
        return false;
    }
    packedLeft_ -= want;
    inflater_.next_in = packed_.data();
    inflater_.avail_in = static_cast<uInt>(want);
    return true;
}

bool EntryContent::Authenticated(std::string& problem) {
    if (!encrypted_ || authenticated_)
        return true;
    // Bytes past the end of the deflate stream are part of what the code
    // covers.
    if (packed_.size() < kPackedPiece)
        packed_.resize(kPackedPiece);
    while (packedLeft_ > 0) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(packedLeft_, kPackedPiece));
        if (!ReadPackedBytes(packed_.data(), want, problem) ||
            !decryption_.Decrypt(packed_.data(), packed_.data(), want))
            return false;
        packedLeft_ -= want;
    }
    unsigned char code[kAesAuthCodeSize];
    if (!ReadPackedBytes(code, sizeof code, problem) || !decryption_.Authentic(code)) {
        refusal_ = Refusal::Authentication;
        problem = "authentication failed";
        return false;
    }
    authenticated_ = true;
    return true;
}

bool EntryContent::EndsRight(std::string& problem) const {
    if (produced_ != declared_) {
        problem = "its data ends before the size it declares (" + DeclaredSizeText(declared_) + ")";
        return false;
    }
    if (checkCrc_ && crc_ != declaredCrc_) {
        problem = ZipErrorText(ZIP_ER_CRC);
        return false;
    }
    return true;
}

std::int64_t EntryContent::ReadStream(void* data, std::size_t length, std::string& problem) {
    if (ended_)
        return Authenticated(problem) && EndsRight(problem) ? 0 : -1;
    std::size_t got = 0;
    if (!deflated_) {
        // Stored: the packed data is the content, of the declared size.
        got = static_cast<std::size_t>(std::min<std::uint64_t>(length, packedLeft_));
        if (got == 0) {
            ended_ = true;
            return Authenticated(problem) && EndsRight(problem) ? 0 : -1;
        }
        if (raw_ == nullptr) {
            if (!archive_.ReadAt(packedAt_, got, static_cast<unsigned char*>(data))) {
                problem = ZipErrorText(ZIP_ER_READ);
                return -1;
            }
            packedAt_ += got;
        } else {
            auto lock = archive_.Lock();
            const zip_int64_t n = zip_fread(raw_, data, got);
            if (n <= 0) {
                problem = n < 0 ? zip_file_strerror(raw_) : ZipErrorText(ZIP_ER_EOF);
                return -1;
            }
            got = static_cast<std::size_t>(n);
        }
        if (encrypted_) {
            auto* bytes = static_cast<unsigned char*>(data);
            if (!decryption_.Decrypt(bytes, bytes, got)) {
                problem = ZipErrorText(ZIP_ER_INTERNAL);
                return -1;
            }
        }
        packedLeft_ -= got;
    } else {
        inflater_.next_out = static_cast<Bytef*>(data);
        inflater_.avail_out = static_cast<uInt>(std::min<std::size_t>(length, UINT32_MAX));
        const uInt room = inflater_.avail_out;
        for (;;) {
            if (inflater_.avail_in == 0 && packedLeft_ > 0 && !FillPacked(problem))
                return -1;
            const int status = inflate(&inflater_, Z_NO_FLUSH);
            got = room - inflater_.avail_out;
            if (status == Z_STREAM_END) {
                ended_ = true;
                break;
            }
            if (status == Z_BUF_ERROR && inflater_.avail_in == 0 && packedLeft_ == 0) {
                problem = "its compressed data ends before its stream does";
                return -1;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) {
                problem = ZipErrorText(ZIP_ER_COMPRESSED_DATA);
                return -1;
            }
            if (got > 0)
                break;
        }
    }
    // Nothing past the declared size is given.
    if (got > declared_ - produced_) {
        problem = "its data runs past the size it declares (" + DeclaredSizeText(declared_) + ")";
        return -1;
    }
    produced_ += got;
    crc_ = libdeflate_crc32(crc_, data, got);
    if (got == 0 && ended_)
        return Authenticated(problem) && EndsRight(problem) ? 0 : -1;
    return static_cast<std::int64_t>(got);
}

std::int64_t EntryContent::Read(void* data, std::size_t length, std::string& problem) {
    if (streaming_) {
        const std::int64_t n = ReadStream(data, length, problem);
        // Damaged encrypted data fails to inflate before its end: the code
        // tells whether it was altered.
        if (n < 0 && encrypted_ && refusal_ == Refusal::None) {
            std::string ignored;
            Authenticated(ignored);
        }
        return n;
    }
    if (whole_) {
        const std::size_t n = std::min(length, content_.size() - given_);
        if (n > 0)
            std::memcpy(data, content_.data() + given_, n);
        given_ += n;
        return static_cast<std::int64_t>(n);
    }
    if (reader_ == nullptr) {
        problem = ZipErrorText(ZIP_ER_INTERNAL);
        return -1;
    }
    auto lock = archive_.Lock();
    const zip_int64_t n = zip_fread(reader_, data, length);
    if (n < 0)
        problem = zip_file_strerror(reader_);
    if (n > 0 && static_cast<std::uint64_t>(n) > declared_ - produced_) {
        problem = "its data runs past the size it declares (" + DeclaredSizeText(declared_) + ")";
        return -1;
    }
    if (n > 0)
        produced_ += static_cast<std::uint64_t>(n);
    return n;
}

void EntryContent::Close() {
    if (reader_ != nullptr || raw_ != nullptr) {
        auto lock = archive_.Lock();
        if (reader_ != nullptr)
            zip_fclose(reader_);
        if (raw_ != nullptr)
            zip_fclose(raw_);
        reader_ = nullptr;
        raw_ = nullptr;
    }
    whole_ = false;
    streaming_ = false;
}

} // namespace rk::tools

namespace rk::tools {

namespace {

constexpr zip_uint64_t kLongestLinkTarget = 4096;

} // namespace

bool ReadLinkTarget(EntryContent& content, zip_uint64_t index, zip_uint64_t size,
                    std::string& target, std::string& problem) {
    if (size > kLongestLinkTarget) {
        problem = "link target too long";
        return false;
    }
    if (!content.Open(index, problem))
        return false;
    target.assign(static_cast<size_t>(size), '\0');
    std::size_t got = 0;
    while (got < target.size()) {
        const std::int64_t n = content.Read(target.data() + got, target.size() - got, problem);
        if (n <= 0) {
            if (n == 0)
                problem = "short read";
            content.Close();
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    // Read on to the end, where the size and CRC are checked.
    char beyond = 0;
    const std::int64_t more = content.Read(&beyond, 1, problem);
    content.Close();
    if (more != 0) {
        if (more > 0)
            problem = "its data runs past the size it declares";
        return false;
    }
    if (target.empty() || target.find('\0') != std::string::npos) {
        problem = "not a valid link target";
        return false;
    }
    return true;
}

} // namespace rk::tools
