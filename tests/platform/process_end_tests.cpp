// A process whose end cannot be read (here: SIGCHLD ignored, so the system
// reaps it before anyone asks) is a failure with its reason, never exit 0;
// and what a process writes on its standard error is handed on line by line.

#include "platform/host_program.h"
#include "platform/ignored_signal.h"
#include "platform/process.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace rk::platform {
namespace {

// While it lives, what is written to our standard error goes to a file.
class StandardErrorToFile {
  public:
    explicit StandardErrorToFile(const std::string& hostPath) : saved_(dup(2)) {
        const int file = open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(file, 2);
        close(file);
    }
    ~StandardErrorToFile() {
        dup2(saved_, 2);
        close(saved_);
    }
    StandardErrorToFile(const StandardErrorToFile&) = delete;
    StandardErrorToFile& operator=(const StandardErrorToFile&) = delete;

  private:
    int saved_;
};

TEST(ProcessEnd, AnEndThatCannotBeReadIsAFailureWithItsReason) {
    rk::test::Sandbox box;
    // Children of this process are reaped by the system.
    const IgnoredSignal reaped(SIGCHLD);
    const ProcessOutcome waited = RunProcess({"Z:\\bin\\true"});
    EXPECT_TRUE(waited.started);
    EXPECT_EQ(waited.exitCode, -1);
    EXPECT_EQ(waited.endError.rfind("cannot read how 'Z:\\bin\\true' ended: ", 0), 0u)
        << waited.endError;

    int ticks = 0;
    const ProcessOutcome polled = RunProcess({"Z:\\bin\\true"}, [&] { ++ticks; });
    EXPECT_EQ(polled.exitCode, -1);
    EXPECT_FALSE(polled.endError.empty());

    const ProcessOutcome host = RunHostProgram({"true"});
    EXPECT_TRUE(host.started);
    EXPECT_EQ(host.exitCode, -1);
    EXPECT_EQ(host.endError.rfind("cannot read how 'true' ended: ", 0), 0u) << host.endError;
    EXPECT_FALSE(ProcessSucceeded(host));
}

TEST(ProcessEnd, AnEndThatIsReadKeepsItsExitCode) {
    rk::test::Sandbox box;
    const ProcessOutcome ok = RunProcess({"Z:\\bin\\true"});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_TRUE(ok.endError.empty());
    const ProcessOutcome host = RunHostProgram({"true"});
    EXPECT_TRUE(ProcessSucceeded(host));
    EXPECT_FALSE(ProcessSucceeded(RunHostProgram({"false"})));
}

// A host program is fed its whole input (more than a pipe holds) while its
// output is read, and its output and errors are kept, not passed on; a
// utility's errors reach ours.
TEST(ProcessStreams, AHostProgramsOutputIsKeptAUtilitysErrorsPassedOn) {
    rk::test::Sandbox box;
    std::string input;
    for (int i = 0; input.size() < 300 * 1024; ++i)
        input += "line " + std::to_string(i) + "\n";
    const std::string passedOn = (box.root() / "stderr.txt").string();
    ProcessOutcome copied;
    ProcessOutcome refused;
    ProcessOutcome utility;
    {
        StandardErrorToFile captured(passedOn);
        copied = RunHostProgram({"cat"}, input);
        refused = RunHostProgram({"ls", "/no/such/host-file"});
        utility = RunProcess({"Z:\\bin\\ls", "/no/such/utility-file"});
    }
    EXPECT_TRUE(ProcessSucceeded(copied)) << copied.err;
    EXPECT_EQ(copied.out.size(), input.size());
    EXPECT_TRUE(copied.out == input);
    EXPECT_EQ(copied.err, "");
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("/no/such/host-file"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.stderrTail, refused.err);
    EXPECT_NE(utility.stderrTail.find("/no/such/utility-file"), std::string::npos);
    EXPECT_EQ(utility.err, "");
    const std::string ours = box.read(passedOn);
    EXPECT_EQ(ours.find("/no/such/host-file"), std::string::npos) << ours;
    EXPECT_NE(ours.find("/no/such/utility-file"), std::string::npos) << ours;

    const ProcessOutcome missing = RunHostProgram({"rk-no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_EQ(missing.startError.rfind("cannot start 'rk-no-such-program': ", 0), 0u)
        << missing.startError;
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
