#include "generated_tree.h"

#include <array>
#include <cmath>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <zlib.h>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTextPoolBytes = 16u << 20;

// splitmix64: fast, and the same on every machine.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // In [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

  private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 64> kWords = {
    "the",     "backup",  "of",      "and",      "archive", "to",      "a",        "folder",
    "in",      "restore", "is",      "file",     "for",     "newest",  "version",  "job",
    "that",    "with",    "on",      "as",       "it",      "was",     "by",       "each",
    "data",    "copy",    "disk",    "when",     "from",    "this",    "which",    "are",
    "will",    "list",    "name",    "path",     "time",    "every",   "change",   "record",
    "before",  "after",   "written", "read",     "stored",  "kept",    "where",    "report",
    "machine", "night",   "weekly",  "schedule", "drive",   "network", "document", "letter",
    "invoice", "photo",   "summary", "table",    "number",  "account", "project",  "meeting"};

// Prose-like text: words picked with a skew towards the common ones, in
// sentences and lines.
std::string MakeTextPool(Random& random) {
    std::string text;
    text.reserve(kTextPoolBytes + 64);
    std::size_t line = 0;
    bool capital = true;
    while (text.size() < kTextPoolBytes) {
        const double u = random.Unit();
        std::string word(kWords[static_cast<std::size_t>(u * u * kWords.size())]);
        if (capital)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        capital = false;
        text += word;
        line += word.size() + 1;
        const std::uint64_t r = random.Next() % 100;
        if (r < 7) {
            text += ". ";
            capital = true;
        } else if (r < 10) {
            text += ", ";
        } else if (r < 12) {
            text += ' ';
            text += std::to_string(random.Next() % 100000);
            text += ' ';
        } else {
            text += ' ';
        }
        if (line > 72) {
            text += '\n';
            line = 0;
        }
    }
    return text;
}

void FillRandom(Random& random, std::string& content, std::size_t size) {
    content.resize(size);
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t word = random.Next();
        for (std::size_t j = 0; j < 8 && i + j < size; ++j)
            content[i + j] = static_cast<char>(word >> (8 * j));
    }
}

void FillText(Random& random, const std::string& pool, std::string& content, std::size_t size) {
    content.clear();
    while (content.size() < size) {
        const std::size_t from = random.Next() % (pool.size() - 1);
        content.append(pool, from, std::min(pool.size() - from, size - content.size()));
    }
}

void WriteWhole(const fs::path& path, const std::string& content) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot write " + path.string());
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            close(fd);
            throw std::runtime_error("cannot write " + path.string());
        }
        done += static_cast<std::size_t>(n);
    }
    close(fd);
}

} // namespace

std::vector<fs::path> MakeTree(const fs::path& root, const TreeShape& shape, std::uint64_t seed) {
    Random random(seed);
    const std::string pool = MakeTextPool(random);
    // Sizes spread exponentially around the mean, scaled to the total asked.
    std::vector<double> weights(shape.files);
    double sum = 0;
    for (auto& w : weights) {
        w = -std::log(1.0 - random.Unit()) + 0.02;
        sum += w;
    }
    const double scale = sum > 0 ? static_cast<double>(shape.bytes) / sum : 0;

    const std::size_t perFolder = std::max<std::size_t>(1, shape.filesPerFolder);
    const std::size_t folders = (shape.files + perFolder - 1) / perFolder;
    const auto fanOut =
        static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(folders))));
    std::vector<fs::path> made;
    made.reserve(shape.files);
    std::string content;
    for (std::size_t i = 0; i < shape.files; ++i) {
        const std::size_t folderNumber = i / perFolder;
        const fs::path folder = root / ("part " + std::to_string(folderNumber / fanOut)) /
                                ("set" + std::to_string(folderNumber % fanOut));
        if (i % perFolder == 0)
            fs::create_directories(folder);
        const auto size = static_cast<std::size_t>(weights[i] * scale);
        const bool randomBytes = random.Next() % 10 < shape.randomTenths;
        if (randomBytes)
            FillRandom(random, content, size);
        else
            FillText(random, pool, content, size);
        const fs::path path = folder / ((randomBytes ? "blob" : "note") + std::to_string(i) +
                                        (randomBytes ? ".bin" : ".txt"));
        WriteWhole(path, content);
        made.push_back(path);
    }
    return made;
}

std::vector<fs::path> MakeSmallCompressedTree(const fs::path& root, std::size_t files,
                                              std::uint64_t seed) {
    Random random(seed);
    const std::string pool = MakeTextPool(random);
    std::vector<fs::path> made;
    made.reserve(files);
    std::string content;
    std::string packed;
    for (std::size_t i = 0; i < files; ++i) {
        const fs::path folder =
            root / ("doc" + std::to_string(i / 2500)) / ("pkg" + std::to_string(i / 8));
        if (i % 8 == 0)
            fs::create_directories(folder);
        const std::size_t size = 1024 + static_cast<std::size_t>(random.Next() % (63 * 1024));
        FillText(random, pool, content, size);
        if (i % 2 == 0) {
            const fs::path path = folder / ("readme" + std::to_string(i) + ".txt");
            WriteWhole(path, content);
            made.push_back(path);
            continue;
        }
        // gzip's own format, as gzip -9 writes it; the compressed file stays
        // 1-64 KB by packing more text into it.
        FillText(random, pool, content, size * 3);
        uLongf length = compressBound(static_cast<uLong>(content.size())) + 32;
        packed.resize(length);
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef*>(content.data());
        stream.avail_in = static_cast<uInt>(content.size());
        stream.next_out = reinterpret_cast<Bytef*>(packed.data());
        stream.avail_out = static_cast<uInt>(packed.size());
        deflate(&stream, Z_FINISH);
        packed.resize(stream.total_out);
        deflateEnd(&stream);
        const fs::path path = folder / ("changelog" + std::to_string(i) + ".gz");
        WriteWhole(path, packed);
        made.push_back(path);
    }
    return made;
}

void AddDuplicates(const fs::path& root, const std::vector<fs::path>& files,
                   const fs::path& copies) {
    for (std::size_t i = 0; i < files.size(); i += 5) {
        const fs::path target = copies / fs::relative(files[i], root);
        fs::create_directories(target.parent_path());
        fs::copy_file(files[i], target, fs::copy_options::overwrite_existing);
    }
}

void ChangeFiles(const std::vector<fs::path>& files, std::size_t count, unsigned round) {
    if (files.empty())
        return;
    const std::string line = "\nchanged in round " + std::to_string(round) + "\n";
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t index = (round * 7919u + k * 104729u) % files.size();
        const int fd = open(files[index].c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0)
            throw std::runtime_error("cannot change " + files[index].string());
        const bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        close(fd);
        if (!ok)
            throw std::runtime_error("cannot change " + files[index].string());
    }
}

} // namespace rk::bench
