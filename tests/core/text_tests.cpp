#include "core/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace rk {
namespace {

TEST(CoreText, GetPathPartTable) {
    const struct {
        std::string_view path;
        int mode;
        bool strip;
        std::string_view expected;
    } rows[] = {
        {"C:\\Data\\report.txt", PathPartFolder, true, "C:\\Data"},
        {"C:\\Data\\report.txt", PathPartFolder, false, "C:\\Data\\"},
        {"C:\\Data\\report.txt", PathPartFileName, true, "report.txt"},
        {"C:\\Data\\report.txt", PathPartExtension, true, "txt"},
        {"C:\\Data\\report.txt", PathPartBaseName, true, "report"},
        {"C:\\Data\\report.txt", PathPartParent, true, "C:\\"},
        {"C:\\Data\\report.txt", PathPartRoot, true, "C:"},
        {"C:\\Data\\report.txt", PathPartRoot, false, "C:\\"},
        {"C:\\Data\\report.txt", 6, true, ""},
        {"C:\\report.txt", PathPartFolder, true, "C:\\"},
        {"C:\\a\\b\\c\\f.txt", PathPartParent, true, "C:\\a\\b"},
        {"C:\\a\\b\\c\\f.txt", PathPartParent, false, "C:\\a\\b\\"},
        {"\\\\server\\share\\f.txt", PathPartFolder, true, "\\\\server\\share"},
        {"\\\\server\\share\\f.txt", PathPartRoot, false, "\\\\server\\"},
        {"\\\\server\\share\\f.txt", PathPartParent, true, "\\\\server"},
        {"\\\\sv\\f", PathPartFolder, true, "\\\\sv\\"}, // three characters are never stripped
        {"C:\\Data\\", PathPartFolder, true, "C:\\Data\\"},
        {"C:\\Data\\", PathPartExtension, true, "C:\\Data\\"},
        {"  C:\\Data\\  ", PathPartRoot, true, "C:\\Data\\"},
        {"C:\\x\\archive.tar.gz", PathPartBaseName, true, "archivetar"},
        {"C:\\x\\README", PathPartBaseName, true, "README"},
        {"C:\\x\\README", PathPartExtension, true, ""},
        {"C:\\x.y\\name", PathPartExtension, true, ""},
        {"report.txt", PathPartFolder, true, ""},
        {"  C:\\Data\\f.txt  ", PathPartFileName, true, "f.txt"},
        {"", PathPartRoot, false, "\\"},
        {"\\foo.$$$", PathPartFolder, false, "\\"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(GetPathPart(row.path, row.mode, row.strip), row.expected)
            << '"' << row.path << "\" mode " << row.mode << " strip " << row.strip;
}

TEST(CoreText, SplitStringTable) {
    const struct {
        std::string_view text;
        std::string_view separator;
        bool tolerant;
        std::vector<std::string> pieces; // position 0 included
    } rows[] = {
        {"a,,b", ",", false, {"", "a", "", "b"}},
        {"", ",", false, {"", ""}},
        {",a,", ",", false, {"", "", "a", ""}},
        {"a:::b", "::", false, {"", "a", ":b"}}, // occurrences never overlap
        {"aXbxc", "x", false, {"", "aXb", "c"}}, // binary comparison
        {",a,", ",", true, {"", "a"}},
        {"", ",", true, {"", ""}},
    };
    for (const auto& row : rows) {
        std::vector<std::string> pieces{"left over"};
        const std::int16_t count = SplitString(pieces, row.text, row.separator, row.tolerant);
        EXPECT_EQ(pieces, row.pieces) << '"' << row.text << '"';
        EXPECT_EQ(static_cast<std::size_t>(count), row.pieces.size() - 1) << '"' << row.text << '"';
    }
}

TEST(CoreText, SplitStringStopsAt32767PiecesWithTheRestInTheLast) {
    std::string text;
    for (int i = 0; i < 32800; ++i)
        text += "x,";
    std::vector<std::string> pieces;
    EXPECT_EQ(SplitString(pieces, text, ",", false), 32767);
    ASSERT_EQ(pieces.size(), 32768U);
    EXPECT_EQ(pieces[32766], "x");
    std::string rest;
    for (int i = 0; i < 34; ++i)
        rest += "x,";
    EXPECT_EQ(pieces[32767], rest);
}

TEST(CoreText, GetTokenTable) {
    const struct {
        std::string_view text;
        std::int16_t piece;
        std::string_view separator;
        std::string_view expected;
    } rows[] = {{"/ib/Weekly", 1, "/", ""},       {"/ib/Weekly", 2, "/", "ib"},
                {"/ib/Weekly", 3, "/", "Weekly"}, {"/ib/Weekly", 4, "/", ""},
                {"/ib/Weekly", 0, "/", ""},       {"a=b=c", 2, "=", "b"}};
    for (const auto& row : rows)
        EXPECT_EQ(GetToken(row.text, row.piece, row.separator), row.expected)
            << '"' << row.text << "\" piece " << row.piece;
}

TEST(CoreText, BackslashTable) {
    const struct {
        std::string_view text, added, stripped;
    } rows[] = {{"D:\\Data\\", "D:\\Data\\", "D:\\Data"},
                {" D:\\Data ", "D:\\Data\\", " D:\\Data "},
                {" D:\\Data\\ ", "D:\\Data\\", "D:\\Data"},
                {"C:\\", "C:\\", "C:\\"},
                {"", "\\", ""},
                {"\tD:\\x", "\tD:\\x\\", "\tD:\\x"}}; // only spaces are trimmed
    for (const auto& row : rows) {
        EXPECT_EQ(AddBackslash(row.text), row.added) << '"' << row.text << '"';
        EXPECT_EQ(StripBackslash(row.text), row.stripped) << '"' << row.text << '"';
    }
}

TEST(CoreText, ComparisonsAndNulCutting) {
    EXPECT_TRUE(SameText("  [SETTINGS]  ", "[settings]"));
    EXPECT_FALSE(SameText("\t[settings]", "[settings]"));
    EXPECT_TRUE(ContainsText("Weekly backup", "backup"));
    EXPECT_FALSE(ContainsText("Weekly backup", "Backup"));
    const std::string jobNameSet = "\\/:*?<>|\"";
    EXPECT_TRUE(ContainsAnyChar("Week:ly", jobNameSet));
    EXPECT_FALSE(ContainsAnyChar("Weekly", jobNameSet));
    EXPECT_FALSE(ContainsAnyChar("Weekly", ""));
    EXPECT_EQ(TrimAtNull("plain"), "plain");
    EXPECT_EQ(TrimAtNull(std::string_view("\0abc", 4)), "");
    EXPECT_EQ(TrimAtNull(std::string_view("ab\0c\0d", 6)), "ab");
}

TEST(CoreText, LeadingNumberAndRoundHalfEven) {
    const struct {
        std::string_view text;
        double expected;
    } numbers[] = {{"  -3.5xyz", -3.5}, {"+7", 7}, {"abc", 0},     {"", 0},   {"-", 0},
                   {".5", 0.5},         {"5.", 5}, {"1.2.3", 1.2}, {"\t5", 0}};
    for (const auto& row : numbers)
        EXPECT_DOUBLE_EQ(LeadingNumber(row.text), row.expected) << '"' << row.text << '"';

    const struct {
        double value;
        long long expected;
    } rounded[] = {{0.5, 0},
                   {1.5, 2},
                   {2.5, 2},
                   {-1.5, -2},
                   {-2.5, -2},
                   {2.51, 3},
                   {-2.51, -3},
                   {1e300, std::numeric_limits<long long>::max()},
                   {-1e300, std::numeric_limits<long long>::min()}};
    for (const auto& row : rounded)
        EXPECT_EQ(RoundHalfEven(row.value), row.expected) << row.value;
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

} // namespace
} // namespace rk
