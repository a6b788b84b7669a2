#include "restore/command_dates.h"

#include "core/text.h"
#include "ui/qt_text.h"

#include <QLocale>

#include <algorithm>
#include <vector>

namespace rk::restore {

namespace {

bool InPickerRange(const QDate& date) {
    return date.isValid() && date >= FirstPickerDate() && date <= LastPickerDate();
}

// The order of day, month and year in a short date format ("M/d/yy" gives
// "mdy"), from the first letter of each.
std::string FieldOrder(const QString& format) {
    std::string order;
    for (const QChar c : format) {
        const char field = c == 'd' ? 'd' : c == 'M' ? 'm' : c == 'y' ? 'y' : '\0';
        if (field != '\0' && order.find(field) == std::string::npos)
            order += field;
    }
    return order.size() == 3 ? order : std::string("dmy");
}

bool AllDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::optional<QDate> ParseCommandDate(std::string_view text) {
    return ParseCommandDate(text, QLocale::system().dateFormat(QLocale::ShortFormat));
}

std::optional<QDate> ParseCommandDate(std::string_view text, const QString& shortFormat) {
    const std::string trimmed = Trim(text);
    // Three fields of digits, all separated by the same one of "-", "." and
    // " " (a token cannot hold "/").
    const std::size_t first = trimmed.find_first_of("-. ");
    if (first == std::string::npos)
        return std::nullopt;
    const char separator = trimmed[first];
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t end = trimmed.find(separator, start);
        fields.push_back(trimmed.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (fields.size() != 3 || !std::all_of(fields.begin(), fields.end(), AllDigits))
        return std::nullopt;

    // Four digits first: always year, month, day.
    const std::string order = fields[0].size() == 4 ? "ymd" : FieldOrder(shortFormat);
    std::string day;
    std::string month;
    std::string year;
    for (std::size_t i = 0; i < 3; ++i)
        (order[i] == 'd' ? day : order[i] == 'm' ? month : year) = fields[i];
    if (day.size() > 2 || month.size() > 2 || (year.size() != 2 && year.size() != 4))
        return std::nullopt;
    int yearNumber = std::stoi(year);
    // A two-digit year from 00 to 49 is read as 2000 to 2049, else 1950 to 1999.
    if (year.size() == 2)
        yearNumber += yearNumber < 50 ? 2000 : 1900;
    const QDate date(yearNumber, std::stoi(month), std::stoi(day));
    if (!InPickerRange(date))
        return std::nullopt;
    return date;
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
