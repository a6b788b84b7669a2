#include "tools/rkzip/compression_choice.h"

#include "platform/ascii_text.h"

#include <algorithm>
#include <array>
#include <cctype>
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

bool IsWorthDeflating(std::string_view sample, unsigned long long wholeSize) {
    return wholeSize >= kSmallestWorthDeflating && ProbeDeflates(sample);
}

} // namespace rk::tools
