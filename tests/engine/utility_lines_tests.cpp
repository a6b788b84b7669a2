// Reading the zip utility's lines: the files it left out, exactly as rkzip
// names them, and the lines that give the cause of a failed run; the record
// of a run keeps them on one line and tells them again one a line.

#include "engine/last_backup.h"
#include "engine/utility_lines.h"

#include <gtest/gtest.h>

namespace rk {
namespace {

TEST(LeftOutName, TakesEachFormRkzipWritesForWhatItCouldNotStore) {
    EXPECT_EQ(LeftOutName("rkzip: can't read 'C:\\Data\\locked.txt': Permission denied (not "
                          "stored)"),
              "C:\\Data\\locked.txt");
    EXPECT_EQ(LeftOutName("rkzip: can't add 'C:\\Data\\it's: here.txt': Input/output error (not "
                          "stored)\r\n"),
              "C:\\Data\\it's: here.txt");
    EXPECT_EQ(LeftOutName("rkzip: can't read folder C:\\Data\\private: Permission denied"),
              "C:\\Data\\private");
    EXPECT_EQ(LeftOutName("rkzip: can't read C:\\Data\\gone: Stale file handle"), "C:\\Data\\gone");
    EXPECT_EQ(LeftOutName("rkzip: name not matched: C:\\Nowhere\\*.*"), "C:\\Nowhere");
    EXPECT_EQ(LeftOutName("rkzip: name not matched: D:\\*.*"), "D:\\");
    EXPECT_EQ(LeftOutName("rkzip: name not matched: C:\\Data\\one.txt"), "C:\\Data\\one.txt");
}

// The line a failed run's reason quotes: the last one with something on it,
// without the blanks and line ends after it.
TEST(LastLine, IsTheLastLineThatSaysSomething) {
    EXPECT_EQ(LastLine("rkzip: first\nrkzip: the cause  \r\n \r\n\n"), "rkzip: the cause");
    EXPECT_EQ(LastLine("  indented cause"), "  indented cause");
    EXPECT_EQ(LastLine("one\ntwo"), "two");
    EXPECT_EQ(LastLine(" \r\n\n  "), "");
    EXPECT_EQ(LastLine(""), "");
}

TEST(PlainLine, SaysAMissingSourceAsRkzipSaysItForTheOnlyOne) {
    EXPECT_EQ(PlainLine("rkzip: name not matched: C:\\TwoB\\*.*\r\n"),
              "the source folder C:\\TwoB does not exist");
    EXPECT_EQ(PlainLine("rkzip: name not matched: D:\\*.*"),
              "the source folder D:\\ does not exist");
    EXPECT_EQ(PlainLine("rkzip: name not matched: C:\\Data\\one.txt"),
              "the source C:\\Data\\one.txt does not exist");
    EXPECT_EQ(PlainLine("rkzip: can't read C:\\Data\\gone: Stale file handle"),
              "rkzip: can't read C:\\Data\\gone: Stale file handle");

    LeftOutFiles leftOut(10);
    leftOut.Take("rkzip: name not matched: C:\\TwoB\\*.*");
    leftOut.Take("rkzip: can't read folder C:\\Data\\private: Permission denied");
    EXPECT_EQ(leftOut.Named(), (std::vector<std::string>{"C:\\TwoB", "C:\\Data\\private"}));
    EXPECT_EQ(leftOut.Told(), (std::vector<std::string>{"the source folder C:\\TwoB does not exist",
                                                        "C:\\Data\\private"}));
    // Said once when rkzip's last line says it too.
    EXPECT_EQ(MeaningfulLines("rkzip: name not matched: C:\\Gone\\*.*\n"
                              "rkzip: nothing added to zip archive 'C:\\B\\a.zip': the source "
                              "folder C:\\Gone does not exist\n"),
              (std::vector<std::string>{"rkzip: nothing added to zip archive 'C:\\B\\a.zip': the "
                                        "source folder C:\\Gone does not exist"}));
    EXPECT_EQ(MeaningfulLines("rkzip: name not matched: C:\\A\\*.*\nrkzip: name not matched: "
                              "C:\\B\\*.*\n"),
              (std::vector<std::string>{"the source folder C:\\A does not exist",
                                        "the source folder C:\\B does not exist"}));
}

TEST(LeftOutName, LeavesEveryOtherLine) {
    for (const char* line :
         {"", "rkzip: not a regular file, not stored: C:\\Data\\pipe",
          "rkzip: 'C:\\Data\\a.txt' changed while it was read; it keeps its archive attribute",
          "rkzip: can't update the archive attribute record '/x/.rkzip-state': disk full",
          // One line in two pieces, not a missing comma:
          // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
          "rkzip: nothing added to zip archive 'C:\\B\\a.zip': the source folder C:\\D does "
          "not exist",
          "rkzip: can't open zip archive 'C:\\B\\a.zip': No such file or directory",
          // Not rkzip's, or not whole.
          "rkunzip: can't read 'C:\\Data\\a.txt': Permission denied (not stored)",
          "zip: can't read 'C:\\Data\\a.txt': Permission denied (not stored)",
          "rkzip: can't read 'C:\\Data\\a.txt': Permission denied",
          "rkzip: can't read 'C:\\Data\\a.txt' (not stored)",
          "rkzip: can't read folder relative\\path: Permission denied",
          "rkzip: can't read C:\\Data\\x", "rkzip: name not matched: nothing",
          " rkzip: can't read 'C:\\a': Permission denied (not stored)"}) {
        EXPECT_EQ(LeftOutName(line), std::nullopt) << line;
    }
}

TEST(LeftOutFiles, CountsEveryLineAndNamesTheFirst) {
    LeftOutFiles leftOut(10);
    leftOut.Take("rkzip: not a regular file, not stored: C:\\Data\\pipe");
    for (int i = 1; i <= 25; ++i)
        leftOut.Take("rkzip: can't read 'C:\\Data\\f" + std::to_string(i) +
                     "': Permission denied (not stored)");
    leftOut.Take("rkzip: can't read folder C:\\Data\\sub: Permission denied");
    EXPECT_EQ(leftOut.Count(), 26);
    ASSERT_EQ(leftOut.Named().size(), 10u);
    EXPECT_EQ(leftOut.Named().front(), "C:\\Data\\f1");
    EXPECT_EQ(leftOut.Named().back(), "C:\\Data\\f10");
}

TEST(MeaningfulLines, TheLastTenThatSaySomething) {
    std::string text = "rkzip: not a regular file, not stored: C:\\Data\\pipe\n";
    for (int i = 1; i <= 12; ++i)
        text += "line " + std::to_string(i) + "\r\n\n   \n";
    text += "rkzip: not a regular file, not stored: C:\\Data\\socket\n";
    const std::vector<std::string> lines = MeaningfulLines(text);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines.front(), "line 3");
    EXPECT_EQ(lines.back(), "line 12");
    EXPECT_EQ(MeaningfulLines("only\n", 10), (std::vector<std::string>{"only"}));
    EXPECT_TRUE(MeaningfulLines("\n \r\n").empty());
    EXPECT_EQ(MeaningfulLines("a\nb\nc", 2), (std::vector<std::string>{"b", "c"}));
}

TEST(LastBackupRecord, KeepsAReasonOfSeveralLinesOnOneLine) {
    EXPECT_EQ(OneLineReason("The backup rk_1.zip could not be made:\nrkzip: name not matched: "
                            "C:\\D\\*.*\r\n\nrkzip: nothing added  \n"),
              "The backup rk_1.zip could not be made: rkzip: name not matched: C:\\D\\*.*; "
              "rkzip: nothing added");
    EXPECT_EQ(OneLineReason("one line"), "one line");
    EXPECT_EQ(OneLineReason(""), "");
}

TEST(LastBackupRecord, TellsAPartialRunByItsNamesAndCount) {
    LastBackup partial;
    partial.outcome = "partial";
    partial.archive = "rk_2026_12_01_10_00_00.zip";
    partial.reason = "recorded reason";
    partial.leftOut = {"C:\\Data\\a", "C:\\Data\\b"};
    partial.leftOutCount = 2;
    EXPECT_EQ(LastBackupDetail(partial),
              "The backup rk_2026_12_01_10_00_00.zip was made, but some files could not be read "
              "and were left out (2 in all):\nC:\\Data\\a\nC:\\Data\\b");
    partial.leftOutCount = 40;
    EXPECT_EQ(LastBackupDetail(partial),
              "The backup rk_2026_12_01_10_00_00.zip was made, but some files could not be read "
              "and were left out (40 in all):\nC:\\Data\\a\nC:\\Data\\b\n...");
    partial.leftOut.clear();
    EXPECT_EQ(LastBackupDetail(partial), "recorded reason");
    LastBackup failed;
    failed.outcome = "failed";
    failed.reason = "The backup x could not be made: why";
    failed.leftOut = {"ignored"};
    EXPECT_EQ(LastBackupDetail(failed), "The backup x could not be made: why");
}

} // namespace
} // namespace rk
