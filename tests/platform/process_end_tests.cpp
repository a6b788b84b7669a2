// A process whose end cannot be read (here: SIGCHLD ignored, so the system
// reaps it before anyone asks) is a failure with its reason, never exit 0;
// and what a process writes on its standard error is handed on line by line.

#include "platform/host_program.h"
#include "platform/process.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

namespace rk::platform {
namespace {

// While it lives, children of this process are reaped by the system.
class ChildrenReapedBySystem {
  public:
    ChildrenReapedBySystem() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGCHLD, &ignore, &previous_);
    }
    ~ChildrenReapedBySystem() { sigaction(SIGCHLD, &previous_, nullptr); }
    ChildrenReapedBySystem(const ChildrenReapedBySystem&) = delete;
    ChildrenReapedBySystem& operator=(const ChildrenReapedBySystem&) = delete;

  private:
    struct sigaction previous_ {};
};

TEST(ProcessEnd, AnEndThatCannotBeReadIsAFailureWithItsReason) {
    rk::test::Sandbox box;
    ChildrenReapedBySystem reaped;
    const ProcessOutcome waited = RunProcess({"Z:\\bin\\true"});
    EXPECT_TRUE(waited.started);
    EXPECT_EQ(waited.exitCode, -1);
    EXPECT_EQ(waited.endError.rfind("cannot read how 'Z:\\bin\\true' ended: ", 0), 0u)
        << waited.endError;

    int ticks = 0;
    const ProcessOutcome polled = RunProcess({"Z:\\bin\\true"}, [&] { ++ticks; });
    EXPECT_EQ(polled.exitCode, -1);
    EXPECT_FALSE(polled.endError.empty());

    const HostProgramOutcome host = RunHostProgram({"true"});
    EXPECT_TRUE(host.started);
    EXPECT_EQ(host.exitCode, -1);
    EXPECT_EQ(host.endError.rfind("cannot read how 'true' ended: ", 0), 0u) << host.endError;
    EXPECT_FALSE(HostProgramSucceeded(host));
}

TEST(ProcessEnd, AnEndThatIsReadKeepsItsExitCode) {
    rk::test::Sandbox box;
    const ProcessOutcome ok = RunProcess({"Z:\\bin\\true"});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_TRUE(ok.endError.empty());
    const HostProgramOutcome host = RunHostProgram({"true"});
    EXPECT_TRUE(HostProgramSucceeded(host));
    EXPECT_FALSE(HostProgramSucceeded(RunHostProgram({"false"})));
}

TEST(ProcessErrors, EveryLineIsHandedOnAndTheTailStartsAtALine) {
    rk::test::Sandbox box;
    // Long lines: more than the tail keeps in bytes.
    std::vector<std::string> args = {"Z:\\bin\\ls"};
    for (int i = 0; i < 30; ++i)
        args.push_back("/no/such/" + std::to_string(i) + "-" + std::string(250, 'x'));
    ProcessWatch watch;
    std::vector<std::string> lines;
    watch.errorLine = [&](std::string_view line) { lines.emplace_back(line); };
    const ProcessOutcome outcome = RunProcess(args, watch);
    EXPECT_NE(outcome.exitCode, 0);
    ASSERT_EQ(lines.size(), 30u);
    for (const std::string& line : lines) {
        EXPECT_NE(line.find("/no/such/"), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    ASSERT_FALSE(outcome.stderrTail.empty());
    EXPECT_LE(outcome.stderrTail.size(), 4096u);
    EXPECT_EQ(outcome.stderrTail.rfind("/bin/ls: cannot access", 0), 0u)
        << outcome.stderrTail.substr(0, 80);
}

} // namespace
} // namespace rk::platform
