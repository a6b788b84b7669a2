// Stored names, listing lines, list files and exclusion patterns.

#include "support/sandbox.h"
#include "tools/common/exclusions.h"
#include "tools/common/list_file.h"
#include "tools/common/stored_names.h"

#include <gtest/gtest.h>

namespace rk::tools {
namespace {

TEST(StoredNames, FullPathDropsTheDrive) {
    EXPECT_EQ(FullPathName("C:\\Data\\a\\f.txt"), "Data/a/f.txt");
    EXPECT_EQ(FullPathName("Z:\\srv\\data\\b.txt"), "srv/data/b.txt");
    EXPECT_EQ(JoinStored("", "f.txt"), "f.txt");
    EXPECT_EQ(JoinStored("a/b", "f.txt"), "a/b/f.txt");
}

TEST(StoredNames, ListingLinesQuoteWhatTheReaderWouldSplitOrTrim) {
    EXPECT_EQ(ListingLine("Data/a/f.txt", false), "Data\\a\\f.txt");
    EXPECT_EQ(ListingLine("Data/a,b.txt", false), "\"Data\\a,b.txt\"");
    EXPECT_EQ(ListingLine(" lead.txt", false), "\" lead.txt\"");
    EXPECT_EQ(ListingLine("trail.txt ", false), "\"trail.txt \"");
    // Made on Unix, a backslash is part of the name; on DOS it separates.
    EXPECT_EQ(ListingLine("coll\\x.txt", false), "\\coll%5Cx.txt");
    EXPECT_EQ(ListingLine("Data\\x.txt", true), "Data\\x.txt");
    EXPECT_EQ(ComparableName("Data\\A\\F.TXT", true), ComparableName("data/a/f.txt", false));
    EXPECT_NE(ComparableName("coll\\x.txt", false), ComparableName("coll/x.txt", false));
}

TEST(StoredNames, HostileEntryNamesAreRefused) {
    for (const bool dos : {false, true}) {
        EXPECT_FALSE(CheckEntryName("../evil.txt", dos).refusal.empty());
        EXPECT_FALSE(CheckEntryName("a/../../evil.txt", dos).refusal.empty());
        EXPECT_FALSE(CheckEntryName("/etc/passwd", dos).refusal.empty());
        const CheckedName fine = CheckEntryName("./Data//a/f.txt", dos);
        EXPECT_TRUE(fine.refusal.empty());
        EXPECT_EQ(fine.components, (std::vector<std::string>{"Data", "a", "f.txt"}));
        EXPECT_TRUE(CheckEntryName("Data/sub/", dos).isFolder);
    }
    EXPECT_FALSE(CheckEntryName("a\\..\\..\\evil.txt", true).refusal.empty());
    EXPECT_FALSE(CheckEntryName("\\windows\\x", true).refusal.empty());
    EXPECT_FALSE(CheckEntryName("C:/x.txt", true).refusal.empty());
    // From Unix these are ordinary names: one component each, safe to write.
    EXPECT_EQ(CheckEntryName("a\\..\\..\\evil.txt", false).components,
              (std::vector<std::string>{"a\\..\\..\\evil.txt"}));
    EXPECT_EQ(CheckEntryName("x:y.txt", false).components, (std::vector<std::string>{"x:y.txt"}));
    EXPECT_EQ(CheckEntryName("\\windows\\x", false).components,
              (std::vector<std::string>{"\\windows\\x"}));
}

TEST(ListFiles, PatternLinesTrimmedNameLinesLiteral) {
    EXPECT_EQ(
        SplitListText("C:\\Data\\*.*\r\n  C:\\My Documents\\*.*  \r\n\r\n\"a\\b,c.txt\"\r\nlast",
                      ListLines::Patterns),
        (std::vector<std::string>{"C:\\Data\\*.*", "C:\\My Documents\\*.*", "a\\b,c.txt", "last"}));
    EXPECT_EQ(SplitListText(" lead\r\ntrail \t\r\n\"q,uoted \"\r\n\r\nx\ny", ListLines::Names),
              (std::vector<std::string>{" lead", "trail \t", "q,uoted ", "x", "y"}));
}

TEST(ExclusionPatterns, NamesPathsAndFoldersWithoutRegardToCase) {
    Exclusions ex({"*.tmp", "*\\cache\\*", "C:\\Data\\secret.txt", "Thumbs.db", "~*"});
    EXPECT_TRUE(ex.ExcludesFile("C:\\Data\\x.TMP", "x.TMP"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Data\\Cache\\f.bin", "f.bin"));
    EXPECT_TRUE(ex.ExcludesFile("c:\\data\\SECRET.txt", "SECRET.txt"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Pics\\thumbs.db", "thumbs.db"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Docs\\~lock.doc", "~lock.doc"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Data\\x.tmpl", "x.tmpl"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Data\\cached.txt", "cached.txt"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Other\\secret.txt", "secret.txt"));
    EXPECT_TRUE(ex.ExcludesFolder("C:\\Home\\CACHE"));
    EXPECT_FALSE(ex.ExcludesFolder("C:\\Home\\x.tmp"));
}

TEST(ExclusionPatterns, CommentLinesAndTheShippedTemplate) {
    EXPECT_TRUE(IsExclusionComment("; caches"));
    EXPECT_FALSE(IsExclusionComment("*.tmp"));
    // The template leaves out only caches, trash and temporary files, never
    // folders a user names Temp or cache.
    const auto lines =
        ReadListFile((rk::test::ProgramDir() / "excl.txt").string(), ListLines::Patterns);
    ASSERT_TRUE(lines);
    Exclusions ex;
    for (const auto& line : *lines)
        if (!IsExclusionComment(line))
            ex.Add(line);
    EXPECT_GE(ex.size(), 8u);
    EXPECT_TRUE(ex.ExcludesFolder("C:\\.cache"));
    EXPECT_TRUE(ex.ExcludesFolder("C:\\.local\\share\\Trash"));
    EXPECT_FALSE(ex.ExcludesFolder("C:\\Projects\\.cache"));
    EXPECT_FALSE(ex.ExcludesFolder("C:\\Projects\\cache"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Docs\\.~lock.a.odt#", ".~lock.a.odt#"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Docs\\notes~", "notes~"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Documents\\Temp\\thesis.docx", "thesis.docx"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Docs\\a.tmp", "a.tmp"));
}

TEST(ExclusionPatterns, WildcardsInsideAndPlainPatterns) {
    Exclusions ex({".DS_Store", "*\\.Trash-*\\*", "report?.*", "C:\\Logs\\day??.LOG"});
    EXPECT_TRUE(ex.ExcludesFile("C:\\Pics\\.ds_store", ".ds_store"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Pics\\x.DS_Store", "x.DS_Store"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\home\\.TRASH-1000\\f.txt", "f.txt"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\home\\.Trash\\f.txt", "f.txt"));
    EXPECT_TRUE(ex.ExcludesFile("C:\\Docs\\Report1.pdf", "Report1.pdf"));
    // "name.*" also matches a name without an extension.
    EXPECT_TRUE(ex.ExcludesFile("C:\\Docs\\report2", "report2"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Docs\\report", "report"));
    EXPECT_TRUE(ex.ExcludesFile("c:\\logs\\DAY01.log", "DAY01.log"));
    EXPECT_FALSE(ex.ExcludesFile("C:\\Logs\\day1.log", "day1.log"));
    EXPECT_TRUE(ex.ExcludesFolder("C:\\home\\.Trash-0"));
}

} // namespace
} // namespace rk::tools
