// Main in a sandbox: the first start, the configuration check and its
// dialogs, the job store default, the choice of life, and the windowless
// behaviour when nobody can answer.

#include "app/command_line.h"
#include "app/main.h"
#include "app/start_up.h"
#include "app_fixture.h"
#include "ui/help.h"

#include <QLineEdit>
#include <QPushButton>

#include <sstream>

namespace rk::test {
namespace {

class MainTest : public AppTest {
  protected:
    app::MainContext Context(bool personPresent = true) {
        app::MainContext context;
        context.programFolderHost = ProgramFolder().string();
        context.personPresent = personPresent;
        context.errors = &errors;
        context.lives.incrementalBackup = [this](const app::CommandLine& command) {
            lived.push_back("ib:" + command.jobName);
            return 7;
        };
        context.lives.consolidate = [this](const app::CommandLine& command) {
            lived.push_back("c:" + command.startDate + "|" + command.endDate + "|" +
                            command.sourceFolder);
            return 8;
        };
        context.lives.showMainWindow = [this] { lived.push_back("window"); };
        return context;
    }
    app::MainOutcome Run(std::string_view argumentText, bool personPresent = true) {
        return app::Main(argumentText, Context(personPresent));
    }
    // A configured installation: both utilities and the job store exist.
    void Configure(std::string_view more = "") {
        WriteSettings("ziputil=" + Utility("rkzip") + "\r\nunziputil=" + Utility("rkunzip") +
                      "\r\njobs=" + Folder("Store") + "\r\n" + std::string(more));
    }
    std::string Box(QDialog& form, const char* name) {
        return Child<QLineEdit>(form, name).text().toStdString();
    }

    std::ostringstream errors;
    std::vector<std::string> lived;
};

TEST_F(MainTest, FirstStartCancelledEndsUnconfigured) {
    WriteAppPaths("C:\\tools\\rkzip", "C:\\tools\\rkunzip");
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(form.objectName(), "frmOptions");
        EXPECT_EQ(Box(form, "txtZip"), "C:\\tools\\rkzip");
        EXPECT_EQ(Box(form, "txtUnzip"), "C:\\tools\\rkunzip");
        EXPECT_EQ(Box(form, "txtStore"), "C:\\Backups");
        Child<QPushButton>(form, "cmdCancel").click();
    });
    seam.AnswerMessage(ui::Answer::OK);

    const app::MainOutcome outcome = Run("");
    EXPECT_FALSE(outcome.interactive);
    EXPECT_EQ(outcome.exitCode, app::ExitUnusable);
    EXPECT_TRUE(lived.empty());
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 3u);
    const ui::RecordedCall& notice = seam.Calls()[0];
    EXPECT_EQ(notice.text, "Ravelkeep must first be configured before you can use it.\r\n\r\n"
                           "Press OK to continue.");
    EXPECT_EQ(notice.buttons, ui::Buttons::OK);
    EXPECT_EQ(notice.icon, ui::Icon::None);
    EXPECT_EQ(notice.title, "Ravelkeep");
    const ui::RecordedCall& end = seam.Calls()[2];
    EXPECT_EQ(end.text, "Ravelkeep has not been properly configured. Cannot continue.");
    EXPECT_EQ(end.buttons, ui::Buttons::OK);
    EXPECT_EQ(end.icon, ui::Icon::Critical);

    EXPECT_TRUE(std::filesystem::is_directory(sandbox.c() / "Backups"));
    // The job store made on first start is the user's alone.
    EXPECT_EQ(std::filesystem::status(sandbox.c() / "Backups").permissions(),
              std::filesystem::perms::owner_all);
    EXPECT_EQ(Settings(), "[settings]\r\njobs=C:\\Backups\r\n");
    EXPECT_EQ(AppFolder, "C:\\prog\\");
    EXPECT_EQ(JobStoreFolder, "C:\\Backups\\");
    EXPECT_EQ(ui::HelpFile(), "C:\\prog\\rkbak.hlp");
}

TEST_F(MainTest, FirstStartConfiguredOpensTheWindowAndTheUpgradeNotes) {
    WriteAppPaths(Utility("rkzip"), Utility("rkunzip"));
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerForm([](QDialog& form) { Child<QPushButton>(form, "cmdOK").click(); });
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(form.objectName(), "frmUpgrade");
        EXPECT_EQ(lived, std::vector<std::string>{"window"}) << "the window comes first";
        Child<QPushButton>(form, "cmdOK").click();
    });

    const app::MainOutcome outcome = Run("");
    EXPECT_TRUE(outcome.interactive);
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(ZipUtilPath, "C:\\tools\\rkzip");
    EXPECT_EQ(UnzipUtilPath, "C:\\tools\\rkunzip");
    EXPECT_EQ(JobStoreFolder, "C:\\Backups\\");
    EXPECT_EQ(ReadSetting("ziputil"), "C:\\tools\\rkzip");
    EXPECT_EQ(ReadSetting("UpgradePromptShown"), "0");
}

