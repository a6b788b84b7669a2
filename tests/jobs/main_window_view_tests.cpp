// What the main window shows: its controls, menus and toolbar; the job list
// with the states of the job commands; the job information; the first-start
// offer; the progress display.

#include "jobs/command_numbers.h"
#include "main_window_fixture.h"

#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>

#include <algorithm>
#include <map>

namespace rk::test {
namespace {

using ui::Answer;

// A menu's items as "index: caption", separators as "-".
std::vector<std::string> Items(const jobs::MenuArray& menu) {
    std::vector<std::string> items;
    for (const auto& [index, action] : menu)
        items.push_back(std::to_string(index) + ": " +
                        (action->isSeparator() ? "-" : action->text().toStdString()));
    return items;
}

TEST_F(MainWindowTest, ControlsMenusAndToolbarCarryTheirCaptions) {
    const auto window = Open();
    EXPECT_EQ(window->objectName(), "frmMain");
    EXPECT_EQ(Text(window->lblBackupJobs), "Backup jobs:");
    EXPECT_EQ(window->grpJob->title(), "Job properties:");
    EXPECT_EQ(Text(window->lblSource), "Folder to backup (source):");
    EXPECT_TRUE(window->txtSource->isReadOnly());
    EXPECT_EQ(window->cmdChooseSource->text(), "...");
    EXPECT_EQ(window->cmdChooseSource->toolTip(), "Choose source folders");
    EXPECT_EQ(window->cmdExclude->text(), "Exclude...");
    EXPECT_EQ(window->cmdAction[0]->text(), "Create Root Backup");
    EXPECT_EQ(window->cmdAction[1]->text(), "Create Incremental Backup");
    EXPECT_EQ(window->cmdAction[2]->text(), "View, Extract, or Consolidate Files");
    for (QPushButton* button : window->cmdAction)
        EXPECT_FALSE(button->icon().isNull());

    EXPECT_EQ(window->tmnuFile->title(), "&File");
    EXPECT_EQ(window->tmnuJob->title(), "&Job");
    EXPECT_EQ(window->tmnuHelp->title(), "&Help");
    EXPECT_EQ(Items(window->mnuFile),
              (std::vector<std::string>{"5: Connect...", "6: -", "10: &New Backup Job...",
                                        "20: &Delete Backup Job", "25: Get Job From Copy...",
                                        "30: &Refresh", "35: -", "40: &Options...", "45: -",
                                        "50: E&xit"}));
    EXPECT_EQ(Items(window->mnuJob),
              (std::vector<std::string>{"10: Create Root Backup", "20: Create Incremental Backup",
                                        "30: View/Extract/Consolidate Files", "35: -",
                                        "40: Source folder...", "42: Exclude...", "43: -",
                                        "44: Verify Backups", "45: Encrypt New Backups...",
                                        "46: Schedule...", "47: Keep...", "48: Thin Backups Now",
                                        "49: -", "50: Copy Backups To...", "51: Copy Now"}));
    EXPECT_EQ(Items(window->mnuHelp),
              (std::vector<std::string>{"10: &Help Topics", "15: -", "16: &Upgrade Notes", "17: -",
                                        "20: &About Ravelkeep"}));
    // The menus hold the items in command-number order.
    ASSERT_EQ(window->tmnuFile->actions().size(), 10);
    EXPECT_EQ(window->tmnuFile->actions()[0], window->mnuFile.at(jobs::FileCommand::Connect));
    EXPECT_EQ(window->tmnuFile->actions()[9], window->mnuFile.at(jobs::FileCommand::Exit));

    const QList<QAction*> buttons = window->Toolbar1->actions();
    ASSERT_EQ(buttons.size(), 3);
    const char* captions[] = {"New", "Delete", "Refresh"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i], window->Toolbar1Buttons[static_cast<std::size_t>(i + 1)]);
        EXPECT_EQ(buttons[i]->text(), captions[i]);
        EXPECT_FALSE(buttons[i]->icon().isNull());
    }
    EXPECT_EQ(window->statusBar(), window->axStatusBar);
    EXPECT_FALSE(window->windowIcon().isNull());
}

