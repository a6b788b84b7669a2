// The plain rules of a restore run: archive dates, the range searches, the
// derived names and texts, and the command lines the run hands the utilities.

#include "engine/extract_plan.h"
#include "engine/utility_contract.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

using namespace std::chrono;

CalendarDay Day(int y, unsigned m, unsigned d) {
    return CalendarDay{year{y}, month{m}, day{d}};
}

TEST(ArchiveDate, ComesFromFieldsTwoToFourOfTheName) {
    EXPECT_EQ(ArchiveDate("rk_2002_05_01_12_00_00.zip"), Day(2002, 5, 1));
    EXPECT_EQ(ArchiveDate("rk_2002_05_01_12_00_00_C.zip"), Day(2002, 5, 1));
    EXPECT_EQ(ArchiveDate("rk_2002_05_01_12_00_00_C_C.zip"), Day(2002, 5, 1));
    EXPECT_EQ(ArchiveDate("rk_2002_5_1.zip"), std::nullopt); // field 4 is "1.zip"
    EXPECT_EQ(ArchiveDate("rk_2002_5_1_x.zip"), Day(2002, 5, 1));
    for (const char* undated : {"rk_notes.zip", "rk_2002_05.zip", "rk_2002_xx_01_1.zip",
                                "rk_2002_02_30_1.zip", "rk_2002_13_01_1.zip", "rk_0000_01_01_1.zip",
                                "rk__05_01_1.zip", "rk_ 2002_05_01_1.zip", "rk_-2002_05_01_1.zip"})
        EXPECT_EQ(ArchiveDate(undated), std::nullopt) << undated;
}

TEST(ArchiveDate, TheTimeOfDayIsForTheVersionsLineOnly) {
    EXPECT_EQ(ArchiveTimeOfDay("rk_2002_05_01_12_07_09.zip"), "12:07");
    EXPECT_EQ(ArchiveTimeOfDay("rk_notes.zip"), "");
}

// Oldest first, as the sorted list holds them; two archives on 2 May.
const std::vector<std::string> kList = {
    "rk_2002_05_01_00_00_00.zip",   "rk_2002_05_02_08_00_00.zip", "rk_2002_05_02_23_59_59.zip",
    "rk_2002_05_02_23_59_59_C.zip", "rk_2002_05_04_12_00_00.zip", "rk_notes.zip"};

TEST(FindRange, BothEndsInclusiveByCalendarDay) {
    const struct {
        CalendarDay start;
        CalendarDay end;
        int startIndex;
        int endIndex;
        bool empty;
    } table[] = {
        {Day(2002, 5, 1), Day(2002, 5, 4), 0, 4, false},   // everything dated
        {Day(2002, 5, 2), Day(2002, 5, 2), 1, 3, false},   // one day, three archives
        {Day(2002, 5, 1), Day(2002, 5, 1), 0, 0, false},   // made at 00:00 on the day
        {Day(2002, 4, 1), Day(2002, 5, 1), 0, 0, false},   // start before the oldest
        {Day(2002, 5, 3), Day(2002, 5, 3), 4, 3, true},    // a day between two archives
        {Day(2002, 5, 5), Day(2002, 6, 1), -1, 4, true},   // after the newest
        {Day(2002, 4, 1), Day(2002, 4, 30), 0, -1, true},  // before the oldest
        {Day(2002, 5, 4), Day(2002, 5, 1), 4, 0, true},    // start after end
        {Day(1601, 1, 1), Day(9999, 12, 31), 0, 4, false}, // the whole calendar
    };
    for (const auto& row : table) {
        const ArchiveRange range = FindRange(kList, row.start, row.end);
        EXPECT_EQ(range.startIndex, row.startIndex)
            << static_cast<int>(row.start.year()) << "-" << unsigned(row.start.month()) << "-"
            << unsigned(row.start.day());
        EXPECT_EQ(range.endIndex, row.endIndex);
        EXPECT_EQ(range.Empty(), row.empty);
    }
}

TEST(FindRange, AnEmptyListOrOnlyUndatedNamesFindNothing) {
    EXPECT_TRUE(FindRange({}, Day(2002, 1, 1), Day(2003, 1, 1)).Empty());
    const ArchiveRange undated = FindRange({"rk_notes.zip"}, Day(1601, 1, 1), Day(9999, 1, 1));
    EXPECT_EQ(undated.startIndex, -1);
    EXPECT_EQ(undated.endIndex, -1);
}

// Past a 16-bit index: the range is found among 70,000 archives, and the
// run gets every archive of it.
TEST(FindRange, ReachesEveryArchiveOfALongList) {
    std::vector<std::string> names(70000, "rk_2001_01_01_00_00_00.zip");
    names[40000] = "rk_2002_05_01_00_00_00.zip";
    for (std::size_t i = 40001; i < names.size(); ++i)
        names[i] = "rk_2003_01_01_00_00_00.zip";
    const ArchiveRange range = FindRange(names, Day(2002, 1, 1), Day(2003, 1, 1));
    EXPECT_EQ(range.startIndex, 40000);
    EXPECT_EQ(range.endIndex, 69999);
    EXPECT_EQ(RangeArchiveNames(names, range).size(), 30000u);
}

