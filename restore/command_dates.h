#pragma once
// Dates as the user writes and reads them: the date tokens of the command
// line, and the short date form of the system's regional settings.

#include "engine/extract_plan.h"

#include <QDate>

#include <optional>
#include <string>
#include <string_view>

namespace rk::restore {

// A date token of the command line: three fields of digits separated by one
// of "-", "." and " " (a token cannot hold "/"): year, month and day when the
// first field has four digits ("2026-12-01"), else in the order of the
// regional short date form (day, month, year for "dd.MM.yy"; month, day, year
// for "M/d/yy"), with one or two digits for day and month and two or four
// for the year (00 to 49 are 2000 to 2049). Nothing for any other text, or a
// date that does not exist or lies outside 1 January 1601 to 31 December 9999.
std::optional<QDate> ParseCommandDate(std::string_view text);
// The same with the short date form given ("M/d/yy").
std::optional<QDate> ParseCommandDate(std::string_view text, const QString& shortFormat);

// The date in the system's short date form.
std::string ShortDateText(const QDate& date);

// The calendar day of a date.
CalendarDay DayOf(const QDate& date);
QDate DateOf(const CalendarDay& day);

// The first and last date the pickers accept.
QDate FirstPickerDate();
QDate LastPickerDate();

} // namespace rk::restore