// The four states of the job commands: no job selected, a job without source
// folders, with source folders and no root backup, with a root backup.
TEST_F(MainWindowTest, TheJobCommandsFollowTheSelectedJob) {
    Job("Bare");
    Job("One", "[settings]\r\n[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n");
    Job("Two", "[folders]\r\nfoldercount= 2\r\nfolder1=C:\\A\r\nfolder2=C:\\B\r\n");
    Job("Rooted", "[settings]\r\nrootbk=rk_2024_01_01_00_00_00.zip\r\n"
                  "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n");
    Job("RootOnly", "[settings]\r\nrootbk=rk_gone.zip\r\n");
    Job("OneAndAHalf", "[folders]\r\nfoldercount=1.5\r\nfolder1=C:\\A\r\n");
    Job("Half", "[folders]\r\nfoldercount=0.5\r\nfolder1=C:\\A\r\n");
    fs::create_directories(Store() / "NotAJob");
    const auto window = Open();

    struct State {
        bool root, incremental, sourceAndExclude;
        std::string source;
        std::string line2End;
    };
    const auto expectState = [&](const std::string& what, const State& state) {
        SCOPED_TRACE(what);
        EXPECT_EQ(window->cmdAction[0]->isEnabled(), state.root);
        EXPECT_EQ(window->mnuJob.at(jobs::JobCommand::RootBackup)->isEnabled(), state.root);
        EXPECT_EQ(window->cmdAction[1]->isEnabled(), state.incremental);
        EXPECT_EQ(window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->isEnabled(),
                  state.incremental);
        EXPECT_EQ(window->cmdChooseSource->isEnabled(), state.sourceAndExclude);
        EXPECT_EQ(window->mnuJob.at(jobs::JobCommand::SourceFolders)->isEnabled(),
                  state.sourceAndExclude);
        EXPECT_EQ(window->cmdExclude->isEnabled(), state.sourceAndExclude);
        EXPECT_EQ(window->mnuJob.at(jobs::JobCommand::Exclusions)->isEnabled(),
                  state.sourceAndExclude);
        EXPECT_TRUE(window->cmdAction[2]->isEnabled());
        EXPECT_TRUE(window->mnuJob.at(jobs::JobCommand::ViewExtractConsolidate)->isEnabled());
        EXPECT_EQ(Text(window->txtSource), state.source);
        const std::string info = Text(window->lblInfo);
        if (state.line2End.empty())
            EXPECT_EQ(info, "");
        else
            EXPECT_NE(info.find(state.line2End + "\r\nTotal size: "), std::string::npos) << info;
        EXPECT_EQ(window->StatusText(), "");
    };

    EXPECT_EQ(window->windowTitle(), "Ravelkeep - C:\\Backups\\");
    auto listed = Listed(*window);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Bare", "Half", "One", "OneAndAHalf", "RootOnly",
                                                "Rooted", "Two"}));
    expectState("nothing selected", {false, false, false, "", ""});

    const std::map<std::string, State> states = {
        {"Bare", {false, false, true, "", "(root backup not found)"}},
        {"Half", {false, false, true, "", "(root backup not found)"}},
        {"One", {true, true, true, "C:\\Data", "(root backup not found)"}},
        {"Two", {true, true, true, "(Multiple folders)", "(root backup not found)"}},
        {"OneAndAHalf", {true, true, true, "(Multiple folders)", "(root backup not found)"}},
        {"Rooted", {false, true, true, "C:\\Data", "(including root backup)"}},
        {"RootOnly", {false, false, true, "", "(including root backup)"}},
    };
    for (const auto& [name, state] : states) {
        Select(*window, name);
        expectState(name, state);
    }

    // Refresh by the toolbar's third button keeps the job selected, its
    // information read again.
    Select(*window, "Rooted");
    window->Toolbar1Buttons[3]->trigger();
    ASSERT_EQ(window->lstBackupJobs->selectedItems().size(), 1);
    EXPECT_EQ(window->lstBackupJobs->selectedItems().front()->text(), "Rooted");
    expectState("after Refresh", states.at("Rooted"));
    // A job gone since leaves nothing selected.
    Select(*window, "Bare");
    fs::remove_all(Store() / "Bare");
    window->mnuFile.at(jobs::FileCommand::Refresh)->trigger();
    EXPECT_TRUE(window->lstBackupJobs->selectedItems().isEmpty());
    expectState("after Refresh with the job gone", {false, false, false, "", ""});
}