TEST(RangeArchiveNames, TheDatedEntriesFromStartToEnd) {
    const std::vector<std::string> list = {"rk_2002_05_01_1.zip", "rk_2002_05.zip",
                                           "rk_2002_05_02_1.zip", "rk_notes.zip"};
    EXPECT_EQ(RangeArchiveNames(list, {0, 2}),
              (std::vector<std::string>{"rk_2002_05_01_1.zip", "rk_2002_05_02_1.zip"}));
    EXPECT_TRUE(RangeArchiveNames(list, {2, 0}).empty());
    EXPECT_TRUE(RangeArchiveNames(list, {-1, 2}).empty());
    EXPECT_TRUE(RangeArchiveNames(list, {0, 9}).empty());
}

TEST(DerivedNames, ExtractionFolderAndConsolidatedArchive) {
    EXPECT_EQ(ExtractionFolder("C:\\Restore", "rk_2002_05_01_12_00_00.zip"),
              "C:\\Restore\\rk_2002_05_01_12_00_00");
    EXPECT_EQ(ExtractionFolder("C:\\Restore\\", "rk_2002_05_01_12_00_00.zip"),
              "C:\\Restore\\rk_2002_05_01_12_00_00");
    EXPECT_EQ(ConsolidatedArchivePath("C:\\Backups\\Docs", "rk_2002_05_01_12_00_00.zip"),
              "C:\\Backups\\Docs\\rk_2002_05_01_12_00_00_C.zip");
    EXPECT_EQ(ConsolidatedArchivePath("C:\\Backups\\Docs\\", "rk_2002_05_01_12_00_00_C.zip"),
              "C:\\Backups\\Docs\\rk_2002_05_01_12_00_00_C_C.zip");
    EXPECT_EQ(ConsolidatedArchivePath("C:\\B", "rk_2002_05_01_12_00_00.ZIP"),
              "C:\\B\\rk_2002_05_01_12_00_00_C.ZIP");
}

TEST(DerivedNames, ActionWords) {
    EXPECT_EQ(ActionWord(ExtractAction::ExtractAll, 0), "EXTRACT");
    EXPECT_EQ(ActionWord(ExtractAction::Consolidate, 0), "CONSOLIDATE");
    EXPECT_EQ(ActionWord(ExtractAction::ExtractPicked, 12),
              "EXTRACT INDIVIDUAL FILES (12 files selected)");
    EXPECT_EQ(ActionWord(ExtractAction::ExtractPicked, 1),
              "EXTRACT INDIVIDUAL FILES (1 files selected)");
}

TEST(DerivedNames, ConfirmationAndPickerTextsLineByLine) {
    EXPECT_EQ(ConfirmationText("C:\\Backups\\Docs", "C:\\Restore", "01/05/2002", "04/05/2002",
                               "CONSOLIDATE"),
              "Source: C:\\Backups\\Docs\r\nDestination: C:\\Restore\r\n"
              "Dates: 01/05/2002 to 04/05/2002\r\nAction: CONSOLIDATE\r\n\r\nOK to proceed?");
    EXPECT_EQ(PickerInfoText("C:\\Restore", "01/05/2002", "04/05/2002"),
              "Destination: C:\\Restore\r\nBackups: 01/05/2002 to 04/05/2002");
}

// The command lines of a run on the job "My Docs" into C:\Restore, with the
// utilities in a folder with a space.
TEST(RunCommandLines, ByteForByte) {
    const std::string unzip = "C:\\Program Files\\rk\\rkunzip";
    const std::string archive = "C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00.zip";
    const std::string target = "C:\\Restore\\rk_2002_05_01_12_00_00\\";
    EXPECT_EQ(ExtractCommandLine(unzip, archive, target),
              "\"C:\\Program Files\\rk\\rkunzip\" -d -Jhrs -o- -yo -^^ "
              "\"C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00.zip\" "
              "\"C:\\Restore\\rk_2002_05_01_12_00_00\\\"");
    EXPECT_EQ(
        ExtractListedCommandLine(unzip, archive, "C:\\Program Files\\rk\\filelisto.tmp", target),
        "\"C:\\Program Files\\rk\\rkunzip\" -d -Jhrs -o- -yo -^^ "
        "\"C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00.zip\" "
        "@\"C:\\Program Files\\rk\\filelisto.tmp\" "
        "\"C:\\Restore\\rk_2002_05_01_12_00_00\\\"");
    EXPECT_EQ(ConsolidateCommandLine("C:\\PROGRA~1\\rk\\rkzip",
                                     "C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00_C.zip", target),
              "C:\\PROGRA~1\\rk\\rkzip -a -p -r -whs -yp -^^ "
              "\"C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00_C.zip\" "
              "\"C:\\Restore\\rk_2002_05_01_12_00_00\\*.*\"");
    EXPECT_EQ(ListingCommandLine(unzip, "C:\\Program Files\\rk\\filelist.tmp", archive),
              "\"C:\\Program Files\\rk\\rkunzip\" -@\"C:\\Program Files\\rk\\filelist.tmp\" "
              "\"C:\\Backups\\My Docs\\rk_2002_05_01_12_00_00.zip\"");
}

} // namespace
} // namespace rk
