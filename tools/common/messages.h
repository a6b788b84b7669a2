#pragma once
// One-line messages on standard error, each starting with the tool's name, in
// the style of the libzip tools ("rkzip: can't open zip archive 'X': reason").

#include <string>
#include <string_view>

namespace rk::tools {

void SetToolName(std::string_view name);

// Writes "<tool>: <text>" and a line end to standard error.
void Report(std::string_view text);

// The text of an errno value.
std::string ErrnoText(int error);

// The text libzip gives for one of its error codes (ZIP_ER_...).
std::string ZipErrorText(int code);

} // namespace rk::tools
