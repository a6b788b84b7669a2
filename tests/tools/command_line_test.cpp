// The command lines of the utility contract, as they arrive after splitting.

#include "tools/common/command_line.h"

#include <gtest/gtest.h>

namespace rk::tools {
namespace {

TEST(ZipCommandLine, RootAndIncrementalBackupLines) {
    for (const std::string mode : {"-a+", "-i"}) {
        const auto parsed = ParseZipCommand(
            {mode, "-P", "-r", "-whs", "-yp", "-^^", "-x@C:\\BACKUPS\\MYJOB\\EXCL.INI",
             "C:\\Backups\\My Job\\rk_2002_03_05_14_07_09.zip", "@C:\\APPS\\RK3F.TMP"});
        ASSERT_TRUE(parsed.ok()) << parsed.reason();
        const ZipCommand& c = *parsed;
        EXPECT_EQ(c.mode, mode == "-i" ? ZipMode::Incremental : ZipMode::AddAndClear);
        EXPECT_EQ(c.pathStyle, PathStyle::Full);
        EXPECT_TRUE(c.recurse);
        EXPECT_TRUE(c.includeHidden);
        EXPECT_TRUE(c.includeSystem);
        ASSERT_EQ(c.exclusionFiles.size(), 1u);
        EXPECT_EQ(c.exclusionFiles[0], "C:\\BACKUPS\\MYJOB\\EXCL.INI");
        EXPECT_EQ(c.archive, "C:\\Backups\\My Job\\rk_2002_03_05_14_07_09.zip");
        ASSERT_EQ(c.sources.size(), 1u);
        EXPECT_TRUE(c.sources[0].isListFile);
        EXPECT_EQ(c.sources[0].text, "C:\\APPS\\RK3F.TMP");
    }
}

TEST(ZipCommandLine, ConsolidateLine) {
    const auto parsed = ParseZipCommand({"-a", "-p", "-r", "-whs", "-yp", "-^^",
                                         "C:\\Backups\\Docs\\rk_2002_05_01_12_00_00_C.zip",
                                         "C:\\Temp\\rk 1\\rk_2002_05_01_12_00_00\\*.*"});
    ASSERT_TRUE(parsed.ok()) << parsed.reason();
    EXPECT_EQ(parsed->mode, ZipMode::Add);
    EXPECT_EQ(parsed->pathStyle, PathStyle::Relative);
    ASSERT_EQ(parsed->sources.size(), 1u);
    EXPECT_FALSE(parsed->sources[0].isListFile);
    EXPECT_EQ(parsed->sources[0].text, "C:\\Temp\\rk 1\\rk_2002_05_01_12_00_00\\*.*");
}

TEST(ZipCommandLine, UsageErrors) {
    EXPECT_FALSE(ParseZipCommand({}).ok());
    EXPECT_FALSE(ParseZipCommand({"-a", "x.zip"}).ok()); // nothing to add
    EXPECT_FALSE(ParseZipCommand({"-q", "x.zip", "a"}).ok());
    EXPECT_FALSE(ParseZipCommand({"-a", "-i", "x.zip", "a"}).ok());
    EXPECT_FALSE(ParseZipCommand({"-x@", "x.zip", "a"}).ok());
    const auto unknown = ParseZipCommand({"-a", "-Z", "x.zip", "a"});
    EXPECT_NE(unknown.reason().find("-Z"), std::string::npos);
    EXPECT_TRUE(ParseZipCommand({"--help"})->help);
    EXPECT_TRUE(ParseZipCommand({"--version"})->version);
    EXPECT_TRUE(ParseZipCommand({"-V"})->version);
    EXPECT_FALSE(ParseZipCommand({"-V"})->help);
    EXPECT_TRUE(ParseUnzipCommand({"--version"})->version);
    EXPECT_EQ(VersionText("rkzip").rfind("rkzip (Ravelkeep) " RK_VERSION_TEXT ", libzip ", 0), 0u);
}

TEST(UnzipCommandLine, ExtractionLines) {
    const auto all = ParseUnzipCommand({"-d", "-Jhrs", "-o-", "-yo", "-^^",
                                        "C:\\Backups\\My Job\\rk_1.zip", "C:\\Restore\\rk_1\\"});
    ASSERT_TRUE(all.ok()) << all.reason();
    EXPECT_TRUE(all->recreateFolders);
    EXPECT_FALSE(all->replaceExisting);
    EXPECT_FALSE(all->restoreHidden);
    EXPECT_FALSE(all->restoreReadOnly);
    EXPECT_FALSE(all->restoreSystem);
    EXPECT_EQ(all->archive, "C:\\Backups\\My Job\\rk_1.zip");
    EXPECT_EQ(all->destination, "C:\\Restore\\rk_1\\");

    const auto chosen =
        ParseUnzipCommand({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\B\\rk_1.zip",
                           "@C:\\Program Files\\rk\\filelisto.tmp", "C:\\Restore\\rk_1\\"});
    ASSERT_TRUE(chosen.ok()) << chosen.reason();
    ASSERT_EQ(chosen->listFiles.size(), 1u);
    EXPECT_EQ(chosen->listFiles[0], "C:\\Program Files\\rk\\filelisto.tmp");
    EXPECT_EQ(chosen->destination, "C:\\Restore\\rk_1\\");
}

TEST(UnzipCommandLine, ListingLineAndErrors) {
    const auto listing = ParseUnzipCommand({"-@C:\\rk app\\filelist.tmp", "C:\\B\\rk_1.zip"});
    ASSERT_TRUE(listing.ok()) << listing.reason();
    EXPECT_EQ(listing->listingFile, "C:\\rk app\\filelist.tmp");
    EXPECT_EQ(listing->archive, "C:\\B\\rk_1.zip");

    EXPECT_FALSE(ParseUnzipCommand({"-d"}).ok());
    EXPECT_FALSE(ParseUnzipCommand({"-@", "a.zip"}).ok());
    EXPECT_FALSE(ParseUnzipCommand({"-Jx", "a.zip"}).ok());
    EXPECT_FALSE(ParseUnzipCommand({"-@l.txt", "a.zip", "C:\\out\\"}).ok());
    EXPECT_FALSE(ParseUnzipCommand({"a.zip", "C:\\one\\", "C:\\two\\"}).ok());
}

} // namespace
} // namespace rk::tools
