#pragma once
// The application help file: registered once at start-up, opened by the help
// commands.

#include <string>
#include <string_view>

namespace rk::ui {

// Remembers the help file (Windows path text).
void RegisterHelpFile(std::string_view windowsPath);
// The registered help file, or empty text.
const std::string& HelpFile();
// Shows the registered help file through the seam.
void ShowHelp();

} // namespace rk::ui
