// Whether a run counts as unattended: the schedule's variable, systemd's
// invocation, or neither standard input nor standard error on a terminal.

#include "platform/unattended_run.h"
#include "support/saved_environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

namespace rk::test {
namespace {

// Standard input and standard error put on a new pseudo-terminal (or on
// /dev/null) while this lives, as when a person starts the program in a
// terminal (or a scheduler starts it).
class StandardStreams {
  public:
    explicit StandardStreams(bool terminal) {
        savedInput_ = dup(STDIN_FILENO);
        savedErrors_ = dup(STDERR_FILENO);
        int fd = -1;
        if (terminal) {
            master_ = posix_openpt(O_RDWR | O_NOCTTY);
            if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
                throw std::runtime_error("no pseudo-terminal");
            fd = open(ptsname(master_), O_RDWR | O_NOCTTY);
        } else {
            fd = open("/dev/null", O_RDWR);
        }
        if (fd < 0)
            throw std::runtime_error("cannot open the stand-in streams");
        dup2(fd, STDIN_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StandardStreams() {
        dup2(savedInput_, STDIN_FILENO);
        dup2(savedErrors_, STDERR_FILENO);
        close(savedInput_);
        close(savedErrors_);
        if (master_ >= 0)
            close(master_);
    }
    StandardStreams(const StandardStreams&) = delete;
    StandardStreams& operator=(const StandardStreams&) = delete;

  private:
    int savedInput_ = -1;
    int savedErrors_ = -1;
    int master_ = -1;
};

class UnattendedRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment.Set(platform::kUnattendedVariable, "");
        environment.Set(platform::kRetryVariable, "");
        environment.Set("INVOCATION_ID", "");
        unsetenv(platform::kUnattendedVariable);
        unsetenv(platform::kRetryVariable);
        unsetenv("INVOCATION_ID");
    }
    SavedEnvironment environment;
};

TEST_F(UnattendedRunTest, ATerminalRunIsAttendedUnlessAScheduleOrSystemdStartedIt) {
    StandardStreams terminal(true);
    EXPECT_FALSE(platform::RunIsUnattended());
    setenv(platform::kUnattendedVariable, "0", 1);
    EXPECT_FALSE(platform::RunIsUnattended());
    setenv(platform::kUnattendedVariable, "1", 1);
    EXPECT_TRUE(platform::RunIsUnattended());
    unsetenv(platform::kUnattendedVariable);
    setenv("INVOCATION_ID", "0123456789abcdef", 1);
    EXPECT_TRUE(platform::RunIsUnattended());
    setenv("INVOCATION_ID", "", 1);
    EXPECT_FALSE(platform::RunIsUnattended());
}

TEST_F(UnattendedRunTest, ARunWithNoTerminalIsUnattended) {
    StandardStreams none(false);
    EXPECT_TRUE(platform::RunIsUnattended());
}

TEST_F(UnattendedRunTest, OnlyTheRetryVariableMarksARetry) {
    EXPECT_FALSE(platform::RunIsRetry());
    setenv(platform::kRetryVariable, "0", 1);
    EXPECT_FALSE(platform::RunIsRetry());
    setenv(platform::kRetryVariable, "1", 1);
    EXPECT_TRUE(platform::RunIsRetry());
    setenv(platform::kUnattendedVariable, "1", 1);
    unsetenv(platform::kRetryVariable);
    EXPECT_FALSE(platform::RunIsRetry()) << "unattended alone is not a retry";
}

} // namespace
} // namespace rk::test
