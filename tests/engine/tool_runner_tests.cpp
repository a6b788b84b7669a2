#include "engine/tool_runner.h"
#include "engine/utility_failure.h"
#include "platform/ignored_signal.h"
#include "support/sandbox.h"

#include <csignal>
#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace rk;

TEST(ToolRunner, StartsWaitsAndReports) {
    rk::test::Sandbox box;
    const ToolOutcome missing = RunTool("C:\\nowhere\\rkzip -a+");
    EXPECT_FALSE(missing.started && missing.endError.empty());
    const ToolOutcome ok = RunTool("Z:\\bin\\true");
    EXPECT_TRUE(ok.started && ok.endError.empty());
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
    std::optional<platform::IgnoredSignal> reaped(SIGCHLD);
    const ToolOutcome waited = RunTool("Z:\\bin\\true");
    const ToolOutcome outcome = RunTool("Z:\\bin\\true");
    reaped.reset();
    EXPECT_FALSE(waited.started && waited.endError.empty());
    EXPECT_FALSE(platform::ProcessSucceeded(outcome));
    const Result<void> result = UtilityResult(outcome);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.reason().rfind("cannot read how 'Z:\\bin\\true' ended: ", 0), 0u)
        << result.reason();
    EXPECT_TRUE(platform::ProcessSucceeded(RunTool("Z:\\bin\\true")));
}

// A failed utility run's result carries the lines the utility wrote about it
// beside the reason the user reads; a run that succeeded carries none.
TEST(ToolRunner, AFailedRunsResultCarriesTheUtilitysLines) {
    rk::test::Sandbox box;
    const Result<void> failed = UtilityResult(RunTool("Z:\\bin\\ls \"/no such/a\" \"/no such/b\""));
    ASSERT_FALSE(failed);
    ASSERT_EQ(failed.utilityLines().size(), 2u);
    EXPECT_NE(failed.utilityLines()[0].find("/no such/a"), std::string::npos);
    EXPECT_NE(failed.utilityLines()[1].find("/no such/b"), std::string::npos);
    EXPECT_EQ(failed.reason(), failed.utilityLines()[1]);
    const Result<void> ok = UtilityResult(RunTool("Z:\\bin\\true"));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(ok.reason().empty() && ok.utilityLines().empty());
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
