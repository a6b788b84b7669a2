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

} // namespace
