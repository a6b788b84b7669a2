#include "restore/command_dates.h"

#include "core/text.h"
#include "ui/qt_text.h"

#include <QLocale>

namespace rk::restore {

namespace {

// The system's short date format with every separator written as "-".
QString HyphenatedFormat(QString format) {
    for (const QChar separator : {QChar('/'), QChar('.'), QChar(' ')})
        format.replace(separator, QChar('-'));
    return format;
}

bool InPickerRange(const QDate& date) {
    return date.isValid() && date >= FirstPickerDate() && date <= LastPickerDate();
}

} // namespace

std::optional<QDate> ParseCommandDate(std::string_view text) {
    const QString trimmed = ui::ToQString(Trim(text));
    if (trimmed.isEmpty())
        return std::nullopt;
    const QString shortFormat = QLocale::system().dateFormat(QLocale::ShortFormat);
    for (const QString& format :
         {QString("yyyy-MM-dd"), QString("yyyy-M-d"), shortFormat, HyphenatedFormat(shortFormat)}) {
        const QDate date = QDate::fromString(trimmed, format);
        if (InPickerRange(date)) {
            // A two-digit year from 00 to 49 is read as 2000 to 2049.
            if (!format.contains("yyyy") && date.year() < 1950)
                return date.addYears(100);
            return date;
        }
    }
    return std::nullopt;
}

std::string ShortDateText(const QDate& date) {
    return ui::FromQString(QLocale::system().toString(date, QLocale::ShortFormat));
}

CalendarDay DayOf(const QDate& date) {
    return CalendarDay{std::chrono::year{date.year()},
                       std::chrono::month{static_cast<unsigned>(date.month())},
                       std::chrono::day{static_cast<unsigned>(date.day())}};
}

QDate DateOf(const CalendarDay& day) {
    return QDate(static_cast<int>(day.year()), static_cast<int>(unsigned(day.month())),
                 static_cast<int>(unsigned(day.day())));
}

QDate FirstPickerDate() {
    return QDate(1601, 1, 1);
}
QDate LastPickerDate() {
    return QDate(9999, 12, 31);
}

} // namespace rk::restore
