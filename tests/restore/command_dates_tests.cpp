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

TEST(CommandDates, TheRegionalShortFormWithHyphensForItsSeparators) {
    rk::test::EnsureQtApplication();
    const QDate date(2026, 12, 1);
    QString written = QLocale::system().toString(date, QLocale::ShortFormat);
    written.replace('/', '-').replace('.', '-').replace(' ', '-');
    EXPECT_EQ(ParseCommandDate(ui::FromQString(written)), date) << ui::FromQString(written);
    // Written as the system writes it (when that holds no "/").
    const std::string asShown = ShortDateText(date);
    if (asShown.find('/') == std::string::npos) {
        EXPECT_EQ(ParseCommandDate(asShown), date) << asShown;
    }
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
