#pragma once
// The trees the benchmark backs up: text that deflates like prose mixed with
// random bytes that do not deflate at all, made the same way on every run.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace rk::bench {

struct TreeShape {
    std::uint64_t bytes = 0;
    std::size_t files = 0;
    // Share of the files (in tenths) filled with random bytes.
    unsigned randomTenths = 4;
    std::size_t filesPerFolder = 50;
};

// Makes the tree below `root`; gives the files it made, in order.
std::vector<std::filesystem::path> MakeTree(const std::filesystem::path& root,
                                            const TreeShape& shape, std::uint64_t seed);

// Makes `files` small files of 1-64 KB below `root`, every other one text
// and every other one text gzip-compressed (named .gz), as in a tree of
// documentation; gives the files it made, in order.
std::vector<std::filesystem::path> MakeSmallCompressedTree(const std::filesystem::path& root,
                                                           std::size_t files, std::uint64_t seed);

// Copies every fifth of `files` into `copies` (made below `root`): a tree
// with duplicate files, as homes hold them.
void AddDuplicates(const std::filesystem::path& root,
                   const std::vector<std::filesystem::path>& files,
                   const std::filesystem::path& copies);

// Changes `count` of `files` (a new line at their end), a different set for
// each `round`.
void ChangeFiles(const std::vector<std::filesystem::path>& files, std::size_t count,
                 unsigned round);

} // namespace rk::bench
