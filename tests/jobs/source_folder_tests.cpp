// The source folder selection in the folder list editor: opened with the
// job's folders in key order, edited by Add... and Remove, saved on OK with
// the section rewritten, left alone on Cancel.

#include "jobs/command_numbers.h"
#include "jobs/folder_gatherer.h"
#include "main_window_fixture.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>

namespace rk::test {
namespace {

using ui::CallKind;

constexpr std::string_view kFourFolders =
    "[settings]\r\ncreated=today\r\n[folders]\r\nfoldercount=4\r\nfolder1=C:\\One\r\n"
    "folder2=C:\\Two\r\nfolder3=C:\\Three\r\nfolder4=C:\\Four\r\n[other]\r\nkeep=1\r\n";

std::vector<std::string> Shown(const jobs::FolderGatherer& editor) {
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(editor.lstFolders->count()));
    for (int row = 0; row < editor.lstFolders->count(); ++row)
        rows.push_back(editor.lstFolders->item(row)->text().toStdString());
    return rows;
}

jobs::FolderGatherer& Editor(QDialog& form) {
    return dynamic_cast<jobs::FolderGatherer&>(form);
}

// Real key presses: Space twice on Remove removes two folders; the focus
// stays on Remove, so the list being edited is never saved by the second.
TEST_F(MainWindowTest, SpaceTwiceOnRemoveKeepsTheFocusThere) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        form.show();
        QApplication::setActiveWindow(&form);
        editor.lstFolders->setCurrentRow(0);
        editor.cmdRemove->setFocus();
        for (int press = 0; press < 2; ++press) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_EQ(focused, editor.cmdRemove) << press;
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
            QApplication::sendEvent(focused, &down);
            QApplication::sendEvent(focused, &up);
        }
        EXPECT_EQ(Shown(editor), (std::vector<std::string>{"C:\\Three", "C:\\Four"}));
        EXPECT_EQ(QApplication::focusWidget(), editor.cmdRemove);
        EXPECT_TRUE(form.isVisible());
        editor.cmdCancel->click();
    });
    window->cmdChooseSource->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(JobSettings("Weekly"), kFourFolders);
}

// A count no one could have made is refused as the backup run refuses it; a
// long list of real folders opens.
TEST_F(MainWindowTest, AnImpossibleFolderCountIsRefused) {
    Job("Broken", "[settings]\r\n[folders]\r\nfoldercount=99999999\r\nfolder1=C:\\One\r\n");
    std::string many = "[settings]\r\n[folders]\r\nfoldercount=3000\r\n";
    for (int n = 1; n <= 3000; ++n)
        many += "folder" + std::to_string(n) + "=C:\\F" + std::to_string(n) + "\r\n";
    Job("Many", many);
    const auto window = Open();
    Select(*window, "Broken");
    seam.AnswerMessage(ui::Answer::OK);
    window->cmdChooseSource->click();
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(
        seam.Calls()[0].text,
        "The backup job \"Broken\" gives 99999999 source folders; at most 32767 are possible.");
    EXPECT_EQ(seam.Calls()[0].icon, ui::Icon::Exclamation);

    Select(*window, "Many");
    std::size_t rows = 0;
    seam.AnswerForm([&](QDialog& form) {
        rows = static_cast<std::size_t>(Editor(form).lstFolders->count());
        Editor(form).cmdCancel->click();
    });
    window->cmdChooseSource->click();
    EXPECT_EQ(rows, 3000u);
    EXPECT_EQ(seam.Problems(), "");
}

// Choosing a folder that holds the job store warns that its backups are left out.
TEST_F(MainWindowTest, AFolderHoldingTheJobStoreIsWarnedOf) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        Editor(form).cmdAdd->click();
        EXPECT_EQ(Shown(Editor(form)).back(), "C:\\");
        Editor(form).cmdCancel->click();
    });
    seam.AnswerFolder(sandbox.c().string());
    seam.AnswerMessage(ui::Answer::OK);
    window->cmdChooseSource->click();
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 3u);
    EXPECT_EQ(seam.Calls()[2].text,
              "The folder C:\\ holds the job store C:\\Backups\\. The "
              "backups kept there are left out of the backups of this folder.");
}

