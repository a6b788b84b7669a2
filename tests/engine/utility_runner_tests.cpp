// The utilities run the way the program runs them: the exact command lines,
// split by the tool runner, with spaces and Unicode in every path and a
// trailing backslash right before a closing quote.

#include "core/file_checks.h"
#include "engine/temporary_folders.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace rk;

class UtilityRunnerTest : public ::testing::Test {
  protected:
    rk::test::Sandbox box;
    std::string zip = platform::ToWindowsPath((rk::test::ProgramDir() / "rkzip").string());
    std::string unzip = platform::ToWindowsPath((rk::test::ProgramDir() / "rkunzip").string());
    fs::path job = box.c() / "Jobs Ü" / "Wöchentlich Job";
    std::string jobText = "C:\\Jobs Ü\\Wöchentlich Job\\";

    void SetUp() override {
        box.write(box.c() / "Meine Daten" / "größe, neu.txt", "comma and umlauts");
        box.write(box.c() / "Meine Daten" / "sub dir" / "plain.txt", "plain");
        box.write(box.c() / "Meine Daten" / "skip.tmp", "excluded");
        box.write(job / "excl.ini", "*.tmp\r\n");
        box.write(job / "list.tmp", "C:\\Meine Daten\\*.*\r\n");
    }

    ToolOutcome Backup(BackupMode mode, const std::string& archive) {
        return RunTool(BackupCommandLine(mode, GetShortPath(zip),
                                         GetShortPath(jobText + "excl.ini"), jobText + archive,
                                         GetShortPath(jobText + "list.tmp")));
    }
};

TEST_F(UtilityRunnerTest, BackupListingAndExtractionRoundTrip) {
    const ToolOutcome made = Backup(BackupMode::Root, "rk_2026_01_02_03_04_05.zip");
    ASSERT_TRUE(made.started);
    ASSERT_EQ(made.exitCode, 0) << made.stderrTail;
    const auto tested =
        rk::test::Run({"/usr/bin/unzip", "-tq", (job / "rk_2026_01_02_03_04_05.zip").string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.out << tested.err;

    const ToolOutcome listed = RunTool(ListingCommandLine(unzip, jobText + "file list.tmp",
                                                          jobText + "rk_2026_01_02_03_04_05.zip"));
    ASSERT_EQ(listed.exitCode, 0) << listed.stderrTail;
    const std::string listing = box.read(job / "file list.tmp");
    EXPECT_NE(listing.find("\"Meine Daten\\größe, neu.txt\"\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("Meine Daten\\sub dir\\plain.txt\r\n"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("skip.tmp"), std::string::npos) << "excluded";

    const ToolOutcome all = RunTool(ExtractCommandLine(
        unzip, jobText + "rk_2026_01_02_03_04_05.zip", "C:\\Wiederherstellung Här\\"));
    ASSERT_EQ(all.exitCode, 0) << all.stderrTail;
    const fs::path restored = box.c() / "Wiederherstellung Här" / "Meine Daten";
    EXPECT_EQ(box.read(restored / "größe, neu.txt"), "comma and umlauts");
    EXPECT_EQ(box.read(restored / "sub dir" / "plain.txt"), "plain");

    // Only the listed name, taken from the listing as it stands.
    box.write(job / "pick.tmp", "\"Meine Daten\\größe, neu.txt\"\r\n");
    const ToolOutcome picked = RunTool(ExtractListedCommandLine(
        unzip, jobText + "rk_2026_01_02_03_04_05.zip", jobText + "pick.tmp", "C:\\Nur Eine\\"));
    ASSERT_EQ(picked.exitCode, 0) << picked.stderrTail;
    EXPECT_TRUE(fs::exists(box.c() / "Nur Eine" / "Meine Daten" / "größe, neu.txt"));
    EXPECT_FALSE(fs::exists(box.c() / "Nur Eine" / "Meine Daten" / "sub dir"));
}

TEST_F(UtilityRunnerTest, ConsolidationRestoresToTheSameNames) {
    ASSERT_EQ(Backup(BackupMode::Root, "rk_1.zip").exitCode, 0);
    ASSERT_EQ(RunTool(ExtractCommandLine(unzip, jobText + "rk_1.zip", "C:\\Temp Folder\\rk 0\\"))
                  .exitCode,
              0);
    const ToolOutcome merged = RunTool(ConsolidateCommandLine(
        GetShortPath(zip), jobText + "rk_1_C.zip", "C:\\Temp Folder\\rk 0\\"));
    ASSERT_EQ(merged.exitCode, 0) << merged.stderrTail;
    const auto names = rk::test::Run({"/usr/bin/unzip", "-Z1", (job / "rk_1_C.zip").string()});
    EXPECT_NE(names.out.find("Meine Daten/größe, neu.txt\n"), std::string::npos) << names.out;
    EXPECT_NE(names.out.find("Meine Daten/sub dir/plain.txt\n"), std::string::npos) << names.out;
}

TEST_F(UtilityRunnerTest, FailuresComeBackWithTheirReason) {
    box.write(job / "rk_bad.zip", "this is not a zip archive at all");
    const ToolOutcome corrupt =
        RunTool(ExtractCommandLine(unzip, jobText + "rk_bad.zip", "C:\\Out\\"));
    EXPECT_TRUE(corrupt.started);
    EXPECT_GE(corrupt.exitCode, 3);
    EXPECT_NE(corrupt.stderrTail.find("rk_bad.zip"), std::string::npos) << corrupt.stderrTail;

    box.write(job / "list.tmp", "C:\\No Such Folder\\*.*\r\n");
    const ToolOutcome missing = Backup(BackupMode::Incremental, "rk_2.zip");
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_NE(missing.stderrTail.find("No Such Folder"), std::string::npos) << missing.stderrTail;
}

} // namespace
