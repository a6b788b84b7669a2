#pragma once
// The lines the program writes to standard error: each starts with the
// program's name, so that a terminal or a scheduler's mail shows who wrote it
// ("rkbak: there is no backup job named ...").

#include <ostream>
#include <string_view>

namespace rk {

inline constexpr std::string_view kReportPrefix = "rkbak: ";

// Writes "rkbak: ", the text and a line end.
void ReportLine(std::ostream& errors, std::string_view text);

// One such line for every line of the text that is not empty.
void ReportLines(std::ostream& errors, std::string_view text);

} // namespace rk
