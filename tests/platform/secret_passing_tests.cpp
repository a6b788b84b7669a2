// Secret bytes handed to a started process: a sealed memory file inherited
// as the descriptor a variable names, the variables a process must not
// inherit, the texts that hold passwords, and the password command.

#include "platform/password_command.h"
#include "platform/secret_descriptor.h"
#include "platform/secret_text.h"
#include "platform/spawned_process.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace rk::platform {
namespace {

namespace fs = std::filesystem;

TEST(SecretPassing, TheProcessReadsTheBytesFromTheDescriptorItWasToldOf) {
    test::Sandbox box;
    Result<SecretDescriptor> held = SecretDescriptor::Holding("one\ntwo\n");
    ASSERT_TRUE(held) << held.reason();
    ProcessStart start;
    start.args = {"/bin/cat", "/proc/self/fd/4"};
    start.keepOutput = true;
    start.passedDescriptor = held->descriptor();
    start.passedAs = 4;
    start.passedVariable = "SECRET_FD";
    EXPECT_EQ(SpawnAndWait(start).out, "one\ntwo\n");
    // Every process reads it from its start.
    EXPECT_EQ(SpawnAndWait(start).out, "one\ntwo\n");
    start.args = {"/usr/bin/env"};
    const std::string environment = SpawnAndWait(start).out;
    EXPECT_NE(environment.find("\nSECRET_FD=4\n"), std::string::npos) << environment;
    EXPECT_EQ(environment.find("one"), std::string::npos);
}

TEST(SecretPassing, TheMemoryFileCannotBeChangedOnceMade) {
    Result<SecretDescriptor> held = SecretDescriptor::Holding("sealed");
    ASSERT_TRUE(held);
    EXPECT_GE(held->descriptor(), 10);
    EXPECT_LT(write(held->descriptor(), "x", 1), 0);
    EXPECT_EQ(ftruncate(held->descriptor(), 0), -1);
}

TEST(SecretPassing, WithheldVariablesDoNotReachTheProcess) {
    test::Sandbox box;
    setenv("RK_WITHHELD_ONE", "secret", 1);
    ProcessStart start;
    start.args = {"/usr/bin/env"};
    start.keepOutput = true;
    start.withheldVariables = {"RK_WITHHELD_ONE"};
    const std::string environment = SpawnAndWait(start).out;
    unsetenv("RK_WITHHELD_ONE");
    EXPECT_EQ(environment.find("RK_WITHHELD_ONE"), std::string::npos) << environment;
    EXPECT_NE(environment.find("HOME="), std::string::npos);
}

TEST(SecretPassing, PasswordsAreLinesAndBack) {
    EXPECT_EQ(PasswordsOfText("a b\nc\n"), (std::vector<std::string>{"a b", "c"}));
    EXPECT_EQ(PasswordsOfText("a\nlast"), (std::vector<std::string>{"a", "last"}));
    EXPECT_EQ(PasswordsOfText("\r\n"), (std::vector<std::string>{"\r"}));
    EXPECT_EQ(TextOfPasswords({"a b", "c"}), "a b\nc\n");
    std::string text = "wipe me";
    ClearSecretText(text);
    EXPECT_TRUE(text.empty());
    ClearedPasswords moved(std::vector<std::string>{"x"});
    ClearedPasswords taken(std::move(moved));
    EXPECT_TRUE(moved.empty()); // NOLINT(bugprone-use-after-move): the source is emptied
    EXPECT_EQ(taken.all(), std::vector<std::string>{"x"});
}

TEST(SecretPassing, ThePasswordCommandIsFoundOnPathAndRunWithoutAShell) {
    test::Sandbox box;
    const fs::path bin = box.root() / "bin";
    box.write(bin / "vault", "#!/bin/sh\necho \"$1|$2\"\necho older\n");
    fs::permissions(bin / "vault", fs::perms::owner_all);
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    // Quotes group; a shell's characters are plain text.
    const Result<std::vector<std::string>> printed =
        PasswordsFromCommand("vault \"job name\" $HOME;ls");
    setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(printed) << printed.reason();
    EXPECT_EQ(*printed, (std::vector<std::string>{"job name|$HOME;ls", "older"}));

    const Result<std::vector<std::string>> missing = PasswordsFromCommand("no-such-vault-here");
    ASSERT_FALSE(missing);
    EXPECT_NE(missing.reason().find("could not be started"), std::string::npos) << missing.reason();
    setenv("RAVELKEEP_PASSWORD_COMMAND", "  ", 1);
    EXPECT_FALSE(PasswordCommand());
    unsetenv("RAVELKEEP_PASSWORD_COMMAND");
}

} // namespace
} // namespace rk::platform
