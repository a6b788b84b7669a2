// Listings and extractions of rkunzip, with the command lines the restore
// runs use.

#include "tool_fixture.h"

#include <chrono>
#include <sys/stat.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class RestoreRuns : public ToolTest {
  protected:
    // Archives the folder below C: with -P, as a backup run does.
    void SetUp() override { fs::create_directories(C("Backups")); }
    void Archive(const std::string& windowsArchive, const std::string& windowsFolder) {
        const RunResult made = Zip({"-a+", "-P", "-r", "-whs", "-yp", "-^^", "-x@C:\\none.ini",
                                    windowsArchive, windowsFolder + "\\*.*"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    RunResult ExtractAll(const std::string& archive, const std::string& destination) const {
        return Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", archive, destination});
    }
};

TEST_F(RestoreRuns, TreeComesBackWithNamesContentsLinksAndTimes) {
    sandbox.write(C("Data/My Files/a.txt"), "alpha");
    sandbox.write(C("Data/Données/été, hiver.txt"), "unicode and a comma");
    sandbox.write(C("Data/ro.txt"), "read-only");
    fs::permissions(C("Data/ro.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directories(C("Data/empty"));
    fs::create_symlink("My Files/a.txt", C("Data/link"));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(C("Data/My Files/a.txt"), old);
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");
    EXPECT_TRUE(IsSound(C("Backups/rk_1.zip")));

    const RunResult extracted = ExtractAll("C:\\Backups\\rk_1.zip", "C:\\Restore\\rk 1\\");
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    const fs::path out = C("Restore/rk 1/Data");
    EXPECT_EQ(sandbox.read(out / "My Files/a.txt"), "alpha");
    EXPECT_EQ(sandbox.read(out / "Données/été, hiver.txt"), "unicode and a comma");
    EXPECT_EQ(sandbox.read(out / "ro.txt"), "read-only");
    EXPECT_TRUE(fs::is_directory(out / "empty"));
    ASSERT_TRUE(fs::is_symlink(out / "link"));
    EXPECT_EQ(fs::read_symlink(out / "link"), "My Files/a.txt");
    const auto restored = fs::last_write_time(out / "My Files/a.txt");
    EXPECT_LT(std::chrono::abs(restored - old), std::chrono::seconds(2));
    // -Jhrs: restored files stay writable.
    EXPECT_NE(fs::status(out / "ro.txt").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(RestoreRuns, ListingRoundTripsThroughAnAtList) {
    sandbox.write(C("Data/a,b.txt"), "comma");
    sandbox.write(C("Data/Sub Folder/Plain.txt"), "plain");
    sandbox.write(C("Data/other.txt"), "other");
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");
    fs::create_directories(C("rk app"));

    const RunResult listed = Unzip({"-@C:\\rk app\\filelist.tmp", "C:\\Backups\\rk_1.zip"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(sandbox.read(C("rk app/filelist.tmp")),
              "Data\\Sub Folder\\Plain.txt\r\n\"Data\\a,b.txt\"\r\nData\\other.txt\r\n");

    // The listing itself is accepted back as a list of names.
    const RunResult all = Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\rk_1.zip",
                                 "@C:\\rk app\\filelist.tmp", "C:\\Restore\\all\\"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(sandbox.read(C("Restore/all/Data/a,b.txt")), "comma");
    EXPECT_EQ(sandbox.read(C("Restore/all/Data/Sub Folder/Plain.txt")), "plain");

    // A picker's selection: names without quotes, letter case as another
    // archive gave it.
    WriteLines(C("rk app/filelisto.tmp"), {"Data\\a,b.txt", "DATA\\SUB FOLDER\\PLAIN.TXT"});
    const RunResult some = Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\rk_1.zip",
                                  "@C:\\rk app\\filelisto.tmp", "C:\\Restore\\some\\"});
    ASSERT_EQ(some.exitCode, 0) << some.err;
    EXPECT_TRUE(fs::exists(C("Restore/some/Data/a,b.txt")));
    EXPECT_TRUE(fs::exists(C("Restore/some/Data/Sub Folder/Plain.txt")));
    EXPECT_FALSE(fs::exists(C("Restore/some/Data/other.txt")));
}

TEST_F(RestoreRuns, NewestFirstLeavesEveryFileInItsNewestVersion) {
    sandbox.write(C("Data/f.txt"), "version 1");
    sandbox.write(C("Data/only-in-1.txt"), "one");
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");
    sandbox.write(C("Data/f.txt"), "version 2");
    sandbox.write(C("Data/g.txt"), "g version 2");
    Archive("C:\\Backups\\rk_2.zip", "C:\\Data");
    sandbox.write(C("Data/f.txt"), "version 3");
    fs::remove(C("Data/g.txt"));
    fs::remove(C("Data/only-in-1.txt"));
    Archive("C:\\Backups\\rk_3.zip", "C:\\Data");

    for (const char* archive :
         {"C:\\Backups\\rk_3.zip", "C:\\Backups\\rk_2.zip", "C:\\Backups\\rk_1.zip"}) {
        const RunResult run = ExtractAll(archive, "C:\\Restore\\rk_3\\");
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    EXPECT_EQ(sandbox.read(C("Restore/rk_3/Data/f.txt")), "version 3");
    EXPECT_EQ(sandbox.read(C("Restore/rk_3/Data/g.txt")), "g version 2");
    EXPECT_EQ(sandbox.read(C("Restore/rk_3/Data/only-in-1.txt")), "one");

    // Without -d every file lands straight in the destination.
    const RunResult flat = Unzip({"-o-", "C:\\Backups\\rk_2.zip", "C:\\Flat\\"});
    ASSERT_EQ(flat.exitCode, 0) << flat.err;
    EXPECT_EQ(sandbox.read(C("Flat/g.txt")), "g version 2");
}

TEST_F(RestoreRuns, ConsolidatedArchiveRestoresToTheSameNames) {
    sandbox.write(C("Data/sub/f.txt"), "f");
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");
    ASSERT_EQ(ExtractAll("C:\\Backups\\rk_1.zip", "C:\\Temp\\rk_1\\").exitCode, 0);
    const RunResult consolidated = Zip(
        {"-a", "-p", "-r", "-whs", "-yp", "-^^", "C:\\Backups\\rk_1_C.zip", "C:\\Temp\\rk_1\\*.*"});
    ASSERT_EQ(consolidated.exitCode, 0) << consolidated.err;
    EXPECT_EQ(NamesIn(C("Backups/rk_1_C.zip")), NamesIn(C("Backups/rk_1.zip")));
}

} // namespace
} // namespace rk::test
