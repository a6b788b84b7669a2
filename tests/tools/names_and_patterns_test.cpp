// Stored names, listing lines, list files and exclusion patterns.

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

TEST(StoredNames, ListingLinesInWindowsFormQuotingCommas) {
    EXPECT_EQ(ListingLine("Data/a/f.txt"), "Data\\a\\f.txt");
    EXPECT_EQ(ListingLine("Data/a,b.txt"), "\"Data\\a,b.txt\"");
    EXPECT_EQ(ComparableName("Data\\A\\F.TXT"), ComparableName("data/a/f.txt"));
}

TEST(StoredNames, HostileEntryNamesAreRefused) {
    EXPECT_FALSE(CheckEntryName("../evil.txt").refusal.empty());
    EXPECT_FALSE(CheckEntryName("a/../../evil.txt").refusal.empty());
    EXPECT_FALSE(CheckEntryName("a\\..\\..\\evil.txt").refusal.empty());
    EXPECT_FALSE(CheckEntryName("/etc/passwd").refusal.empty());
    EXPECT_FALSE(CheckEntryName("\\windows\\x").refusal.empty());
    EXPECT_FALSE(CheckEntryName("C:/x.txt").refusal.empty());
    const CheckedName fine = CheckEntryName("./Data//a/f.txt");
    EXPECT_TRUE(fine.refusal.empty());
    EXPECT_EQ(fine.components, (std::vector<std::string>{"Data", "a", "f.txt"}));
    EXPECT_TRUE(CheckEntryName("Data/sub/").isFolder);
}

TEST(ListFiles, LinesTrimmedUnquotedEmptySkipped) {
    EXPECT_EQ(
        SplitListText("C:\\Data\\*.*\r\n  C:\\My Documents\\*.*  \r\n\r\n\"a\\b,c.txt\"\r\nlast"),
        (std::vector<std::string>{"C:\\Data\\*.*", "C:\\My Documents\\*.*", "a\\b,c.txt", "last"}));
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
