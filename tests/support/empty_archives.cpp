#include "support/empty_archives.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace rk::test {

std::string BackupNameAt(std::time_t utc) {
    std::tm t{};
    gmtime_r(&utc, &t);
    char text[96];
    std::snprintf(text, sizeof text, "rk_%04d_%02d_%02d_%02d_%02d_%02d.zip", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::vector<std::string> WriteEmptyArchives(const std::filesystem::path& folder, int count,
                                            std::time_t firstUtc) {
    // The end of central directory record of an archive without entries.
    static constexpr char kEmptyArchive[22] = {'P', 'K', 5, 6};
    std::filesystem::create_directories(folder);
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    // The first is written, the others are links to it: making tens of
    // thousands of files is much quicker so, and each reads as its own file.
    for (int i = 0; i < count; ++i) {
        names.push_back(BackupNameAt(firstUtc + static_cast<std::time_t>(i) * 3600));
        const std::filesystem::path path = folder / names.back();
        if (i > 0) {
            std::filesystem::create_hard_link(folder / names.front(), path);
            continue;
        }
        std::ofstream out(path, std::ios::binary);
        out.write(kEmptyArchive, sizeof kEmptyArchive);
        if (!out)
            throw std::runtime_error("cannot write " + path.string());
    }
    return names;
}

} // namespace rk::test
