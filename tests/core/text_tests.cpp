#include "core/text.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace rk {
namespace {

// ---- GetPathPart -----------------------------------------------------------

struct PathPartRow {
    std::string_view path;
    int mode;
    bool strip;
    std::string_view expected;
};

std::ostream& operator<<(std::ostream& out, const PathPartRow& row) {
    return out << "GetPathPart(\"" << row.path << "\", " << row.mode << ", " << row.strip << ")";
}

class GetPathPartTable : public testing::TestWithParam<PathPartRow> {};

TEST_P(GetPathPartTable, GivesThePart) {
    const PathPartRow& row = GetParam();
    EXPECT_EQ(GetPathPart(row.path, row.mode, row.strip), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Core, GetPathPartTable,
    testing::Values(
        // Every mode of an ordinary path.
        PathPartRow{"C:\\Data\\report.txt", PathPartFolder, true, "C:\\Data"},
        PathPartRow{"C:\\Data\\report.txt", PathPartFolder, false, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\report.txt", PathPartFileName, true, "report.txt"},
        PathPartRow{"C:\\Data\\report.txt", PathPartExtension, true, "txt"},
        PathPartRow{"C:\\Data\\report.txt", PathPartBaseName, true, "report"},
        PathPartRow{"C:\\Data\\report.txt", PathPartParent, true, "C:\\"},
        PathPartRow{"C:\\Data\\report.txt", PathPartRoot, true, "C:"},
        PathPartRow{"C:\\Data\\report.txt", PathPartRoot, false, "C:\\"},
        PathPartRow{"C:\\Data\\report.txt", 6, true, ""},
        PathPartRow{"C:\\Data\\report.txt", -1, true, ""},
        // A file in a drive root keeps the root's backslash.
        PathPartRow{"C:\\report.txt", PathPartFolder, true, "C:\\"},
        PathPartRow{"C:\\report.txt", PathPartParent, true, ""},
        // Deeper paths: the strip flag applies to the parent too.
        PathPartRow{"C:\\a\\b\\c\\f.txt", PathPartFolder, true, "C:\\a\\b\\c"},
        PathPartRow{"C:\\a\\b\\c\\f.txt", PathPartParent, true, "C:\\a\\b"},
        PathPartRow{"C:\\a\\b\\c\\f.txt", PathPartParent, false, "C:\\a\\b\\"},
        // Network paths.
        PathPartRow{"\\\\server\\share\\f.txt", PathPartFolder, true, "\\\\server\\share"},
        PathPartRow{"\\\\server\\share\\f.txt", PathPartFolder, false, "\\\\server\\share\\"},
        PathPartRow{"\\\\server\\share\\f.txt", PathPartFileName, true, "f.txt"},
        PathPartRow{"\\\\server\\share\\f.txt", PathPartParent, true, "\\\\server"},
        PathPartRow{"\\\\server\\share\\f.txt", PathPartRoot, true, "\\\\server"},
        PathPartRow{"\\\\server\\share\\f.txt", PathPartRoot, false, "\\\\server\\"},
        PathPartRow{"\\\\sv\\f", PathPartFolder, true, "\\\\sv\\"},
        // A trailing backslash: the path comes back in every mode.
        PathPartRow{"C:\\Data\\", PathPartFolder, true, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\", PathPartFileName, true, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\", PathPartExtension, true, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\", PathPartBaseName, true, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\", PathPartParent, true, "C:\\Data\\"},
        PathPartRow{"C:\\Data\\", PathPartRoot, false, "C:\\Data\\"},
        PathPartRow{"  C:\\Data\\  ", PathPartRoot, true, "C:\\Data\\"},
        // Dots: base names join the pieces before the last dot.
        PathPartRow{"C:\\x\\archive.tar.gz", PathPartBaseName, true, "archivetar"},
        PathPartRow{"C:\\x\\archive.tar.gz", PathPartExtension, true, "gz"},
        PathPartRow{"C:\\x\\README", PathPartBaseName, true, "README"},
        PathPartRow{"C:\\x\\README", PathPartExtension, true, ""},
        PathPartRow{"C:\\x\\.profile", PathPartBaseName, true, ""},
        PathPartRow{"C:\\x\\.profile", PathPartExtension, true, "profile"},
        PathPartRow{"C:\\x.y\\name", PathPartExtension, true, ""},
        // Bare names, surrounding spaces and the empty path.
        PathPartRow{"report.txt", PathPartFolder, true, ""},
        PathPartRow{"report.txt", PathPartFileName, true, "report.txt"},
        PathPartRow{"report.txt", PathPartRoot, true, "report.txt"},
        PathPartRow{"  C:\\Data\\f.txt  ", PathPartFileName, true, "f.txt"},
        PathPartRow{"", PathPartFolder, true, ""}, PathPartRow{"", PathPartRoot, false, "\\"},
        PathPartRow{"\\foo.$$$", PathPartFolder, false, "\\"},
        PathPartRow{"\\foo.$$$", PathPartRoot, false, "\\"}));

// ---- SplitString and GetToken -------------------------------------------------

struct SplitRow {
    std::string_view text;
    std::string_view separator;
    bool tolerant;
    std::vector<std::string> pieces;
};

std::ostream& operator<<(std::ostream& out, const SplitRow& row) {
    return out << "SplitString(\"" << row.text << "\", \"" << row.separator << "\", "
               << row.tolerant << ")";
}

class SplitStringTable : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitStringTable, GivesThePiecesFromPositionOne) {
    const SplitRow& row = GetParam();
    std::vector<std::string> pieces{"left over"};
    const std::int16_t count = SplitString(pieces, row.text, row.separator, row.tolerant);
    ASSERT_EQ(static_cast<std::size_t>(count), row.pieces.size());
    ASSERT_EQ(pieces.size(), row.pieces.size() + 1);
    EXPECT_EQ(pieces[0], "");
    for (std::size_t i = 0; i < row.pieces.size(); ++i)
        EXPECT_EQ(pieces[i + 1], row.pieces[i]) << "piece " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(
    Core, SplitStringTable,
    testing::Values(SplitRow{"a,,b", ",", false, {"a", "", "b"}}, SplitRow{"", ",", false, {""}},
                    SplitRow{"abc", ",", false, {"abc"}},
                    SplitRow{",a,", ",", false, {"", "a", ""}}, SplitRow{",", ",", false, {"", ""}},
                    SplitRow{"a::b::::c", "::", false, {"a", "b", "", "c"}},
                    // Occurrences never overlap: ":::" is one separator and a ":".
                    SplitRow{"a:::b", "::", false, {"a", ":b"}},
                    // Binary comparison: case matters.
                    SplitRow{"aXbxc", "x", false, {"aXb", "c"}}, SplitRow{",a,", ",", true, {"a"}},
                    SplitRow{"a,b", ",", true, {"a", "b"}}, SplitRow{"", ",", true, {""}},
                    SplitRow{"/ib/Weekly", "/", false, {"", "ib", "Weekly"}},
                    SplitRow{"abc", "", false, {"abc"}}));

TEST(CoreSplitString, StopsAtTheLargestCountAndKeepsTheRestInTheLastPiece) {
    std::string text;
    for (int i = 0; i < 32800; ++i)
        text += "x,";
    std::vector<std::string> pieces;
    const std::int16_t count = SplitString(pieces, text, ",", false);
    EXPECT_EQ(count, 32767);
    ASSERT_EQ(pieces.size(), 32768U);
    EXPECT_EQ(pieces[32766], "x");
    // The text held 32801 pieces: the last one kept holds the final 34 "x," pairs.
    EXPECT_EQ(pieces[32767].size(), 68U);
    EXPECT_EQ(pieces[32767].substr(0, 4), "x,x,");
}

struct TokenRow {
    std::string_view text;
    std::int16_t piece;
    std::string_view separator;
    std::string_view expected;
};

std::ostream& operator<<(std::ostream& out, const TokenRow& row) {
    return out << "GetToken(\"" << row.text << "\", " << row.piece << ")";
}

class GetTokenTable : public testing::TestWithParam<TokenRow> {};

TEST_P(GetTokenTable, GivesThePiece) {
    const TokenRow& row = GetParam();
    EXPECT_EQ(GetToken(row.text, row.piece, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Core, GetTokenTable,
    testing::Values(TokenRow{"/ib/Weekly", 1, "/", ""}, TokenRow{"/ib/Weekly", 2, "/", "ib"},
                    TokenRow{"/ib/Weekly", 3, "/", "Weekly"}, TokenRow{"/ib/Weekly", 4, "/", ""},
                    TokenRow{"/ib/Weekly", 0, "/", ""}, TokenRow{"/ib/Weekly", -1, "/", ""},
                    TokenRow{"a=b=c", 2, "=", "b"}, TokenRow{"a=b=c", 3, "=", "c"},
                    TokenRow{"", 1, "=", ""},
                    TokenRow{"rk_2024_01_31_10_00_00.zip", 4, "_", "31"}));

// ---- AddBackslash and StripBackslash -------------------------------------------

struct BackslashRow {
    std::string_view text;
    std::string_view added;
    std::string_view stripped;
};

class BackslashTable : public testing::TestWithParam<BackslashRow> {};

TEST_P(BackslashTable, AddsAndStrips) {
    const BackslashRow& row = GetParam();
    EXPECT_EQ(AddBackslash(row.text), row.added) << "AddBackslash(\"" << row.text << "\")";
    EXPECT_EQ(StripBackslash(row.text), row.stripped) << "StripBackslash(\"" << row.text << "\")";
}

INSTANTIATE_TEST_SUITE_P(Core, BackslashTable,
                         testing::Values(BackslashRow{"D:\\Data\\", "D:\\Data\\", "D:\\Data"},
                                         BackslashRow{" D:\\Data ", "D:\\Data\\", " D:\\Data "},
                                         BackslashRow{" D:\\Data\\ ", "D:\\Data\\", "D:\\Data"},
                                         BackslashRow{"C:\\", "C:\\", "C:\\"},
                                         BackslashRow{"C:", "C:\\", "C:"},
                                         BackslashRow{"\\\\s\\", "\\\\s\\", "\\\\s"},
                                         BackslashRow{"", "\\", ""},
                                         BackslashRow{"   ", "\\", "   "},
                                         BackslashRow{"D:\\Data\\\\", "D:\\Data\\\\", "D:\\Data\\"},
                                         BackslashRow{"\tD:\\x", "\tD:\\x\\", "\tD:\\x"}));

// ---- Comparisons and small helpers -----------------------------------------------

TEST(CoreText, TrimRemovesSpacesOnlyAndLowerCaseTouchesAsciiOnly) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(LowerCase("AbC-\xC4Z"), "abc-\xC4z");
}

TEST(CoreText, SameTextIgnoresCaseAndSurroundingSpaces) {
    EXPECT_TRUE(SameText("  [SETTINGS]  ", "[settings]"));
    EXPECT_TRUE(SameText("", "   "));
    EXPECT_FALSE(SameText("[settings]", "[setting s]"));
    EXPECT_FALSE(SameText("\t[settings]", "[settings]"));
}

TEST(CoreText, ContainsTextIsBinary) {
    EXPECT_TRUE(ContainsText("Weekly backup", "backup"));
    EXPECT_FALSE(ContainsText("Weekly backup", "Backup"));
    EXPECT_TRUE(ContainsText("abc", ""));
    EXPECT_FALSE(ContainsText("", "a"));
}

TEST(CoreText, ContainsAnyCharFindsAJobNameCharacter) {
    const std::string jobNameSet = "\\/:*?<>|\"";
    EXPECT_TRUE(ContainsAnyChar("Week:ly", jobNameSet));
    EXPECT_TRUE(ContainsAnyChar("say \"hi\"", jobNameSet));
    EXPECT_FALSE(ContainsAnyChar("Weekly", jobNameSet));
    EXPECT_FALSE(ContainsAnyChar("Weekly", ""));
    EXPECT_TRUE(ContainsAnyChar(std::string_view("a\0b", 3), std::string_view("\0", 1)));
}

TEST(CoreText, TrimAtNullCutsAtTheFirstNul) {
    EXPECT_EQ(TrimAtNull("plain"), "plain");
    EXPECT_EQ(TrimAtNull(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(TrimAtNull(std::string_view("ab\0c\0d", 6)), "ab");
}

TEST(CoreText, LeadingNumberReadsTheNumberAtTheStart) {
    struct Row {
        std::string_view text;
        double expected;
    };
    const Row rows[] = {
        {"42", 42}, {"  -3.5xyz", -3.5}, {"+7", 7},  {"12abc", 12},  {"abc", 0}, {"", 0},
        {"-", 0},   {".5", 0.5},         {"5.", 5},  {"1.2.3", 1.2}, {"-1", -1}, {"\t5", 0},
        {"1e3", 1}, {"0012", 12},        {" - 4", 0}};
    for (const Row& row : rows)
        EXPECT_DOUBLE_EQ(LeadingNumber(row.text), row.expected) << '"' << row.text << '"';
}

TEST(CoreText, RoundHalfEvenSendsHalvesToTheEvenNeighbour) {
    struct Row {
        double value;
        long long expected;
    };
    const Row rows[] = {{0.5, 0},
                        {1.5, 2},
                        {2.5, 2},
                        {-0.5, 0},
                        {-1.5, -2},
                        {-2.5, -2},
                        {2.49, 2},
                        {2.51, 3},
                        {-2.51, -3},
                        {7, 7},
                        {0, 0},
                        {1e300, std::numeric_limits<long long>::max()},
                        {-1e300, std::numeric_limits<long long>::min()}};
    for (const Row& row : rows)
        EXPECT_EQ(RoundHalfEven(row.value), row.expected) << row.value;
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

} // namespace
} // namespace rk
