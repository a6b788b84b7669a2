#pragma once
// Whether an entry is worth deflating, decided before the whole file is
// compressed. Already-compressed types are stored as they are. Otherwise the
// start of the file is deflated as a probe, and when that does not shrink,
// small windows spread over the rest of the file are looked at: a file is
// stored only when neither its start nor any window shows structure (random
// data, media of a type not known by name), so such files cost a read and a
// byte count of a bounded share, and no compression; a file whose start is
// incompressible but whose rest is not (a disk image, a tar holding a
// compressed file first) is deflated.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace rk::tools {

// Bytes from the start of a file that the probe deflates.
inline constexpr std::size_t kCompressionProbeSize = 64 * 1024;
// The windows looked at past the start: their size and most count. A region
// that shrinks and is larger than the gap between two windows holds one, so
// what the windows miss is at most about 1/128 of the file plus a window.
inline constexpr std::size_t kSpreadWindowSize = 8 * 1024;
inline constexpr std::size_t kMostSpreadWindows = 128;

// True for names whose extension marks compressed content (.zip, .jpg, .png,
// .gz, .mp4 ...), compared without regard to case.
bool IsCompressedType(std::string_view name);

// True when deflating `sample` (the start of a file, at most
// kCompressionProbeSize bytes) shrinks it below about 97% of its size. A
// quick probe of its first 16 KiB that shrinks well settles it first.
bool ProbeDeflates(std::string_view sample);

// True when the bytes of `window` are spread unevenly enough for deflate's
// codes alone to shrink it below about 96% (zeros, text, most binaries);
// random and compressed data use every byte value about equally.
bool WindowShrinks(std::string_view window);

// The offsets of the windows looked at in a file of `size` bytes whose
// first kCompressionProbeSize bytes did not shrink: evenly spread from there
// to the end, side by side when the rest is short.
struct SpreadWindows {
    std::uint64_t first = 0; // offset of the first window
    std::uint64_t step = 0;  // from one window to the next
    std::size_t count = 0;
};
SpreadWindows SpreadWindowsOf(std::uint64_t size);

// Reads `length` bytes at `offset` of the file; fewer (or none) at its end or
// on a failure.
using ReadAt = std::function<std::string_view(std::uint64_t offset, std::size_t length)>;

// True when a file of `wholeSize` bytes is worth deflating: large enough for
// deflate's headers to pay, and its start or a window spread over the rest
// shrinks. `read` gives its bytes.
bool IsWorthDeflating(unsigned long long wholeSize, const ReadAt& read);

} // namespace rk::tools
