#include "tools/rkunzip/entry_content.h"

#include "tools/common/messages.h"

#include <algorithm>
#include <cstring>
#include <libdeflate.h>
#include <memory>

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

constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                                 ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;

} // namespace

EntryContent::~EntryContent() {
    Close();
}

bool EntryContent::Open(zip_uint64_t index, std::string& problem) {
    Close();
    zip_stat_t st;
    zip_stat_init(&st);
    {
        auto lock = archive_.Lock();
        const bool known =
            zip_stat_index(archive_.get(), index, 0, &st) == 0 && (st.valid & kNeeded) == kNeeded;
        const bool takenWhole =
            known && st.encryption_method == ZIP_EM_NONE &&
            (st.comp_method == ZIP_CM_STORE || st.comp_method == ZIP_CM_DEFLATE) &&
            st.size <= kLargestTakenWhole && st.comp_size <= kLargestTakenWhole;
        if (!takenWhole) {
            reader_ = zip_fopen_index(archive_.get(), index, 0);
            if (reader_ == nullptr)
                problem = zip_strerror(archive_.get());
            return reader_ != nullptr;
        }
        zip_file_t* raw = zip_fopen_index(archive_.get(), index, ZIP_FL_COMPRESSED);
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
    }
    return TakeWhole(st, problem);
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
    if (libdeflate_crc32(0, content_.data(), size) != st.crc) {
        problem = ZipErrorText(ZIP_ER_CRC);
        return false;
    }
    whole_ = true;
    given_ = 0;
    return true;
}

std::int64_t EntryContent::Read(void* data, std::size_t length, std::string& problem) {
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
    return n;
}

void EntryContent::Close() {
    if (reader_ != nullptr) {
        auto lock = archive_.Lock();
        zip_fclose(reader_);
        reader_ = nullptr;
    }
    whole_ = false;
}

} // namespace rk::tools
