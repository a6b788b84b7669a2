// The built program started as a scheduler would start it: no display, a
// copy of rkbak in a sandbox folder (its settings file lives beside it).

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class RkbakStartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(ProgramFolder());
        fs::copy_file(ProgramDir() / "rkbak", Program());
    }
    fs::path ProgramFolder() const { return sandbox.c() / "prog"; }
    fs::path Program() const { return ProgramFolder() / "rkbak"; }
    fs::path SettingsFile() const { return ProgramFolder() / "rkbak.ini"; }

    // Runs the copy without any display and without a chosen Qt platform.
    RunResult Start(const std::string& argument, std::vector<std::string> env = {}) const {
        env.insert(env.end(), {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
        return rk::test::Run({Program().string(), argument}, env);
    }
    void Configure() const {
        sandbox.write(sandbox.c() / "tools" / "rkzip", "zip");
        sandbox.write(sandbox.c() / "tools" / "rkunzip", "unzip");
        fs::create_directories(sandbox.c() / "Store");
        sandbox.write(SettingsFile(), "[settings]\r\nziputil=C:\\tools\\rkzip\r\n"
                                      "unziputil=C:\\tools\\rkunzip\r\njobs=C:\\Store\r\n");
    }

    Sandbox sandbox;
};

// --help and --version are answered on standard output, before anything
// else: no settings are read, Qt says nothing, the exit code is 0.
TEST_F(RkbakStartTest, HelpAndVersionAreAnsweredAtOnce) {
    const RunResult version = Start("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "rkbak (Ravelkeep) " RK_VERSION_TEXT "\n");
    EXPECT_EQ(version.err, "");
    const RunResult help = Start("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: rkbak ", 0), 0u) << help.out;
    EXPECT_NE(help.out.find("rkbak /ib/NAME"), std::string::npos);
    EXPECT_NE(help.out.find("rkbak /thin/NAME"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");
    EXPECT_FALSE(fs::exists(SettingsFile()));
}

TEST_F(RkbakStartTest, UnconfiguredWithoutADisplaySaysSoAndExits) {
    const RunResult result = Start("/ib/x");
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("Ravelkeep has not been properly configured"), std::string::npos)
        << result.err;
    EXPECT_TRUE(fs::is_directory(sandbox.c() / "Backups"));
    EXPECT_EQ(sandbox.read(SettingsFile()), "[settings]\r\njobs=C:\\Backups\r\n");
}

// A job that does not exist, a source folder that does not exist: a bad
// command line, told on standard error.
TEST_F(RkbakStartTest, ActionsOnWhatDoesNotExistSaySoAndExit) {
    Configure();
    for (const auto& [argument, reason] :
         {std::pair<const char*, const char*>{"/ib/x", "there is no backup job named \"x\""},
          {"/verify/x", "there is no backup job named \"x\""},
          {"/ib/ ", "/ib needs the name of a backup job, as in /ib/Weekly"},
          {"/verify/ ", "/verify needs the name of a backup job, as in /verify/Weekly"},
          {"/c/2024-01-02/2024-02-03/C:\\Store\\x", "the folder \"C:\\Store\\x\" does not exist"},
          {"/c/2024-01-02/2024-02-30/C:\\Store\\x", "the end date \"2024-02-30\" is not a date"}}) {
        const RunResult result = Start(argument);
        EXPECT_EQ(result.exitCode, 2) << argument;
        EXPECT_NE(result.err.find(std::string("rkbak: ") + reason), std::string::npos)
            << result.err;
    }
}

// The offscreen platform chosen for want of a display: no main window. (Named
// on purpose in QT_QPA_PLATFORM, it gets one: main_window_start_test.)
TEST_F(RkbakStartTest, TheMainWindowNeedsADisplay) {
    Configure();
    const RunResult result = Start("");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("display"), std::string::npos) << result.err;
}

TEST_F(RkbakStartTest, AMalformedDriveMapIsRefusedBeforeAnythingIsWritten) {
    const RunResult result = Start("/ib/x", {"RAVELKEEP_DRIVES=C=relative/path"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("RAVELKEEP_DRIVES"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(SettingsFile()));
}

} // namespace
} // namespace rk::test
