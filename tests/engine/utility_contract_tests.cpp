#include "engine/backup_run.h"
#include "engine/utility_contract.h"

#include <gtest/gtest.h>

namespace {

using namespace rk;

TEST(UtilityContract, CommandLinesAreExactToTheByte) {
    EXPECT_EQ(
        BackupCommandLine(BackupMode::Root, "C:\\TOOLS\\WZZIP.EXE", "C:\\BACKUPS\\MYJOB\\EXCL.INI",
                          "C:\\Backups\\MyJob\\rk_2002_03_05_14_07_09.zip", "C:\\APPS\\RK3F.TMP"),
        "C:\\TOOLS\\WZZIP.EXE -a+ -P -r -whs -yp -^^ -x@C:\\BACKUPS\\MYJOB\\EXCL.INI "
        "\"C:\\Backups\\MyJob\\rk_2002_03_05_14_07_09.zip\" @C:\\APPS\\RK3F.TMP");
    EXPECT_EQ(BackupCommandLine(BackupMode::Incremental, "Z", "E", "A", "L"),
              "Z -i -P -r -whs -yp -^^ -x@E \"A\" @L");
    EXPECT_EQ(ListingCommandLine("C:\\rk\\rkunzip", "C:\\rk\\filelist.tmp", "C:\\B\\J\\a.zip"),
              "\"C:\\rk\\rkunzip\" -@\"C:\\rk\\filelist.tmp\" \"C:\\B\\J\\a.zip\"");
    EXPECT_EQ(ExtractCommandLine("U", "C:\\B\\a.zip", "C:\\T\\rk0\\"),
              "\"U\" -d -Jhrs -o- -yo -^^ \"C:\\B\\a.zip\" \"C:\\T\\rk0\\\"");
    EXPECT_EQ(ExtractListedCommandLine("U", "A", "C:\\rk\\filelisto.tmp", "D\\"),
              "\"U\" -d -Jhrs -o- -yo -^^ \"A\" @\"C:\\rk\\filelisto.tmp\" \"D\\\"");
    EXPECT_EQ(ConsolidateCommandLine("Z", "C:\\B\\J\\rk_x_C.zip", "C:\\T\\rk0\\"),
              "Z -a -p -r -whs -yp -^^ \"C:\\B\\J\\rk_x_C.zip\" \"C:\\T\\rk0\\*.*\"");
    EXPECT_EQ(
        ConsolidateCommandLine("Z", "C:\\B\\J\\rk_x_C.zip", "C:\\T\\rk0\\", "C:\\rk\\filegone.tmp"),
        "Z -a -p -r -whs -yp -^^ -g@\"C:\\rk\\filegone.tmp\" \"C:\\B\\J\\rk_x_C.zip\" "
        "\"C:\\T\\rk0\\*.*\"");
    EXPECT_EQ(PointRecordCommandLine("U", "C:\\T\\p.tmp", {"C:\\B\\a.zip", "C:\\B\\b c.zip"}),
              "\"U\" -R@\"C:\\T\\p.tmp\" \"C:\\B\\a.zip\" \"C:\\B\\b c.zip\"");
}

TEST(UtilityContract, PiecesThatWouldBreakTheLineAreRefused) {
    EXPECT_FALSE(CommandPieceProblem("C:\\My Jobs\\a.zip", true));
    EXPECT_TRUE(CommandPieceProblem("C:\\My Jobs\\excl.ini", false));
    EXPECT_TRUE(CommandPieceProblem("C:\\a\"b", true));
    EXPECT_TRUE(CommandPieceProblem("C:\\a\nb", true));
    EXPECT_FALSE(CommandPieceProblem("C:\\PROGRA~1\\rkzip", false));
}

TEST(BackupRun, NamesAndListLines) {
    std::tm t{};
    t.tm_year = 2002 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    EXPECT_EQ(BackupArchiveName(t), "rk_2002_03_05_14_07_09.zip");
    const struct {
        const char* value;
        const char* line;
    } rows[] = {{"C:\\Data\\", "C:\\Data\\*.*"},
                {" C:\\Data ", "C:\\Data\\*.*"},
                {"", "\\*.*"},
                {"C:\\My Documents", "C:\\My Documents\\*.*"}};
    for (const auto& row : rows)
        EXPECT_EQ(SourceListLine(row.value), row.line) << row.value;
}

} // namespace
