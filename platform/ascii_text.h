#pragma once
// Letter case and blanks as every layer compares them: ASCII letters only
// (names are UTF-8 bytes and never change beyond A-Z), and blanks trimmed by
// an explicit set, since each file format names its own.

#include <string>
#include <string_view>

namespace rk::platform {

char LowerAscii(char c);
std::string LowerAscii(std::string_view text);

// Equal when A-Z and a-z are taken as the same letters.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);

// Blanks of lines read from files: spaces and tabs, and at a line's end a
// carriage return left by CR LF.
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kBlanksAndCr = " \t\r";

// `text` without the characters of `front` at its start and of `back` at
// its end.
std::string_view TrimFrom(std::string_view text, std::string_view front, std::string_view back);

} // namespace rk::platform
