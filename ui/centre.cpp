#include "ui/centre.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace rk::ui {

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    // A window not shown yet has no size of its own until its layout is
    // asked; one that was given a size keeps it.
    if (!window.isVisible() && !window.testAttribute(Qt::WA_Resized))
        window.adjustSize();
    const QRect area = screen->geometry();
    const QSize size = window.frameGeometry().size();
    window.move(area.left() + (area.width() - size.width()) / 2,
                area.top() + (area.height() - size.height()) / 2);
}

} // namespace rk::ui
