#include "engine/tool_runner.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace rk;

TEST(ToolRunner, StartsWaitsAndReports) {
    rk::test::Sandbox box;
    std::string missing = "C:\\nowhere\\rkzip -a+";
    EXPECT_FALSE(RunAndWait(missing));
    std::string ok = "Z:\\bin\\true";
    EXPECT_TRUE(RunAndWait(ok));
    int ticks = 0;
    SetToolWaitHook([&] { ++ticks; });
    const auto outcome = RunTool("Z:\\bin\\ls \"/no such/file\"");
    SetToolWaitHook({});
    EXPECT_TRUE(outcome.started);
    EXPECT_NE(outcome.exitCode, 0);
    EXPECT_NE(outcome.stderrTail.find("/no such/file"), std::string::npos) << "quotes group";
    EXPECT_GE(ticks, 1);
}

TEST(ToolRunner, TempFolderNamesTheFirstFreeNumber) {
    rk::test::Sandbox box;
    const std::string temp = GetTempFolder();
    EXPECT_EQ(temp.back() == '\\', temp.size() == 3) << temp;
    EXPECT_EQ(GetTempFolder("rk"), temp + "\\rk0");
    std::filesystem::create_directories(box.root() / "tmp" / "rk0");
    EXPECT_EQ(GetTempFolder("rk"), temp + "\\rk1");
    EXPECT_FALSE(std::filesystem::exists(box.root() / "tmp" / "rk1")) << "not created";
    EXPECT_EQ(GetShortPath("C:\\not there\\x"), "C:\\not there\\x");
}

} // namespace
