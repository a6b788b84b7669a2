#include "tools/rkzip/packed_entry.h"

#include "tools/rkzip/compression_choice.h"
#include "tools/rkzip/entry_encryption.h"
#include "tools/rkzip/progress_report.h"

#include <algorithm>
#include <climits>

#include <libdeflate.h>

namespace rk::tools {

namespace {

// Bytes read at a time; the stop request is looked at between them.
constexpr std::size_t kStep = 1024 * 1024;

enum class Deflated { Smaller, NotSmaller, Failed };

// One compressor per packing thread, made on first use: making one costs
// more than deflating a small file.
libdeflate_compressor* ThreadCompressor() {
    struct Owned {
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(kDeflateLevel);
        ~Owned() {
            if (compressor != nullptr)
                libdeflate_free_compressor(compressor);
        }
    };
    thread_local Owned owned;
    return owned.compressor;
}

// Raw deflate of `in` into `out`, given less room than `in` takes: what does
// not fit is better stored.
Deflated DeflateInto(const unsigned char* in, std::size_t size, ByteBuffer& out) {
    libdeflate_compressor* compressor = ThreadCompressor();
    if (compressor == nullptr)
        return Deflated::Failed;
    out.resize(size);
    const std::size_t written = libdeflate_deflate_compress(compressor, in, size, out.data(), size);
    if (written == 0)
        return Deflated::NotSmaller;
    out.resize(written);
    return Deflated::Smaller;
}

PackedEntry PackPlain(ByteBuffer content, const std::atomic<bool>& stop, bool storeAsItIs);

} // namespace

PackedEntry PackContent(ByteBuffer content, const std::atomic<bool>& stop, bool storeAsItIs) {
    PackedEntry packed = PackPlain(std::move(content), stop, storeAsItIs);
    if (packed.outcome != PackedEntry::Outcome::Ready || !EncryptingWhenPacking())
        return packed;
    ByteBuffer encrypted;
    if (!EncryptEntryBytes(packed.bytes.data(), packed.bytes.size(), encrypted)) {
        packed.outcome = PackedEntry::Outcome::Failed;
        packed.bytes = ByteBuffer();
        return packed;
    }
    packed.bytes = std::move(encrypted);
    packed.encrypted = true;
    return packed;
}

namespace {

PackedEntry PackPlain(ByteBuffer content, const std::atomic<bool>& stop, bool storeAsItIs) {
    PackedEntry packed;
    if (stop.load(std::memory_order_relaxed)) {
        packed.outcome = PackedEntry::Outcome::Stopped;
        return packed;
    }
    packed.size = content.size();
    packed.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, content.data(), content.size()));
    if (storeAsItIs) {
        packed.bytes = std::move(content);
        return packed;
    }
    ByteBuffer deflated;
    // Content whose start and spread windows do not shrink is stored
    // without deflating it. Content no larger than the probe is deflated
    // whole at once instead: the probe would read all of it, and deflating
    // it after a probe that shrank would deflate it twice.
    if (content.size() > kCompressionProbeSize) {
        const auto read = [&content](std::uint64_t offset, std::size_t length) {
            if (offset >= content.size())
                return std::string_view();
            const auto start = static_cast<std::size_t>(offset);
            return std::string_view(reinterpret_cast<const char*>(content.data()) + start,
                                    std::min(length, content.size() - start));
        };
        if (!IsWorthDeflating(content.size(), read)) {
            packed.bytes = std::move(content);
            return packed;
        }
    }
    if (DeflateInto(content.data(), content.size(), deflated) == Deflated::Smaller) {
        packed.deflated = true;
        packed.bytes = std::move(deflated);
    } else {
        // Not smaller, or no compressor could be made: stored as it is.
        packed.bytes = std::move(content);
    }
    return packed;
}

} // namespace

PackedEntry PackFile(FileReadState& state, std::size_t limit, const std::atomic<bool>& stop) {
    PackedEntry packed;
    if (stop.load(std::memory_order_relaxed)) {
        packed.outcome = PackedEntry::Outcome::Stopped;
        return packed;
    }
    // What the file is and whether it changed are asked once: when its
    // bytes as found are read (an unchanged file ends there, so no read is
    // needed to see its end), or else at its end. A file found empty is read
    // to its end: files of /proc show no size, but have content.
    if (!OpenWithoutLooking(state)) {
        packed.outcome = PackedEntry::Outcome::Failed;
        return packed;
    }
    const std::uint64_t foundSize = state.file->stamp.size;
    // Room for one byte more than the file had when it was found, so that its
    // growth shows without growing the buffer.
    ByteBuffer content(static_cast<std::size_t>(std::min<std::uint64_t>(foundSize, limit)) + 1);
    std::size_t filled = 0;
    bool looked = false;
    for (;;) {
        if (filled == foundSize && foundSize > 0 && !looked) {
            looked = true;
            if (EndsAsFound(state))
                break;
            if (state.failed) {
                packed.outcome = PackedEntry::Outcome::Failed;
                break;
            }
        }
        if (stop.load(std::memory_order_relaxed)) {
            packed.outcome = PackedEntry::Outcome::Stopped;
            break;
        }
        if (filled == content.size()) {
            if (content.size() > limit) {
                packed.outcome = PackedEntry::Outcome::TooLarge;
                break;
            }
            content.resize(std::min(limit + 1, std::max(content.size() * 2, filled + kStep)));
        }
        const std::size_t want = std::min(kStep, content.size() - filled);
        const ssize_t n = ReadSome(state, content.data() + filled, want);
        if (n < 0) {
            packed.outcome = PackedEntry::Outcome::Failed;
            break;
        }
        if (n == 0) {
            // Its end, not where it ended when found: changed, or no longer a
            // regular file.
            if (!EndsAsFound(state) && state.failed)
                packed.outcome = PackedEntry::Outcome::Failed;
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    CloseRead(state);
    // A file too large to pack ahead is read again as it is written.
    if (packed.outcome == PackedEntry::Outcome::TooLarge)
        TakeBackProgress(filled, true);
    if (packed.outcome != PackedEntry::Outcome::Ready)
        return packed;
    content.resize(filled);
    return PackContent(std::move(content), stop, state.storeAsItIs);
}

} // namespace rk::tools
