#pragma once
// The exclusion list of rkzip: wildcard patterns ("*.tmp", "*\cache\*", a full
// path such as "C:\Data\secret.txt"), matched without regard to case against a
// file's full Windows path and against its name alone.

#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

// A line of an exclusion file that starts with ";" is a comment.
bool IsExclusionComment(std::string_view line);

class Exclusions {
  public:
    Exclusions() = default;
    explicit Exclusions(const std::vector<std::string>& patterns);

    void Add(std::string_view pattern);
    bool empty() const { return patterns_.empty(); }
    std::size_t size() const { return patterns_.size(); }

    // True when the file with this full Windows path and name is excluded.
    bool ExcludesFile(std::string_view windowsPath, std::string_view name) const;
    // True when every file below the folder is excluded, so the folder need
    // not be entered: a pattern matches the folder path followed by "\".
    bool ExcludesFolder(std::string_view windowsFolderPath) const;

  private:
    struct Pattern {
        std::string text;
        // A pattern without a backslash also matches the name alone.
        bool matchesName = false;
        // "*.ext"-like patterns: a plain case-insensitive suffix test.
        bool suffixOnly = false;
        // "*\cache\*"-like patterns: a plain case-insensitive search.
        bool containsOnly = false;
        // No wildcard at all: the whole name or path, without regard to case.
        bool plain = false;
        // The plain suffix or searched part of those, the whole text of a
        // plain pattern, or for any other the longest run of characters
        // every match holds; in lower case.
        std::string lowerPart;
    };
    std::vector<Pattern> patterns_;
};

} // namespace rk::tools
