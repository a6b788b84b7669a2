#pragma once
// Dialogs centre themselves on the screen when loaded.

class QWidget;

namespace rk::ui {

// left = (screen width - window width) / 2, top likewise, on the primary screen.
void CentreOnScreen(QWidget& window);

} // namespace rk::ui
