#include "tools/rkzip/compression_choice.h"

#include "platform/ascii_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>

#include <libdeflate.h>

namespace rk::tools {

namespace {

constexpr std::array<std::string_view, 44> kCompressedExtensions = {
    "zip",  "gz",   "tgz", "bz2", "tbz", "xz",   "txz",  "lz",   "lzma", "zst", "7z",
    "rar",  "cab",  "jar", "apk", "deb", "rpm",  "jpg",  "jpeg", "png",  "gif", "webp",
    "heic", "avif", "jxl", "mp3", "aac", "ogg",  "opus", "flac", "m4a",  "mp4", "m4v",
    "mkv",  "webm", "mov", "avi", "wmv", "docx", "xlsx", "pptx", "odt",  "ods", "epub"};

// Smaller files do not shrink under deflate: its headers outweigh any gain.
constexpr unsigned long long kSmallestWorthDeflating = 48;

// A probe must shrink below this share of its size (in percent).
constexpr std::size_t kProbeShrinkPercent = 97;

// A first, shorter probe that shrinks below this share settles it at once:
// the whole probe could not then stay above kProbeShrinkPercent by much.
constexpr std::size_t kQuickProbeSize = 16 * 1024;
constexpr std::size_t kQuickProbeShrinkPercent = 90;

// A spread window must shrink below this share of its size (in percent) by
// its byte counts alone; shorter windows (a file's last bytes) say too little.
constexpr std::size_t kWindowShrinkPercent = 96;
constexpr std::size_t kSmallestWindow = 1024;

} // namespace

bool IsCompressedType(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= name.size())
        return false;
    const std::string extension = rk::platform::LowerAscii(name.substr(dot + 1));
    return std::find(kCompressedExtensions.begin(), kCompressedExtensions.end(), extension) !=
           kCompressedExtensions.end();
}

namespace {

// True when a level-1 deflate of `sample` (at most kCompressionProbeSize
// bytes) fits in `percent` of its size.
bool Shrinks(std::string_view sample, std::size_t percent) {
    if (sample.empty())
        return false;
    // The fastest level: the probe only asks whether the data has structure.
    struct Owned {
        libdeflate_compressor* compressor = libdeflate_alloc_compressor(1);
        ~Owned() {
            if (compressor != nullptr)
                libdeflate_free_compressor(compressor);
        }
    };
    thread_local Owned owned;
    if (owned.compressor == nullptr)
        return true; // no probe: let the whole deflate decide
    sample = sample.substr(0, kCompressionProbeSize);
    const std::size_t room = sample.size() * percent / 100;
    std::array<unsigned char, kCompressionProbeSize> out;
    const std::size_t written = libdeflate_deflate_compress(
        owned.compressor, sample.data(), sample.size(), out.data(), std::min(room, out.size()));
    return written != 0;
}

} // namespace

bool ProbeDeflates(std::string_view sample) {
    // Text and most data settle on the short probe; the full one is left
    // for what does not shrink at once.
    if (sample.size() > kQuickProbeSize &&
        Shrinks(sample.substr(0, kQuickProbeSize), kQuickProbeShrinkPercent))
        return true;
    return Shrinks(sample, kProbeShrinkPercent);
}

bool WindowShrinks(std::string_view window) {
    if (window.size() < kSmallestWindow)
        return false;
    // Four tables counted in turn, so that a byte does not wait for the count
    // of the one before it.
    std::array<std::array<std::uint32_t, 256>, 4> tables{};
    const auto* bytes = reinterpret_cast<const unsigned char*>(window.data());
    std::size_t i = 0;
    for (; i + 4 <= window.size(); i += 4) {
        ++tables[0][bytes[i]];
        ++tables[1][bytes[i + 1]];
        ++tables[2][bytes[i + 2]];
        ++tables[3][bytes[i + 3]];
    }
    for (; i < window.size(); ++i)
        ++tables[0][bytes[i]];
    std::array<std::uint32_t, 256> counts{};
    for (std::size_t b = 0; b < counts.size(); ++b)
        counts[b] = tables[0][b] + tables[1][b] + tables[2][b] + tables[3][b];
    // The bits an ideal code for these byte counts takes: sum of
    // count * log2(size / count). Deflate's codes come close to it (and its
    // repeats only do better), so a window whose ideal size stays above the
    // share does not shrink enough to matter.
    const double size = static_cast<double>(window.size());
    double bits = 0;
    for (const std::uint32_t count : counts)
        if (count != 0)
            bits += static_cast<double>(count) * std::log2(size / static_cast<double>(count));
    return bits / 8 < size * kWindowShrinkPercent / 100;
}

SpreadWindows SpreadWindowsOf(std::uint64_t size) {
    SpreadWindows windows;
    if (size <= kCompressionProbeSize)
        return windows;
    const std::uint64_t rest = size - kCompressionProbeSize;
    windows.first = kCompressionProbeSize;
    if (rest <= kSpreadWindowSize * kMostSpreadWindows) {
        windows.step = kSpreadWindowSize;
        windows.count =
            static_cast<std::size_t>((rest + kSpreadWindowSize - 1) / kSpreadWindowSize);
        return windows;
    }
    // The last window ends at the file's end.
    windows.count = kMostSpreadWindows;
    windows.step = (rest - kSpreadWindowSize) / (kMostSpreadWindows - 1);
    return windows;
}

bool IsWorthDeflating(unsigned long long wholeSize, const ReadAt& read) {
    if (wholeSize < kSmallestWorthDeflating)
        return false;
    if (ProbeDeflates(read(0, kCompressionProbeSize)))
        return true;
    const SpreadWindows windows = SpreadWindowsOf(wholeSize);
    for (std::size_t i = 0; i < windows.count; ++i)
        if (WindowShrinks(read(windows.first + i * windows.step, kSpreadWindowSize)))
            return true;
    return false;
}

} // namespace rk::tools
