// Main for a run nobody attends: the configuration check told on standard
// error and to the desktop, and the backup's first step, which may end the
// run before anything is created or asked.

#include "app/command_line.h"
#include "app/main.h"
#include "app_fixture.h"

#include <sstream>

namespace rk::test {
namespace {

class UnattendedMainTest : public AppTest {
  protected:
    app::MainContext Context(bool unattended) {
        app::MainContext context;
        context.programFolderHost = ProgramFolder().string();
        context.personPresent = false;
        context.unattended = unattended;
        context.errors = &errors;
        context.notify = [this](const std::string& summary, const std::string& body) {
            notices.push_back(summary + "|" + body);
        };
        context.lives.incrementalBackupFirst =
            [this](const app::CommandLine& command) -> std::optional<int> {
            lived.push_back("first:" + command.jobName + "@" + JobStoreFolder);
            return firstAnswer;
        };
        context.lives.incrementalBackup = [this](const app::CommandLine& command) {
            lived.push_back("ib:" + command.jobName);
            return 7;
        };
        context.lives.verify = [this](const app::CommandLine& command) {
            lived.push_back("verify:" + command.jobName);
            return 9;
        };
        context.lives.consolidate = [this](const app::CommandLine&) {
            lived.push_back("c");
            return 8;
        };
        context.lives.showMainWindow = [this] { lived.push_back("window"); };
        return context;
    }

    std::ostringstream errors;
    std::vector<std::string> lived;
    std::vector<std::string> notices;
    std::optional<int> firstAnswer;
};

TEST_F(UnattendedMainTest, AnUnconfiguredInstallationIsToldOnStderrAndToTheDesktop) {
    WriteSettings("jobs=" + Folder("Store") + "\r\n");
    const std::string line = "Ravelkeep has not been properly configured. Cannot continue. (the "
                             "location of the zip utility is not set; start Ravelkeep from the "
                             "desktop to set its options)";
    const std::pair<const char*, const char*> rows[] = {
        {"/ib/Daily", "The backup of \"Daily\" did not run"},
        {"/verify/Daily", "The verification of \"Daily\" did not run"},
        {"/c/2024-01-01/2024-02-01/C:\\Store\\Daily", "The consolidation did not run"}};
    for (const auto& [argument, summary] : rows) {
        SCOPED_TRACE(argument);
        errors.str("");
        notices.clear();
        const app::MainOutcome outcome = app::Main(argument, Context(true));
        EXPECT_EQ(outcome.exitCode, app::ExitUnusable);
        EXPECT_EQ(errors.str(), "rkbak: " + line + "\n");
        EXPECT_EQ(notices, std::vector<std::string>{std::string(summary) + "|" + line});
    }
    EXPECT_TRUE(seam.Calls().empty());
    EXPECT_EQ(lived, std::vector<std::string>{"first:Daily@C:\\Store\\"});
}

TEST_F(UnattendedMainTest, WithoutADisplayButNotUnattendedNothingIsNotified) {
    WriteSettings("jobs=" + Folder("Store") + "\r\n");
    const app::MainOutcome outcome = app::Main("/verify/Daily", Context(false));
    EXPECT_EQ(outcome.exitCode, app::ExitUnusable);
    EXPECT_NE(errors.str().find("; start Ravelkeep with a display to set its options)"),
              std::string::npos)
        << errors.str();
    EXPECT_TRUE(notices.empty());
}

// The backup's first step comes before the configuration check and before
// the default job store is made: its answer ends the run.
TEST_F(UnattendedMainTest, TheBackupsFirstStepMayEndTheRunBeforeAnythingIsMade) {
    firstAnswer = 0;
    const app::MainOutcome silent = app::Main("/ib/Daily", Context(true));
    EXPECT_FALSE(silent.interactive);
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_EQ(lived, std::vector<std::string>{"first:Daily@C:\\Backups\\"});
    EXPECT_EQ(errors.str(), "");
    EXPECT_TRUE(notices.empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.c() / "Backups"));
    EXPECT_FALSE(SettingsWritten());

    // With nothing to say, the run goes on as before.
    firstAnswer.reset();
    lived.clear();
    WriteSettings("ziputil=" + Utility("rkzip") + "\r\nunziputil=" + Utility("rkunzip") +
                  "\r\njobs=" + Folder("Store") + "\\\r\n");
    EXPECT_EQ(app::Main("/ib/Daily", Context(true)).exitCode, 7);
    EXPECT_EQ(lived, (std::vector<std::string>{"first:Daily@C:\\Store\\", "ib:Daily"}));
    lived.clear();
    EXPECT_EQ(app::Main("/verify/Daily", Context(true)).exitCode, 9);
    EXPECT_EQ(lived, std::vector<std::string>{"verify:Daily"}) << "only the backup has it";
    EXPECT_TRUE(notices.empty());
}

} // namespace
} // namespace rk::test
