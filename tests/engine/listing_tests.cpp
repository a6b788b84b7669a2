// The merged file list: fields of listing files, keys without case, first-met
// order, last-met spelling, and the listing made by the real unzip utility.

#include "engine/archive_listing.h"
#include "engine/consolidation_check.h"
#include "engine/job.h"
#include "support/archive_job_fixture.h"

#include <gtest/gtest.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

TEST(ListingFields, SplitAtCommasAndLineEndsWithQuotedFieldsWhole) {
    const struct {
        std::string text;
        std::vector<std::string> fields;
    } cases[] = {
        {"a.txt\r\nsub\\b.txt\r\n", {"a.txt", "sub\\b.txt"}},
        {"x,y.txt\r\n", {"x", "y.txt"}},
        {"\"x,y.txt\"\r\nz.txt\r\n", {"x,y.txt", "z.txt"}},
        {"   spaced.txt\r\n", {"spaced.txt"}},
        {"trailing.txt  \r\n", {"trailing.txt  "}},
        {"\"quoted\"rest,next\r\n", {"quoted", "next"}},
        {"lf.txt\nonly.txt", {"lf.txt", "only.txt"}},
        {"cr.txt\rb.txt\r\n", {"cr.txt", "b.txt"}},
        {"\r\n\r\na.txt\r\n,\r\n", {"a.txt"}},
        {"\"unclosed, to the end", {"unclosed, to the end"}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListingFields(c.text), c.fields) << c.text;
}

TEST(CStoredFile, GrowsByOneSourceAtATime) {
    CStoredFile file;
    EXPECT_EQ(file.FileName(), "");
    EXPECT_EQ(file.ZipSourcesCount(), 0);
    file.SetFileName("a.txt");
    file.AddZipSource("C:\\j\\rk_1.zip");
    file.AddZipSource("C:\\j\\rk_2.zip");
    EXPECT_EQ(file.ZipSourcesCount(), 2);
    EXPECT_EQ(file.ZipSources(0), "C:\\j\\rk_1.zip");
    EXPECT_EQ(file.ZipSources(1), "C:\\j\\rk_2.zip");
    file.SetZipSources(1, "C:\\j\\rk_3.zip");
    EXPECT_EQ(file.ZipSources(1), "C:\\j\\rk_3.zip");
    // Outside the sources: nothing read, nothing written.
    EXPECT_EQ(file.ZipSources(2), "");
    EXPECT_EQ(file.ZipSources(-1), "");
    file.SetZipSources(5, "x");
    EXPECT_EQ(file.ZipSourcesCount(), 2);
}

class RecordedListings : public ::testing::Test {
  protected:
    Sandbox box;
    MergedFileList files;

    // A recorded listing file on drive C:, its Windows path.
    std::string Listing(const std::string& name, const std::string& content) {
        box.write(box.c() / name, content);
        return "C:\\" + name;
    }
};

// Three archives: a.txt; then A.TXT and b.txt; then b.txt.
TEST_F(RecordedListings, MergeWithoutCaseKeepingFirstPlaceAndLastSpelling) {
    ASSERT_TRUE(ReadArchiveListing(files, "C:\\j\\rk_1.zip", Listing("1.tmp", "a.txt\r\n")));
    ASSERT_TRUE(
        ReadArchiveListing(files, "C:\\j\\rk_2.zip", Listing("2.tmp", "A.TXT\r\nb.txt\r\n")));
    ASSERT_TRUE(ReadArchiveListing(files, "C:\\j\\rk_3.zip", Listing("3.tmp", "b.txt\r\n")));
    ASSERT_EQ(files.Count(), 2u);
    const CStoredFile& first = files.Entries()[0];
    EXPECT_EQ(first.FileName(), "A.TXT");
    ASSERT_EQ(first.ZipSourcesCount(), 2);
    EXPECT_EQ(first.ZipSources(0), "C:\\j\\rk_1.zip");
    EXPECT_EQ(first.ZipSources(1), "C:\\j\\rk_2.zip");
    const CStoredFile& second = files.Entries()[1];
    EXPECT_EQ(second.FileName(), "b.txt");
    ASSERT_EQ(second.ZipSourcesCount(), 2);
    EXPECT_EQ(second.ZipSources(0), "C:\\j\\rk_2.zip");
    EXPECT_EQ(second.ZipSources(1), "C:\\j\\rk_3.zip");
    EXPECT_EQ(files.Find("a.TxT"), &first);
    EXPECT_EQ(files.Find("c.txt"), nullptr);
}

TEST_F(RecordedListings, CommasQuotesAndDuplicatesInOneListing) {
    ASSERT_TRUE(ReadArchiveListing(
        files, "C:\\j\\rk_1.zip",
        Listing("1.tmp", "split,name.txt\r\n\"kept,whole.txt\"\r\nsub\\d.txt\r\nSUB\\D.TXT\r\n")));
    ASSERT_EQ(files.Count(), 4u);
    EXPECT_EQ(files.Entries()[0].FileName(), "split");
    EXPECT_EQ(files.Entries()[1].FileName(), "name.txt");
    EXPECT_EQ(files.Entries()[2].FileName(), "kept,whole.txt");
    // Listed twice: one entry, the archive twice, the later spelling.
    EXPECT_EQ(files.Entries()[3].FileName(), "SUB\\D.TXT");
    EXPECT_EQ(files.Entries()[3].ZipSourcesCount(), 2);
}

TEST_F(RecordedListings, AMissingListingAddsNothing) {
    EXPECT_FALSE(ReadArchiveListing(files, "C:\\j\\rk_1.zip", "C:\\missing.tmp"));
    EXPECT_EQ(files.Count(), 0u);
}

TEST_F(RecordedListings, DeleteFileQuietlyIgnoresAMissingFile) {
    box.write(box.c() / "gone.tmp", "x");
    DeleteFileQuietly("C:\\gone.tmp");
    EXPECT_FALSE(fs::exists(box.c() / "gone.tmp"));
    DeleteFileQuietly("C:\\gone.tmp");
    DeleteFileQuietly("\\\\server\\share\\x.tmp");
}

class RealListing : public ArchiveJobFixture {};

TEST_F(RealListing, TheUnzipUtilityListsWhatTheArchiveHolds) {
    MakeArchive("rk_2026_12_01_10_00_00.zip",
                {{"a.txt", "a"}, {"sub/b.txt", "b"}, {"x,y.txt", "comma"}});
    const std::string archive = JobFolder() + "\\rk_2026_12_01_10_00_00.zip";
    const ToolOutcome listed =
        WriteArchiveListing(CurrentInstallation(), archive, "C:\\App\\filelist.tmp");
    ASSERT_TRUE(ListingMade(listed, "C:\\App\\filelist.tmp")) << listed.stderrTail;
    MergedFileList files;
    ASSERT_TRUE(ReadArchiveListing(files, archive, "C:\\App\\filelist.tmp"));
    std::vector<std::string> names;
    for (const CStoredFile& file : files.Entries())
        names.push_back(file.FileName());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub\\b.txt", "x,y.txt"}));
}

TEST_F(RealListing, AFailedListingIsNotTakenForOne) {
    box.write(job / "rk_2026_12_01_10_00_00.zip", "not a zip archive");
    const std::string listing = "C:\\App\\filelist.tmp";
    const ToolOutcome listed = WriteArchiveListing(
        CurrentInstallation(), JobFolder() + "\\rk_2026_12_01_10_00_00.zip", listing);
    EXPECT_TRUE(listed.started);
    EXPECT_NE(listed.exitCode, 0);
    EXPECT_FALSE(ListingMade(listed, listing));
}

TEST_F(RealListing, APathThatWouldBreakTheCommandLineStartsNothing) {
    const ToolOutcome refused =
        WriteArchiveListing(CurrentInstallation(), "C:\\a\"b.zip", "C:\\App\\filelist.tmp");
    EXPECT_FALSE(refused.started);
    EXPECT_NE(refused.startError.find("double quote"), std::string::npos) << refused.startError;
    EXPECT_FALSE(fs::exists(box.c() / "App" / "filelist.tmp"));
}

TEST_F(RealListing, TheCheckFindsEveryExtractedFileOrNamesTheMissingOne) {
    box.write(box.c() / "out" / "a.txt", "a");
    box.write(box.c() / "out" / "sub" / ".hidden", "h");
    box.write(box.c() / "out" / "sub" / "deeper" / "c.txt", "c");
    const std::vector<std::string> extracted = FilesUnder("C:\\out");
    EXPECT_EQ(extracted, (std::vector<std::string>{"a.txt", "sub\\.hidden", "sub\\deeper\\c.txt"}));

    MakeArchive("rk_2026_12_01_10_00_00.zip", {{"a.txt", "a"}, {"sub/.hidden", "h"}});
    const Result<void> check =
        CheckArchiveHolds(CurrentInstallation(), JobFolder() + "\\rk_2026_12_01_10_00_00.zip",
                          extracted, "C:\\App\\filelist.tmp");
    EXPECT_FALSE(check);
    EXPECT_NE(check.reason().find("1 of the 3"), std::string::npos) << check.reason();
    EXPECT_NE(check.reason().find("sub\\deeper\\c.txt"), std::string::npos) << check.reason();

    MakeArchive("rk_2026_12_02_10_00_00.zip",
                {{"a.txt", "a"}, {"sub/.hidden", "h"}, {"sub/deeper/c.txt", "c"}});
    EXPECT_TRUE(CheckArchiveHolds(CurrentInstallation(),
                                  JobFolder() + "\\rk_2026_12_02_10_00_00.zip", extracted,
                                  "C:\\App\\filelist.tmp")
                    .ok());
}

} // namespace
} // namespace rk::test
