#pragma once
// Text and path helpers on Windows path text. Exact to the letter: callers
// rely on their edge behaviour (splitting always yields a piece, a path that
// ends with a backslash comes back unchanged from GetPathPart, ...).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rk {

// The program title, used for every message box.
inline constexpr std::string_view ProgramTitle = "Ravelkeep";

// Removes leading and trailing spaces (code 32 only, not tabs).
std::string Trim(std::string_view text);
// ASCII lower case.
std::string LowerCase(std::string_view text);

std::string AddBackslash(std::string_view text);
std::string StripBackslash(std::string_view text);

// Fills `pieces` with position 0 empty and the pieces at 1..count; returns
// the count (at most 32767 pieces: the rest of the text goes into the last).
std::int16_t SplitString(std::vector<std::string>& pieces, std::string_view text,
                         std::string_view separator, bool tolerant);
std::string GetToken(std::string_view text, std::int16_t piece, std::string_view separator);

enum PathPartMode : int {
    PathPartFolder = 0,
    PathPartFileName = 1,
    PathPartExtension = 2,
    PathPartBaseName = 3,
    PathPartParent = 4,
    PathPartRoot = 5,
};
std::string GetPathPart(std::string_view path, int mode = PathPartFolder, bool strip = true);

bool SameText(std::string_view a, std::string_view b);
bool ContainsText(std::string_view searched, std::string_view sought);
bool ContainsAnyChar(std::string_view searched, std::string_view characters);
std::string TrimAtNull(std::string_view text);

// Numbers read from settings: the leading number of the text (leading spaces
// ignored, an optional sign, digits, an optional fraction), 0 when none.
double LeadingNumber(std::string_view text);
// Rounds to the nearest whole number, halves to the even neighbour; clamps to
// the range of long long.
long long RoundHalfEven(double value);

} // namespace rk