TEST_F(MainTest, PrefillReplacesBothBoxesWhenEitherSettingIsBlank) {
    WriteSettings("ziputil=" + Utility("own-zip") + "\r\nunziputil=  \r\n");
    WriteAppPaths("C:\\reg\\zip", "C:\\reg\\unzip");
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(Box(form, "txtZip"), "C:\\reg\\zip");
        EXPECT_EQ(Box(form, "txtUnzip"), "C:\\reg\\unzip");
        form.close();
    });
    seam.AnswerMessage(ui::Answer::OK);
    Run("");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainTest, NoPrefillWhenBothSettingsAreGivenButWrong) {
    WriteSettings("ziputil=C:\\gone\\zip\r\nunziputil=" + Utility("rkunzip") + "\r\n");
    WriteAppPaths("C:\\reg\\zip", "C:\\reg\\unzip");
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(Box(form, "txtZip"), "C:\\gone\\zip");
        EXPECT_EQ(Box(form, "txtUnzip"), "C:\\tools\\rkunzip");
        form.close();
    });
    seam.AnswerMessage(ui::Answer::OK);
    Run("");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainTest, AMissingRegistryGivesEmptyBoxes) {
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(Box(form, "txtZip"), "");
        EXPECT_EQ(Box(form, "txtUnzip"), "");
        form.close();
    });
    seam.AnswerMessage(ui::Answer::OK);
    Run("");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainTest, JobStoreSettingGetsOneBackslashAndBlankMeansTheDefault) {
    struct Row {
        std::string jobs;
        std::string folder;
        std::string stored;
    };
    Folder("Store");
    const Row rows[] = {{"C:\\Store", "C:\\Store\\", "C:\\Store"},
                        {"C:\\Store\\", "C:\\Store\\", "C:\\Store\\"},
                        {"   ", "C:\\Backups\\", "C:\\Backups"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.jobs);
        WriteSettings("ziputil=" + Utility("rkzip") + "\r\nunziputil=" + Utility("rkunzip") +
                      "\r\njobs=" + row.jobs + "\r\n");
        Run("/ib/x");
        EXPECT_EQ(JobStoreFolder, row.folder);
        EXPECT_EQ(ReadSetting("jobs"), row.stored);
    }
    EXPECT_EQ(seam.Problems(), "") << "a configured installation asks nothing";
}

TEST_F(MainTest, TokenTwoChoosesTheLife) {
    Configure("UpgradePromptShown=-1\r\n");
    struct Row {
        std::string argumentText;
        std::string life;
        int exitCode;
    };
    const Row rows[] = {
        {"/IB/Weekly", "ib:Weekly", 7},
        {"/ib", "ib:", 7},
        {"x/Ib/ My \"Job\" ", "ib: My \"Job\" ", 7},
        {"/c/1-2-2024/3-2-2024/C:\\Data\\Job", "c:1-2-2024|3-2-2024|C:\\Data\\Job", 8},
        {"/C/1/2/2024", "c:1|2|2024", 8},
        {"", "window", 0},
        {"/backup/Weekly", "window", 0},
        {"ib/Weekly", "window", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.argumentText);
        lived.clear();
        const app::MainOutcome outcome = Run(row.argumentText);
        EXPECT_EQ(lived, std::vector<std::string>{row.life});
        EXPECT_EQ(outcome.interactive, row.life == "window");
        EXPECT_EQ(outcome.exitCode, row.exitCode);
    }
    EXPECT_EQ(seam.Problems(), "") << "no dialogs, and no upgrade notes";
}

TEST_F(MainTest, CommandLineActionsNeverShowTheUpgradeNotes) {
    Configure();
    Run("/ib/Weekly");
    Run("/c/1-2-2024/3-2-2024/C:\\x");
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(lived.size(), 2u);
}

TEST_F(MainTest, WithoutAPersonAnUnconfiguredStartSaysWhyAndExits) {
    WriteAppPaths(Utility("rkzip"), Utility("rkunzip"));
    const app::MainOutcome outcome = Run("/ib/Weekly", false);
    EXPECT_EQ(outcome.exitCode, app::ExitUnusable);
    EXPECT_TRUE(lived.empty());
    EXPECT_TRUE(seam.Calls().empty());
    EXPECT_NE(errors.str().find("Ravelkeep has not been properly configured. Cannot continue."),
              std::string::npos);
    EXPECT_NE(errors.str().find("zip utility"), std::string::npos);
    EXPECT_EQ(ReadSetting("jobs"), "C:\\Backups") << "the default is still applied";
}

TEST_F(MainTest, WithoutAPersonTheWindowIsNotOpened) {
    Configure();
    const app::MainOutcome outcome = Run("", false);
    EXPECT_FALSE(outcome.interactive);
    EXPECT_EQ(outcome.exitCode, app::ExitUnusable);
    EXPECT_TRUE(lived.empty());
    EXPECT_NE(errors.str().find("display"), std::string::npos);

    const app::MainOutcome backup = Run("/ib/Weekly", false);
    EXPECT_EQ(backup.exitCode, 7);
    EXPECT_EQ(lived, std::vector<std::string>{"ib:Weekly"});
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(MainTest, AFailedExtendedWriteIsShownAsACriticalMessage) {
    Configure();
    Run("/ib/x");
    seam.AnswerMessage(ui::Answer::OK);
    SettingsPlace unreachable;
    unreachable.folder = "\\\\server\\share\\";
    WriteExtendedValue("ex_list", "value", unreachable);
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].text, ExtendedWriteFailureText);
    EXPECT_EQ(seam.Calls()[0].icon, ui::Icon::Critical);
    EXPECT_EQ(seam.Calls()[0].buttons, ui::Buttons::OK);
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
} // namespace rk::test
