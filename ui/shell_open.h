#pragma once
// Opening a file or folder with the desktop's own program, not waiting.

#include <string_view>

namespace rk::ui {

// False when the path has no host form or the desktop refuses it.
bool ShellOpen(std::string_view windowsPath);

} // namespace rk::ui
