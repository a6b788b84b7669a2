#pragma once
// The command lines of rkzip and rkunzip. Arguments arrive already split (at
// blanks, double quotes grouping and removed); paths in them are Windows path
// text, mapped to the host later.

#include "platform/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::tools {

enum class ZipMode {
    Add,         // -a
    AddAndClear, // -a+
    Incremental, // -i
};

enum class PathStyle {
    Relative, // -p (also the default): path below the pattern's folder
    Full,     // -P: full path without the drive
};

// A file operand of rkzip: a pattern ("C:\Data\*.*", a file, a folder) or a
// list file of patterns ("@C:\x\list.tmp").
struct ZipSource {
    std::string text;
    bool isListFile = false;
};

struct ZipCommand {
    bool help = false;
    bool version = false; // --version, -V
    ZipMode mode = ZipMode::Add;
    PathStyle pathStyle = PathStyle::Relative;
    bool recurse = false;
    bool includeHidden = false;
    bool includeSystem = false;
    std::vector<std::string> exclusionFiles;
    std::vector<std::string> exclusionPatterns;
    // -g@FILE: names gone during the period of a consolidated archive.
    std::optional<std::string> goneNamesFile;
    std::string archive;
    std::vector<ZipSource> sources;
};

struct UnzipCommand {
    bool help = false;
    bool version = false;                       // --version, -V
    bool recreateFolders = false;               // -d
    bool replaceExisting = false;               // -o (never under -o-, the default)
    bool restoreHidden = true;                  // -Jh turns it off
    bool restoreReadOnly = true;                // -Jr turns it off
    bool restoreSystem = true;                  // -Js turns it off
    std::optional<std::string> listingFile;     // -@FILE
    std::optional<std::string> pointRecordFile; // -R@FILE
    std::vector<std::string> moreArchives;      // -R@: the archives after the first
    bool test = false;                          // -t: read every entry back, write nothing
    std::string archive;
    std::vector<std::string> listFiles; // @FILE operands
    std::vector<std::string> names;     // name patterns to extract
    std::optional<std::string> destination;
};

// A parsed command line, or the reason it is not one.
[[nodiscard]] Result<ZipCommand> ParseZipCommand(const std::vector<std::string>& args);

// `isFolder` tells whether an operand names an existing folder (the last
// operand may name the destination without a trailing backslash).
[[nodiscard]] Result<UnzipCommand>
ParseUnzipCommand(const std::vector<std::string>& args,
                  bool (*isFolder)(const std::string&) = nullptr);

// "rkzip (Ravelkeep) 2.0.1, libzip 1.9.2" and a line end.
std::string VersionText(std::string_view tool);
std::string ZipUsage();
std::string UnzipUsage();

} // namespace rk::tools
