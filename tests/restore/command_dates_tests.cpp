// The date tokens of "/c/START/END/FOLDER" and the short date form.

#include "restore/command_dates.h"
#include "ui/qt_test_app.h"
#include "ui/qt_text.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace rk::restore {
namespace {

TEST(CommandDates, IsoDatesAndTheirLimits) {
    rk::test::EnsureQtApplication();
    EXPECT_EQ(ParseCommandDate("2026-12-01"), QDate(2026, 12, 1));
    EXPECT_EQ(ParseCommandDate(" 2026-12-01 "), QDate(2026, 12, 1));
    EXPECT_EQ(ParseCommandDate("2026-2-3"), QDate(2026, 2, 3));
    EXPECT_EQ(ParseCommandDate("1601-01-01"), QDate(1601, 1, 1));
    EXPECT_EQ(ParseCommandDate("9999-12-31"), QDate(9999, 12, 31));
    for (const char* notADate : {"", "   ", "tomorrow", "2026-02-30", "2026-13-01", "1600-12-31",
                                 "2026-12-01x", "\"2026-12-01\"", "20261201", "2026_12_01"})
        EXPECT_EQ(ParseCommandDate(notADate), std::nullopt) << notADate;
}

TEST(CommandDates, TheRegionalOrderWithAnySeparatorAndDigitCount) {
    rk::test::EnsureQtApplication();
    const QString us =
        QLocale(QLocale::English, QLocale::UnitedStates).dateFormat(QLocale::ShortFormat);
    const QString gb =
        QLocale(QLocale::English, QLocale::UnitedKingdom).dateFormat(QLocale::ShortFormat);
    const QString de = QLocale(QLocale::German, QLocale::Germany).dateFormat(QLocale::ShortFormat);
    const QDate january2(2024, 1, 2);
    const QDate february1(2024, 2, 1);
    // Month first in the United States, day first in Britain and Germany.
    for (const char* text : {"1-2-2024", "01-02-2024", "1.2.24", "1 2 2024", "01-2-24"}) {
        EXPECT_EQ(ParseCommandDate(text, us), january2) << text;
        EXPECT_EQ(ParseCommandDate(text, gb), february1) << text;
        EXPECT_EQ(ParseCommandDate(text, de), february1) << text;
    }
    EXPECT_EQ(ParseCommandDate("12-31-2026", us), QDate(2026, 12, 31));
    EXPECT_EQ(ParseCommandDate("31.12.2026", de), QDate(2026, 12, 31));
    EXPECT_EQ(ParseCommandDate("1.2.99", de), QDate(1999, 2, 1));
    // ISO whatever the region.
    for (const QString& format : {us, gb, de})
        EXPECT_EQ(ParseCommandDate("2024-01-02", format), january2);
    for (const char* notADate : {"31-12-2026", "2-30-2024", "1-2-024", "1-2-20245", "001-2-2024",
                                 "1-2", "1-2-3-4", "1.2-2024", "a-2-2024", "2024-02-30"})
        EXPECT_EQ(ParseCommandDate(notADate, us), std::nullopt) << notADate;
}

TEST(CommandDates, DaysBothWays) {
    const QDate date(2002, 5, 1);
    const CalendarDay day = DayOf(date);
    EXPECT_EQ(static_cast<int>(day.year()), 2002);
    EXPECT_EQ(unsigned(day.month()), 5u);
    EXPECT_EQ(unsigned(day.day()), 1u);
    EXPECT_EQ(DateOf(day), date);
}

} // namespace
} // namespace rk::restore
