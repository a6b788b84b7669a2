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
        ASSERT_TRUE(parsed.command) << parsed.error;
        const ZipCommand& c = *parsed.command;
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
    ASSERT_TRUE(parsed.command) << parsed.error;
    EXPECT_EQ(parsed.command->mode, ZipMode::Add);
    EXPECT_EQ(parsed.command->pathStyle, PathStyle::Relative);
    ASSERT_EQ(parsed.command->sources.size(), 1u);
    EXPECT_FALSE(parsed.command->sources[0].isListFile);
    EXPECT_EQ(parsed.command->sources[0].text, "C:\\Temp\\rk 1\\rk_2002_05_01_12_00_00\\*.*");
}

TEST(ZipCommandLine, UsageErrors) {
    EXPECT_FALSE(ParseZipCommand({}).command);
    EXPECT_FALSE(ParseZipCommand({"-a", "x.zip"}).command); // nothing to add
    EXPECT_FALSE(ParseZipCommand({"-q", "x.zip", "a"}).command);
    EXPECT_FALSE(ParseZipCommand({"-a", "-i", "x.zip", "a"}).command);
    EXPECT_FALSE(ParseZipCommand({"-x@", "x.zip", "a"}).command);
    const auto unknown = ParseZipCommand({"-a", "-Z", "x.zip", "a"});
    EXPECT_NE(unknown.error.find("-Z"), std::string::npos);
    EXPECT_TRUE(ParseZipCommand({"--help"}).command->help);
    EXPECT_TRUE(ParseZipCommand({"--version"}).command->version);
    EXPECT_TRUE(ParseZipCommand({"-V"}).command->version);
    EXPECT_FALSE(ParseZipCommand({"-V"}).command->help);
    EXPECT_TRUE(ParseUnzipCommand({"--version"}).command->version);
    EXPECT_EQ(VersionText("rkzip").rfind("rkzip (Ravelkeep) " RK_VERSION_TEXT ", libzip ", 0), 0u);
}

TEST(UnzipCommandLine, ExtractionLines) {
    const auto all = ParseUnzipCommand({"-d", "-Jhrs", "-o-", "-yo", "-^^",
                                        "C:\\Backups\\My Job\\rk_1.zip", "C:\\Restore\\rk_1\\"});
    ASSERT_TRUE(all.command) << all.error;
    EXPECT_TRUE(all.command->recreateFolders);
    EXPECT_FALSE(all.command->replaceExisting);
    EXPECT_FALSE(all.command->restoreHidden);
    EXPECT_FALSE(all.command->restoreReadOnly);
    EXPECT_FALSE(all.command->restoreSystem);
    EXPECT_EQ(all.command->archive, "C:\\Backups\\My Job\\rk_1.zip");
    EXPECT_EQ(all.command->destination, "C:\\Restore\\rk_1\\");

    const auto chosen =
        ParseUnzipCommand({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\B\\rk_1.zip",
                           "@C:\\Program Files\\rk\\filelisto.tmp", "C:\\Restore\\rk_1\\"});
    ASSERT_TRUE(chosen.command) << chosen.error;
    ASSERT_EQ(chosen.command->listFiles.size(), 1u);
    EXPECT_EQ(chosen.command->listFiles[0], "C:\\Program Files\\rk\\filelisto.tmp");
    EXPECT_EQ(chosen.command->destination, "C:\\Restore\\rk_1\\");
}

TEST(UnzipCommandLine, ListingLineAndErrors) {
    const auto listing = ParseUnzipCommand({"-@C:\\rk app\\filelist.tmp", "C:\\B\\rk_1.zip"});
    ASSERT_TRUE(listing.command) << listing.error;
    EXPECT_EQ(listing.command->listingFile, "C:\\rk app\\filelist.tmp");
    EXPECT_EQ(listing.command->archive, "C:\\B\\rk_1.zip");

    EXPECT_FALSE(ParseUnzipCommand({"-d"}).command);
    EXPECT_FALSE(ParseUnzipCommand({"-@", "a.zip"}).command);
    EXPECT_FALSE(ParseUnzipCommand({"-Jx", "a.zip"}).command);
    EXPECT_FALSE(ParseUnzipCommand({"-@l.txt", "a.zip", "C:\\out\\"}).command);
    EXPECT_FALSE(ParseUnzipCommand({"a.zip", "C:\\one\\", "C:\\two\\"}).command);
}

} // namespace
} // namespace rk::tools
