#include "tools/rkzip/compression_choice.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>

namespace rk::tools {

namespace {

constexpr std::array<std::string_view, 44> kCompressedExtensions = {
    "zip",  "gz",   "tgz", "bz2", "tbz", "xz",   "txz",  "lz",   "lzma", "zst", "7z",
    "rar",  "cab",  "jar", "apk", "deb", "rpm",  "jpg",  "jpeg", "png",  "gif", "webp",
    "heic", "avif", "jxl", "mp3", "aac", "ogg",  "opus", "flac", "m4a",  "mp4", "m4v",
    "mkv",  "webm", "mov", "avi", "wmv", "docx", "xlsx", "pptx", "odt",  "ods", "epub"};

// Smaller files do not shrink under deflate: its headers outweigh any gain.
constexpr unsigned long long kSmallestWorthDeflating = 48;

} // namespace

bool IsCompressedType(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot + 1 >= name.size())
        return false;
    std::string extension(name.substr(dot + 1));
    for (auto& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return std::find(kCompressedExtensions.begin(), kCompressedExtensions.end(), extension) !=
           kCompressedExtensions.end();
}

bool IsWorthDeflating(std::string_view sample, unsigned long long wholeSize) {
    if (wholeSize < kSmallestWorthDeflating || sample.empty())
        return false;
    std::array<std::size_t, 256> counts{};
    for (char c : sample)
        ++counts[static_cast<unsigned char>(c)];
    const double n = static_cast<double>(sample.size());
    double entropy = 0;
    for (std::size_t count : counts) {
        if (count == 0)
            continue;
        const double p = static_cast<double>(count) / n;
        entropy -= p * std::log2(p);
    }
    // A short sample of random bytes shows an entropy below 8 by about
    // 255 / (2 n ln 2); leave twice that margin before calling it random.
    const double shortfall = 255.0 / (n * std::log(2.0));
    const double threshold = std::min(7.5, 8.0 - shortfall);
    return entropy < threshold;
}

} // namespace rk::tools
