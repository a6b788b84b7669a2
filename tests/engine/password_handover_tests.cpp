// The passwords reach the utilities only through the inherited descriptor
// RAVELKEEP_PASSWORD_FD names: the unzip utility all of them, newest first,
// the zip utility the first and only when the run encrypts; never on the
// command line, in the environment or in a file on disk.

#include "engine/tool_runner.h"
#include "engine/utility_failure.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace rk {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNewest = "Pw-Newest-7731 with spaces";
constexpr const char* kOlder = "Pw-Older-4410";

class PasswordHandover : public ::testing::Test {
  protected:
    test::Sandbox box;
    fs::path record = box.root() / "probe.txt";

    // The command line that runs the probe, writing its record.
    std::string ProbeLine() const {
        return "\"" + platform::ToWindowsPath((test::ProgramDir() / "rk_password_probe").string()) +
               "\" " + record.string();
    }
    std::string Recorded() const { return box.read(record); }
    // What the probe's descriptor 4 held; empty when it had none.
    std::string Handed() const {
        const std::string text = Recorded();
        const size_t at = text.find("fd4:");
        return at == std::string::npos ? std::string() : text.substr(at + 4);
    }
    // Its arguments and environment, without what descriptor 4 held.
    std::string ArgumentsAndEnvironment() const {
        const std::string text = Recorded();
        return text.substr(0, text.find("fd4:"));
    }
    static ToolPasswords Passwords(bool encrypt) {
        ToolPasswords passwords;
        passwords.passwords = platform::ClearedPasswords({kNewest, kOlder});
        passwords.encrypt = encrypt;
        return passwords;
    }
};

TEST_F(PasswordHandover, WithoutAScopeNoUtilityGetsADescriptorOrTheVariable) {
    // A descriptor named in the program's own environment is not passed on.
    setenv("RAVELKEEP_PASSWORD_FD", "0", 1);
    RunTool(ProbeLine());
    unsetenv("RAVELKEEP_PASSWORD_FD");
    EXPECT_EQ(Recorded().find("RAVELKEEP_PASSWORD_FD"), std::string::npos) << Recorded();
    EXPECT_EQ(Handed(), "");
}

TEST_F(PasswordHandover, TheUnzipUtilityGetsEveryPasswordNewestFirstThroughDescriptor4) {
    const ToolPasswordScope scope(Passwords(false));
    RunTool(ProbeLine());
    EXPECT_EQ(Handed(), std::string(kNewest) + "\n" + kOlder + "\n");
    EXPECT_NE(Recorded().find("env:RAVELKEEP_PASSWORD_FD=4\n"), std::string::npos) << Recorded();
    // A file in memory only, never one on disk.
    EXPECT_NE(Recorded().find("fd4link:/memfd:"), std::string::npos) << Recorded();
    EXPECT_EQ(ArgumentsAndEnvironment().find("Pw-"), std::string::npos) << Recorded();
}

TEST_F(PasswordHandover, TheZipUtilityGetsTheNewestOnlyAndOnlyWhenTheRunEncrypts) {
    {
        const ToolPasswordScope scope(Passwords(true));
        RunZipTool(ProbeLine());
        EXPECT_EQ(Handed(), std::string(kNewest) + "\n");
        EXPECT_EQ(ArgumentsAndEnvironment().find("Pw-"), std::string::npos) << Recorded();
    }
    {
        const ToolPasswordScope scope(Passwords(false));
        RunZipTool(ProbeLine());
        EXPECT_EQ(Handed(), "");
        EXPECT_EQ(Recorded().find("RAVELKEEP_PASSWORD_FD"), std::string::npos) << Recorded();
    }
}

TEST_F(PasswordHandover, AnInnerScopeHoldsWhileItLivesAndTheOuterOneAfter) {
    const ToolPasswordScope outer(Passwords(false));
    {
        ToolPasswords inner;
        inner.passwords = platform::ClearedPasswords({"Inner-Only"});
        const ToolPasswordScope scope(std::move(inner));
        RunTool(ProbeLine());
        EXPECT_EQ(Handed(), "Inner-Only\n");
    }
    RunTool(ProbeLine());
    EXPECT_EQ(Handed(), std::string(kNewest) + "\n" + kOlder + "\n");
}

TEST_F(PasswordHandover, EachRunReadsTheWholeTextFromItsStart) {
    const ToolPasswordScope scope(Passwords(false));
    RunTool(ProbeLine());
    RunTool(ProbeLine());
    EXPECT_EQ(Handed(), std::string(kNewest) + "\n" + kOlder + "\n");
}

TEST_F(PasswordHandover, ExitCode82IsAWrongOrMissingPassword) {
    setenv("RK_PROBE_EXIT", "82", 1);
    const ToolOutcome outcome = RunTool(ProbeLine());
    unsetenv("RK_PROBE_EXIT");
    const Result<void> result = UtilityResult(outcome);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.reason(), kWrongPasswordText);
}

} // namespace
} // namespace rk