TEST_F(MainWindowTest, EditedByAddAndRemove) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        EXPECT_EQ(editor.windowTitle(), "Folders to Back Up");
        EXPECT_EQ(editor.lblPrompt->text(), "Select the folders you want backed up:");
        EXPECT_EQ(Shown(editor),
                  (std::vector<std::string>{"C:\\One", "C:\\Two", "C:\\Three", "C:\\Four"}));
        editor.lstFolders->setCurrentRow(1);
        editor.cmdRemove->click();
        editor.cmdAdd->click(); // the browser is cancelled: nothing is added
        editor.cmdAdd->click();
        editor.lstFolders->setCurrentRow(0);
        editor.cmdRemove->click();
        EXPECT_EQ(Shown(editor), (std::vector<std::string>{"C:\\Three", "C:\\Four", "C:\\New"}));
        editor.lstFolders->setCurrentRow(1);
        editor.cmdRemove->click();
        editor.cmdOK->click();
    });
    seam.AnswerFolder(std::nullopt);
    fs::create_directories(sandbox.c() / "New");
    seam.AnswerFolder((sandbox.c() / "New").string());
    window->cmdChooseSource->click();

    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(seam.Calls().size(), 3u);
    EXPECT_EQ(seam.Calls()[1].kind, CallKind::Folder);
    EXPECT_EQ(seam.Calls()[1].title, "Select the folder you want to backup");
    EXPECT_EQ(JobSettings("Weekly"),
              "[settings]\r\ncreated=today\r\n[other]\r\nkeep=1\r\n[folders]\r\n"
              "foldercount= 2\r\nfolder1=C:\\Three\r\nfolder2=C:\\New\r\n");
    EXPECT_EQ(ReadSetting("foldercount", "", {"folders", "C:\\Backups\\Weekly", "rkjob.ini"}), "2");
    // The window shows the saved list at once.
    EXPECT_EQ(Text(window->txtSource), "(Multiple folders)");
    EXPECT_EQ(window->StatusText(), "") << "the button leaves the status text alone";
}

// A folder already in the list is refused with a message; the list and the
// saved folders stay as they were.
TEST_F(MainWindowTest, AFolderAlreadyListedIsRefused) {
    Job("Weekly", kFourFolders);
    fs::create_directories(sandbox.c() / "Two");
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        editor.cmdAdd->click();
        EXPECT_EQ(Shown(editor),
                  (std::vector<std::string>{"C:\\One", "C:\\Two", "C:\\Three", "C:\\Four"}));
        EXPECT_EQ(editor.lstFolders->currentRow(), 1);
        editor.cmdOK->click();
    });
    seam.AnswerFolder((sandbox.c() / "Two").string());
    seam.AnswerMessage(ui::Answer::OK);
    window->cmdChooseSource->click();
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 3u);
    EXPECT_EQ(seam.Calls()[2].text, "The folder C:\\Two is already in the list.");
    EXPECT_EQ(seam.Calls()[2].icon, ui::Icon::Exclamation);
    EXPECT_NE(JobSettings("Weekly").find("folder2=C:\\Two\r\nfolder3=C:\\Three"),
              std::string::npos);
}

// A chosen folder whose name ends in a dot or a space is kept as text that
// names it alone, never its sibling; a 600-character folder is kept and read
// back whole.
TEST_F(MainWindowTest, ChosenFoldersAreKeptAsThemselves) {
    Job("Weekly", "[settings]\r\ncreated=today\r\n");
    fs::create_directories(sandbox.c() / "proj");
    fs::create_directories(sandbox.c() / "proj.");
    fs::create_directories(sandbox.c() / "trailing ");
    std::string deep;
    while (deep.size() < 597)
        deep += (deep.empty() ? "" : "/") + std::string(39, 'd');
    deep.resize(597);
    fs::create_directories(sandbox.c() / deep);
    std::string deepWindows = "C:\\" + deep;
    std::replace(deepWindows.begin(), deepWindows.end(), '/', '\\');
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        for (int add = 0; add < 4; ++add)
            Editor(form).cmdAdd->click();
        Editor(form).cmdOK->click();
    });
    for (const std::string folder : {"proj.", "proj", "trailing "})
        seam.AnswerFolder((sandbox.c() / folder).string());
    seam.AnswerFolder((sandbox.c() / deep).string());
    window->cmdChooseSource->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(JobSettings("Weekly"),
              "[settings]\r\ncreated=today\r\n[folders]\r\nfoldercount= 4\r\n"
              "folder1=\\\\?\\C:\\proj.\r\nfolder2=C:\\proj\r\n"
              "folder3=\\\\?\\C:\\trailing \\\r\nfolder4=" +
                  deepWindows + "\r\n");

    // Opened again, the editor shows each folder as kept, the long one whole.
    std::vector<std::string> shown;
    seam.AnswerForm([&](QDialog& form) {
        shown = Shown(Editor(form));
        Editor(form).cmdCancel->click();
    });
    window->cmdChooseSource->click();
    EXPECT_EQ(shown, (std::vector<std::string>{"\\\\?\\C:\\proj.", "C:\\proj",
                                               "\\\\?\\C:\\trailing \\", deepWindows}));
}

