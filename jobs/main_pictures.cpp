#include "jobs/main_pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStyle>

namespace rk::jobs {

namespace {

QIcon Standard(QStyle::StandardPixmap pixmap) {
    return QApplication::style()->standardIcon(pixmap);
}

// The program icon at one size, drawn on a 64 x 64 grid: an archive box in
// the program's blue, its lid, and a green arrow pointing into it.
QPixmap ProgramPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    painter.setPen(QPen(QColor(0x1d, 0x3f, 0x72), 2));
    painter.setBrush(QColor(0x3a, 0x6e, 0xb5));
    painter.drawRoundedRect(QRectF(8, 26, 48, 32), 4, 4);
    painter.setBrush(QColor(0x5b, 0x8f, 0xd6));
    painter.drawRoundedRect(QRectF(5, 20, 54, 10), 3, 3);
    painter.setBrush(QColor(0xf2, 0xf2, 0xf2));
    painter.drawRect(QRectF(24, 36, 16, 6));

    QPainterPath arrow;
    arrow.moveTo(27, 2);
    arrow.lineTo(37, 2);
    arrow.lineTo(37, 12);
    arrow.lineTo(44, 12);
    arrow.lineTo(32, 24);
    arrow.lineTo(20, 12);
    arrow.lineTo(27, 12);
    arrow.closeSubpath();
    painter.setPen(QPen(QColor(0x1e, 0x6b, 0x2a), 2));
    painter.setBrush(QColor(0x3c, 0xb0, 0x4f));
    painter.drawPath(arrow);
    return picture;
}

} // namespace

std::array<QIcon, 3> ToolbarPictures() {
    return {Standard(QStyle::SP_FileDialogNewFolder), Standard(QStyle::SP_TrashIcon),
            Standard(QStyle::SP_BrowserReload)};
}

std::array<QIcon, 3> ActionPictures() {
    return {Standard(QStyle::SP_DriveHDIcon), Standard(QStyle::SP_FileDialogDetailedView),
            Standard(QStyle::SP_DialogOpenButton)};
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(ProgramPicture(size));
    return icon;
}

} // namespace rk::jobs