// Totals rounded after each archive, halves to even; only plain "rk_*.zip"
// files count; sizes beyond 4 GiB count in full.
TEST_F(MainWindowTest, TheJobInformationCountsAndMeasuresTheArchives) {
    const auto archives = [&](const std::string& job, std::vector<std::uintmax_t> sizes) {
        const fs::path folder =
            Job(job, job == "Three" ? "[settings]\r\nrootbk=rk_1.zip\r\n" : "[settings]\r\n");
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const fs::path archive = folder / ("rk_2024_01_0" + std::to_string(i + 1) + ".zip");
            sandbox.write(archive, "");
            fs::resize_file(archive, sizes[i]);
        }
    };
    archives("Three", {614400, 614400, 614400});
    archives("HalfMeg", {524288});
    archives("OneAndAHalfMeg", {1572864});
    archives("TwoHalves", {524288, 524288});
    archives("Large", {5ull << 30, 1024});
    archives("None", {});
    sandbox.write(Store() / "None" / "excl.ini", std::string(4096, 'x'));
    sandbox.write(Store() / "None" / "rk_1.tmp", std::string(4096, 'x'));
    sandbox.write(Store() / "None" / "backup.zip", std::string(4096, 'x'));
    const auto window = Open();

    const std::map<std::string, std::string> expected = {
        {"Three", "Location: C:\\Backups\\\r\n3 backup file(s) (including root backup)\r\n"
                  "Total size: 1800kb (3mb)"},
        {"HalfMeg", "Location: C:\\Backups\\\r\n1 backup file(s) (root backup not found)\r\n"
                    "Total size: 512kb (0mb)"},
        {"OneAndAHalfMeg", "Location: C:\\Backups\\\r\n1 backup file(s) (root backup not "
                           "found)\r\nTotal size: 1536kb (2mb)"},
        {"TwoHalves", "Location: C:\\Backups\\\r\n2 backup file(s) (root backup not found)\r\n"
                      "Total size: 1024kb (0mb)"},
        {"Large", "Location: C:\\Backups\\\r\n2 backup file(s) (root backup not found)\r\n"
                  "Total size: 5242881kb (5120mb)"},
        {"None", "Location: C:\\Backups\\\r\n0 backup file(s) (root backup not found)\r\n"
                 "Total size: 0kb (0mb)"},
    };
    for (const auto& [job, text] : expected) {
        Select(*window, job);
        EXPECT_EQ(Text(window->lblInfo), text) << job;
    }

    // A job folder that vanished since the refresh shows nothing counted.
    fs::remove_all(Store() / "TwoHalves");
    Select(*window, "HalfMeg");
    Select(*window, "TwoHalves");
    EXPECT_EQ(Text(window->lblInfo), "Location: C:\\Backups\\\r\n0 backup file(s) (root backup "
                                     "not found)\r\nTotal size: 0kb (0mb)");
}

TEST_F(MainWindowTest, TheFirstStartOfferIsMadeOnceAndOnlyToAPerson) {
    WriteProgramSettings("jobs=C:\\Backups\r\nautopromptshown=0\r\n");
    {
        // Nobody present: nothing asked, nothing recorded.
        jobs::frmMain windowless(false);
        EXPECT_TRUE(seam.Calls().empty());
        EXPECT_EQ(ReadSetting("autopromptshown"), "0");
    }
    seam.AnswerMessage(Answer::No);
    { jobs::frmMain window; }
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].text, "Do you want Ravelkeep to automatically create a backup job "
                                    "for your 'My Documents' folder?");
    EXPECT_EQ(ReadSetting("autopromptshown"), "-1");
    { jobs::frmMain again; }
    EXPECT_EQ(seam.Calls().size(), 1u) << "asked once only";

    // Accepted, the job made in the load step is in the first job list.
    WriteProgramSettings("jobs=C:\\Backups\r\nautopromptshown=-0.4\r\n");
    fs::create_directories(sandbox.c() / "Docs" / "My Documents");
    sandbox.write(sandbox.registry(),
                  "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                  "Shell Folders]\nPersonal=C:\\Docs\\My Documents\n");
    seam.AnswerMessage(Answer::Yes);
    const auto window = Open();
    EXPECT_EQ(Listed(*window), std::vector<std::string>{"My Documents"});
    EXPECT_EQ(ReadSetting("autopromptshown"), "-1");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainWindowTest, TheStatusTextAndProgressBarAreTheProgressDisplay) {
    const auto window = Open();
    ProgressDisplay& display = *window;
    display.SetStatusText("Reading archive 2 of 5");
    EXPECT_EQ(window->StatusText(), "Reading archive 2 of 5");
    const auto* panel = window->axStatusBar->findChild<QLabel*>("StatusText");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(), "Reading archive 2 of 5");
    display.SetProgressMaximum(5);
    display.SetProgressMinimum(1);
    display.SetProgressValue(2);
    EXPECT_EQ(window->axProgressBar->minimum(), 1);
    EXPECT_EQ(window->axProgressBar->maximum(), 5);
    EXPECT_EQ(window->axProgressBar->value(), 2);
    // A range set in the wrong order is accepted and shows an empty bar.
    display.SetProgressMinimum(9);
    EXPECT_EQ(window->axProgressBar->value(), 9);
}

} // namespace
} // namespace rk::test