// A folder whose path the job's settings cannot hold (a line break in its
// name) is refused with the reason; the list stays as it was.
TEST_F(MainWindowTest, AFolderTheSettingsCannotHoldIsRefused) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    std::vector<std::string> shown;
    seam.AnswerForm([&](QDialog& form) {
        Editor(form).cmdAdd->click();
        shown = Shown(Editor(form));
        Editor(form).cmdOK->click();
    });
    fs::create_directories(sandbox.c() / "two\nlines");
    seam.AnswerFolder((sandbox.c() / "two\nlines").string());
    seam.AnswerMessage(ui::Answer::OK);
    window->cmdChooseSource->click();
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 3u);
    EXPECT_EQ(seam.Calls()[2].text, "The folder C:\\two\nlines cannot be kept in the backup job's "
                                    "settings: its path holds a line break.");
    EXPECT_EQ(seam.Calls()[2].icon, ui::Icon::Exclamation);
    EXPECT_EQ(shown, (std::vector<std::string>{"C:\\One", "C:\\Two", "C:\\Three", "C:\\Four"}));
    const std::string settings = JobSettings("Weekly");
    EXPECT_NE(settings.find("foldercount= 4\r\n"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("two"), std::string::npos) << settings;
}

TEST_F(MainWindowTest, AcceptedWithThreeFoldersWritesALeadingSpaceAndDropsFolder4) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        editor.lstFolders->setCurrentRow(3);
        editor.cmdRemove->click();
        editor.cmdOK->click();
    });
    window->mnuJob.at(jobs::JobCommand::SourceFolders)->trigger();
    const std::string settings = JobSettings("Weekly");
    EXPECT_NE(settings.find("[folders]\r\nfoldercount= 3\r\nfolder1=C:\\One\r\nfolder2=C:\\Two\r\n"
                            "folder3=C:\\Three\r\n"),
              std::string::npos)
        << settings;
    EXPECT_EQ(settings.find("folder4"), std::string::npos) << settings;
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainWindowTest, AnAbandonedSelectionChangesNothing) {
    Job("Weekly", kFourFolders);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        editor.lstFolders->setCurrentRow(0);
        editor.cmdRemove->click();
        editor.cmdCancel->click();
    });
    // Closed by its close box: abandoned as well.
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        EXPECT_EQ(Shown(editor).size(), 4u) << "opened afresh from the file";
        editor.close();
    });
    window->cmdChooseSource->click();
    window->cmdChooseSource->click();
    EXPECT_EQ(JobSettings("Weekly"), kFourFolders);
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainWindowTest, AnEmptiedListDisablesBothBackups) {
    Job("Weekly", "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n");
    const auto window = Open();
    Select(*window, "Weekly");
    ASSERT_TRUE(window->cmdAction[0]->isEnabled());
    seam.AnswerForm([&](QDialog& form) {
        jobs::FolderGatherer& editor = Editor(form);
        EXPECT_EQ(Shown(editor), std::vector<std::string>{"C:\\Data"});
        editor.lstFolders->setCurrentRow(0);
        editor.cmdRemove->click();
        EXPECT_FALSE(editor.cmdRemove->isEnabled());
        editor.cmdOK->click();
    });
    window->cmdChooseSource->click();
    EXPECT_EQ(JobSettings("Weekly"), "[folders]\r\nfoldercount= 0\r\n");
    EXPECT_EQ(Text(window->txtSource), "");
    EXPECT_FALSE(window->cmdAction[0]->isEnabled());
    EXPECT_FALSE(window->cmdAction[1]->isEnabled());
    EXPECT_TRUE(window->cmdChooseSource->isEnabled());
    EXPECT_EQ(seam.Problems(), "");
}

// A job without source folders opens an empty list; a count of 1.5 opens two
// items (rounded half to even gives 2), missing keys as empty items.
TEST_F(MainWindowTest, TheListOpensWithTheRoundedCount) {
    Job("Bare");
    Job("Odd", "[folders]\r\nfoldercount=1.5\r\nfolder1=C:\\A\r\n");
    const auto window = Open();
    std::vector<std::string> shown;
    const auto look = [&](QDialog& form) {
        shown = Shown(Editor(form));
        form.reject();
    };
    Select(*window, "Bare");
    seam.AnswerForm(look);
    window->cmdChooseSource->click();
    EXPECT_TRUE(shown.empty());
    Select(*window, "Odd");
    seam.AnswerForm(look);
    window->cmdChooseSource->click();
    EXPECT_EQ(shown, (std::vector<std::string>{"C:\\A", ""}));
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
} // namespace rk::test
