#include "engine/tool_runner.h"
#include "engine/utility_failure.h"
#include "support/sandbox.h"

#include <csignal>
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

// A utility whose end cannot be read (SIGCHLD ignored: the system reaps it
// first) has not succeeded, whatever it did; its reason says why.
TEST(ToolRunner, AnEndThatCannotBeReadIsAFailedRun) {
    rk::test::Sandbox box;
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &previous);
    std::string line = "Z:\\bin\\true";
    const bool waited = RunAndWait(line);
    const ToolOutcome outcome = RunTool("Z:\\bin\\true");
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_FALSE(waited);
    EXPECT_FALSE(UtilitySucceeded(outcome));
    const Result<void> result = UtilityResult(outcome);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.reason().rfind("cannot read how 'Z:\\bin\\true' ended: ", 0), 0u)
        << result.reason();
    EXPECT_TRUE(UtilitySucceeded(RunTool("Z:\\bin\\true")));
}

// Every line the utility writes reaches the caller, not only the last ones.
TEST(ToolRunner, HandsOnEveryLineOfTheUtilitysErrors) {
    rk::test::Sandbox box;
    std::string command = "Z:\\bin\\ls";
    for (int i = 0; i < 40; ++i)
        command += " /no/such/file" + std::to_string(i);
    std::vector<std::string> lines;
    const ToolOutcome outcome =
        RunTool(command, [&](std::string_view text) { lines.emplace_back(text); });
    EXPECT_NE(outcome.exitCode, 0);
    ASSERT_EQ(lines.size(), 40u);
    EXPECT_NE(lines.front().find("/no/such/file0"), std::string::npos) << lines.front();
    EXPECT_EQ(outcome.stderrTail.find("/no/such/file0:"), std::string::npos)
        << "the tail keeps only the last lines";
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

namespace {

// Only well-formed progress lines count; a line from another program, or
// one that claims more done than there is, is ignored.
TEST(ToolProgressLine, TakesOnlyWellFormedLines) {
    const auto p = rk::ParseToolProgress("rkzip-progress 2 5 300 1000");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->filesDone, 2u);
    EXPECT_EQ(p->filesTotal, 5u);
    EXPECT_EQ(p->bytesDone, 300u);
    EXPECT_EQ(p->bytesTotal, 1000u);
    for (const char* bad :
         {"rkzip-progress 2 5 300", "rkzip-progress 2 5 300 1000 7", "rkzip-progress 6 5 0 0",
          "rkzip-progress 0 5 9 8", "rkzip-progress  1 5 0 0", "rkzip-progress 1 5 0 x",
          "progress 1 1 1 1", "rkzip-progress 1 2 3 4\r"})
        EXPECT_FALSE(rk::ParseToolProgress(bad).has_value()) << bad;
}

} // namespace
