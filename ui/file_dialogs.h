#pragma once
// The standard dialogs through which the user names a file or a folder.
// Paths come in and go out as Windows path text; cancelling and every failure
// give 0 or empty text, and nothing is shown of their own.

#include "ui/seam.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The filter a file dialog opens with: no program here ends in ".exe", so
// a list that starts with Windows program patterns ("EXE Files (*.exe)")
// opens at its "All Files" entry; any other list at its first entry. The
// list itself stays in its order.
std::size_t InitialFilter(const std::vector<FileFilter>& filters);

// The chosen folder, or empty text. The browser opens at `initialFolder`
// (Windows path text) when it is given and exists, else at the home folder.
std::string BrowseForFolder(QWidget* owner, std::string_view title,
                            std::string_view initialFolder = {});

} // namespace rk::ui
