#pragma once
// Dates as the user writes and reads them: the date tokens of the command
// line, and the short date form of the system's regional settings.

#include "engine/extract_plan.h"

#include <QDate>

#include <optional>
#include <string>
#include <string_view>

namespace rk::restore {

// A date token of the command line: "2026-12-01", or the system's short date
// form, either as it is or with "-" in place of its separators (a token cannot
// hold "/"). Nothing for a text that is not a date from 1 January 1601 to
// 31 December 9999.
std::optional<QDate> ParseCommandDate(std::string_view text);

// The date in the system's short date form.
std::string ShortDateText(const QDate& date);

// The calendar day of a date.
CalendarDay DayOf(const QDate& date);
QDate DateOf(const CalendarDay& day);

// The first and last date the pickers accept.
QDate FirstPickerDate();
QDate LastPickerDate();

} // namespace rk::restore
