#pragma once
// Whether an entry is worth deflating, decided before the whole file is
// compressed. Already-compressed types are stored as they are. Otherwise the
// start of the file is deflated as a probe: a probe that does not shrink to
// about 97% means the file is stored (random data, media of a type not known
// by name), so such files cost a read and no compression.

#include <cstddef>
#include <string_view>

namespace rk::tools {

// Bytes from the start of a file that the probe deflates.
inline constexpr std::size_t kCompressionProbeSize = 64 * 1024;
// Content up to this size held in memory is deflated whole without a probe.
inline constexpr std::size_t kSmallestProbed = 4 * 1024;

// True for names whose extension marks compressed content (.zip, .jpg, .png,
// .gz, .mp4 ...), compared without regard to case.
bool IsCompressedType(std::string_view name);

// True when deflating `sample` (the start of a file, at most
// kCompressionProbeSize bytes) shrinks it below about 97% of its size. A
// quick probe of its first 16 KiB that shrinks well settles it first.
bool ProbeDeflates(std::string_view sample);

// True when a file of `wholeSize` bytes that starts with `sample` is worth
// deflating: large enough for deflate's headers to pay, and its start
// shrinks.
bool IsWorthDeflating(std::string_view sample, unsigned long long wholeSize);

} // namespace rk::tools
