#pragma once
// Cutting the text of a settings file into lines, the two ways the settings
// engines read it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// The extended-value reader's line input: characters up to a CR or LF form the
// line; the break character is dropped, and one further CR or LF right after it
// belongs to the same break. At the end of the text the characters gathered so
// far form the last line. Returns false when `position` is already at the end.
bool ReadTextLine(std::string_view content, std::size_t& position, std::string& line);

// Every line of `content` read with ReadTextLine.
std::vector<std::string> ReadTextLines(std::string_view content);

// Every line of `content` where CR LF, LF and CR each end one line, so empty
// lines are kept as they are. A final line without a break counts too.
std::vector<std::string> SplitLines(std::string_view content);

// The lines each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace rk
