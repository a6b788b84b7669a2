#pragma once
// The pictures of the main window: the toolbar's image list ("New", "Delete",
// "Refresh"), the three job command buttons, and the program's own icon.

#include <QIcon>

#include <array>

namespace rk::jobs {

// Pictures of the toolbar buttons 1 to 3, in order.
std::array<QIcon, 3> ToolbarPictures();
// Pictures of the buttons Create Root Backup, Create Incremental Backup and
// View, Extract, or Consolidate Files.
std::array<QIcon, 3> ActionPictures();
// The program's icon: a box of archives with an arrow going in.
QIcon ProgramIcon();

} // namespace rk::jobs
