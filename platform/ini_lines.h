#pragma once
// The lines of a sectioned text file ("[section]" headers, "key=value"
// entries) as every reader of such files here sees them: the program's
// settings files and the registry store. The two differ only in the rules
// IniRules names; sections and keys are found the same way for both.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rk::platform {

struct IniRules {
    // Blanks trimmed from a line before it is looked at as a header.
    std::string_view headerBlanks;
    // Blanks trimmed around keys (and, by the callers, values).
    std::string_view entryBlanks;
    // A header ends with "]" as well as starting with "[".
    bool headerNeedsClosingBracket;
    // Lines starting with ";" or "#" are comments.
    bool comments;
};

// Settings files: a header is any line starting with "[" once spaces are
// trimmed; keys lose spaces and tabs; no comments.
inline constexpr IniRules kSettingsRules{" ", " \t", false, false};
// The registry store: "[...]" headers and keys lose spaces and tabs; lines
// starting with ";" or "#" are comments.
inline constexpr IniRules kRegistryRules{" \t", " \t", true, true};

// Every line of `content` where CR LF, LF and CR each end one line, so empty
// lines are kept as they are. A final line without a break counts too.
std::vector<std::string> SplitLines(std::string_view content);

bool IsIniHeader(std::string_view line, const IniRules& rules);

// True for the header of `section`, letter case ignored.
bool IsIniHeaderOf(std::string_view line, std::string_view section, const IniRules& rules);

// An entry line's key, trimmed; nothing for headers, comments and lines
// without "=".
std::optional<std::string_view> IniEntryKey(std::string_view line, const IniRules& rules);

// The text after an entry line's first "=", as it stands.
std::string_view IniEntryText(std::string_view line);

// The text of the first entry named `key` (letter case ignored, blanks
// around it trimmed) in a section named `section`, sections taken in the
// order of the file; nothing when there is none.
std::optional<std::string> FindIniEntry(std::string_view content, std::string_view section,
                                        std::string_view key, const IniRules& rules);

} // namespace rk::platform
