#pragma once
// The standard dialogs through which the user names a file or a folder.
// Paths come in and go out as Windows path text; cancelling and every failure
// give 0 or empty text, and nothing is shown of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace rk::ui {

// The open (mode 0) or save (mode 1) dialog. `filter` alternates descriptions
// and patterns separated by "," ("EXE Files (*.exe),*.exe,All Files (*.*),*.*").
// Without a default extension, the first pattern's last "."-piece is used.
// Non-zero when the user confirmed a file, whose path is then in `outputPath`;
// 0 otherwise, with `outputPath` empty.
int ShowFileDialog(std::string& outputPath, std::int16_t mode, QWidget* owner,
                   std::string_view title, std::string_view initialFolder, std::string_view filter,
                   std::optional<std::string_view> defaultExtension = std::nullopt);

// The chosen folder, or empty text.
std::string BrowseForFolder(QWidget* owner, std::string_view title);

} // namespace rk::ui
