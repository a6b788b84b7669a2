#pragma once
// Whether an entry is worth deflating. Already-compressed types are stored as
// they are. A file too large to pack in memory is judged before it is read:
// content that looks random (an order-0 entropy near 8 bits a byte over a
// sample from its start) or is too small to shrink is stored; every other
// file is deflated only when that turns out to make it smaller.

#include <cstddef>
#include <string_view>

namespace rk::tools {

// Bytes read from the start of a file to judge it.
inline constexpr std::size_t kCompressionSampleSize = 16 * 1024;

// True for names whose extension marks compressed content (.zip, .jpg, .png,
// .gz, .mp4 ...), compared without regard to case.
bool IsCompressedType(std::string_view name);

// True when deflating content that starts with `sample` is expected to shrink
// it; `wholeSize` is the size of the whole file.
bool IsWorthDeflating(std::string_view sample, unsigned long long wholeSize);

} // namespace rk::tools
