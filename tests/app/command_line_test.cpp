#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using rk::app::Life;
using rk::app::ParseCommandLine;

TEST(CommandLine, ThinNamesItsJobInAnyCase) {
    const auto command = ParseCommandLine("/THIN/Weekly Job");
    EXPECT_EQ(command.life, Life::Thin);
    EXPECT_EQ(command.jobName, "Weekly Job");
    EXPECT_EQ(ParseCommandLine("/thin").life, Life::Thin);
    EXPECT_EQ(ParseCommandLine("/thin").jobName, "");
    EXPECT_EQ(ParseCommandLine("/thinner/Weekly").life, Life::Interactive);
}

TEST(CommandLine, RestoreTakesJobArchiveAndTheWholeRestAsTheDestination) {
    const auto command =
        ParseCommandLine("/Restore/Weekly Job/rk_2026_12_09_14_00_00.zip/C:\\Out\\Here");
    EXPECT_EQ(command.life, Life::Restore);
    EXPECT_EQ(command.jobName, "Weekly Job");
    EXPECT_EQ(command.archiveName, "rk_2026_12_09_14_00_00.zip");
    EXPECT_EQ(command.destination, "C:\\Out\\Here");
    // Windows text may use "/" too: it stays part of the destination.
    EXPECT_EQ(ParseCommandLine("/restore/J/a.zip/C:/Out/x").destination, "C:/Out/x");
    const auto short_ = ParseCommandLine("/restore/J/a.zip");
    EXPECT_EQ(short_.life, Life::Restore);
    EXPECT_EQ(short_.archiveName, "a.zip");
    EXPECT_EQ(short_.destination, "");
}

} // namespace
