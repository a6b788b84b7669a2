#pragma once
// Cutting the text of a settings file into lines as the extended values are
// read, and joining lines again (platform/ini_lines.h splits them as the
// ordinary keys are read).

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

// The lines each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

} // namespace rk
