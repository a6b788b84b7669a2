#include "ui/shown_time.h"

#include "ui/qt_text.h"

#include <QDateTime>
#include <QLocale>

namespace rk::ui {

std::string ShownDateTime(std::time_t when) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(when));
    return FromQString(QLocale::system().toString(local.date(), QLocale::ShortFormat) + " " +
                       local.time().toString("HH:mm"));
}

} // namespace rk::ui
