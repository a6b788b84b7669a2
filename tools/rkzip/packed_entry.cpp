#include "tools/rkzip/packed_entry.h"

#include "tools/rkzip/progress_report.h"

#include <algorithm>
#include <climits>

#define ZLIB_CONST
#include <zlib.h>

namespace rk::tools {

namespace {

// Bytes read, and handed to deflate, at a time; the stop request is looked at
// between them.
constexpr std::size_t kStep = 1024 * 1024;

enum class Deflated { Smaller, NotSmaller, Stopped, Failed };

// Raw deflate of `in` into `out`, given as much room as `in` takes: what does
// not end smaller than that is better stored.
Deflated DeflateInto(const std::vector<unsigned char>& in, std::vector<unsigned char>& out,
                     const std::atomic<bool>& stop) {
    if (in.empty())
        return Deflated::NotSmaller;
    z_stream stream{};
    if (deflateInit2(&stream, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return Deflated::Failed;
    out.resize(in.size());
    std::size_t inDone = 0;
    std::size_t outDone = 0;
    Deflated result = Deflated::Failed;
    for (;;) {
        if (stop.load(std::memory_order_relaxed)) {
            result = Deflated::Stopped;
            break;
        }
        const std::size_t inStep = std::min(kStep, in.size() - inDone);
        const std::size_t outStep = std::min<std::size_t>(UINT_MAX, out.size() - outDone);
        const bool last = inDone + inStep == in.size();
        stream.next_in = in.data() + inDone;
        stream.avail_in = static_cast<uInt>(inStep);
        stream.next_out = out.data() + outDone;
        stream.avail_out = static_cast<uInt>(outStep);
        const int rc = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        inDone += inStep - stream.avail_in;
        outDone += outStep - stream.avail_out;
        if (rc == Z_STREAM_END) {
            out.resize(outDone);
            result = outDone < in.size() ? Deflated::Smaller : Deflated::NotSmaller;
            break;
        }
        if (outDone == out.size()) {
            result = Deflated::NotSmaller;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            break;
    }
    deflateEnd(&stream);
    return result;
}

std::uint32_t Crc(const std::vector<unsigned char>& content) {
    uLong crc = crc32_z(0, nullptr, 0);
    crc = crc32_z(crc, content.data(), content.size());
    return static_cast<std::uint32_t>(crc);
}

} // namespace

PackedEntry PackContent(std::vector<unsigned char> content, const std::atomic<bool>& stop) {
    PackedEntry packed;
    packed.size = content.size();
    packed.crc = Crc(content);
    std::vector<unsigned char> deflated;
    switch (DeflateInto(content, deflated, stop)) {
    case Deflated::Smaller:
        packed.deflated = true;
        packed.bytes = std::move(deflated);
        break;
    case Deflated::Stopped:
        packed.outcome = PackedEntry::Outcome::Stopped;
        break;
    case Deflated::NotSmaller:
    case Deflated::Failed: // zlib could not start: the content is stored
        packed.bytes = std::move(content);
        break;
    }
    return packed;
}

PackedEntry PackFile(FileReadState& state, std::size_t limit, const std::atomic<bool>& stop) {
    PackedEntry packed;
    if (stop.load(std::memory_order_relaxed)) {
        packed.outcome = PackedEntry::Outcome::Stopped;
        return packed;
    }
    if (!OpenForReading(state)) {
        packed.outcome = PackedEntry::Outcome::Failed;
        return packed;
    }
    // Room for one byte more than the file had when it was found, so that its
    // end shows without growing the buffer.
    std::vector<unsigned char> content(
        static_cast<std::size_t>(std::min<std::uint64_t>(state.file->stamp.size, limit)) + 1);
    std::size_t filled = 0;
    for (;;) {
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
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    FinishReading(state);
    // A file too large to pack ahead is read again as it is written.
    if (packed.outcome == PackedEntry::Outcome::TooLarge)
        TakeBackProgress(filled, true);
    if (packed.outcome != PackedEntry::Outcome::Ready)
        return packed;
    content.resize(filled);
    return PackContent(std::move(content), stop);
}

} // namespace rk::tools
