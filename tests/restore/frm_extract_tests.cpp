// "Extract Range": controls, initial states, keyboard order, the catalogue of
// archives, the pick buttons, the two folder buttons and the action options.

#include "platform/file_system.h"
#include "restore/frm_extract.h"
#include "restore_fixture.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::frmExtract;

std::string Text(const QString& text) {
    return ui::FromQString(text);
}

class ExtractDialog : public RestoreFixture {
  protected:
    std::vector<std::string> Listed(const frmExtract& dialog) const {
        return dialog.ArchiveNames();
    }
};

TEST_F(ExtractDialog, ControlsCaptionsAndInitialStates) {
    frmExtract dialog(progress);
    EXPECT_EQ(Text(dialog.windowTitle()), "Extract Range");
    EXPECT_EQ(Text(dialog.lblSource->text()), "Source Folder:");
    EXPECT_EQ(Text(dialog.lblDestination->text()), "Destination Folder:");
    EXPECT_EQ(Text(dialog.lblDates->text()), "Dates:");
    EXPECT_EQ(Text(dialog.Label1->text()), "to");
    EXPECT_EQ(Text(dialog.cmdChooseSource->text()), "...");
    EXPECT_EQ(Text(dialog.cmdChooseDestination->text()), "...");
    for (const QPushButton* pull : {dialog.cmdPullStartDate, dialog.cmdPullEndDate}) {
        EXPECT_EQ(Text(pull->text()), "->");
        EXPECT_EQ(Text(pull->toolTip()), "Pick date from filelist");
    }
    EXPECT_EQ(Text(dialog.grpAction->title()), "Action:");
    EXPECT_EQ(Text(dialog.optAction[0]->text()), "Extract all files");
    EXPECT_EQ(Text(dialog.optAction[1]->text()), "Consolidate");
    EXPECT_EQ(Text(dialog.optAction[2]->text()), "Prompt for files to extract");
    EXPECT_TRUE(dialog.optAction[2]->isChecked());
    EXPECT_EQ(Text(dialog.chkDelCon->text()), "Delete consolidated backups");
    EXPECT_TRUE(dialog.chkDelCon->isChecked());
    EXPECT_FALSE(dialog.chkDelCon->isEnabled());
    EXPECT_EQ(Text(dialog.cmdOK->text()), "OK");
    EXPECT_TRUE(dialog.cmdOK->isDefault());
    EXPECT_EQ(Text(dialog.cmdCancel->text()), "Cancel");
    EXPECT_TRUE(dialog.txtSource->isReadOnly());
    EXPECT_TRUE(dialog.txtDestination->isReadOnly());
    EXPECT_EQ(Text(dialog.txtSource->text()), "");
    EXPECT_EQ(dialog.lstBackupsList->count(), 0);
    for (const QDateEdit* picker : {dialog.axStartDate, dialog.axEndDate}) {
        EXPECT_EQ(picker->date(), QDate(2000, 12, 2));
        EXPECT_EQ(picker->minimumDate(), QDate(1601, 1, 1));
        EXPECT_EQ(picker->maximumDate(), QDate(9999, 12, 31));
        EXPECT_TRUE(picker->calendarPopup());
    }
    // The destination is the first free "rk" name in the temporary folder,
    // not created.
    const std::string temp = platform::ToWindowsPath((box.root() / "tmp").string());
    EXPECT_EQ(Text(dialog.txtDestination->text()), temp + "\\rk0");
    EXPECT_FALSE(fs::exists(box.root() / "tmp" / "rk0"));
    fs::create_directories(box.root() / "tmp" / "rk0");
    frmExtract second(progress);
    EXPECT_EQ(Text(second.txtDestination->text()), temp + "\\rk1");
}

TEST_F(ExtractDialog, KeyboardOrder) {
    frmExtract dialog(progress);
    const QWidget* expected[] = {dialog.lstBackupsList,
                                 dialog.txtSource,
                                 dialog.cmdChooseSource,
                                 dialog.txtDestination,
                                 dialog.cmdChooseDestination,
                                 dialog.cmdPullStartDate,
                                 dialog.axStartDate,
                                 dialog.cmdPullEndDate,
                                 dialog.axEndDate,
                                 dialog.optAction[2],
                                 dialog.optAction[0],
                                 dialog.optAction[1],
                                 dialog.chkDelCon,
                                 dialog.cmdOK,
                                 dialog.cmdCancel};
    // After each control, the first of the listed controls met in the focus
    // chain (passing over labels and the pickers' inner parts) is the next one.
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        while (std::find(std::begin(expected), std::end(expected), next) == std::end(expected))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i + 1]) << i;
    }
}

TEST_F(ExtractDialog, TheCatalogueListsOrdinaryArchivesOldestFirst) {
    for (const char* name : {"rk_2002_05_04_12_00_00.zip", "rk_2002_05_01_12_00_00_C.zip",
                             "rk_notes.zip", "rk_2002_05_01_12_00_00.zip", "RK_2001_01_01_1.zip"})
        box.write(job / name, "x");
    box.write(job / "rk_2002_05_03_12_00_00.zip", "read-only");
    fs::permissions(job / "rk_2002_05_03_12_00_00.zip", fs::perms::owner_write,
                    fs::perm_options::remove);
    box.write(job / "rk_2002_05_05_12_00_00.zip", "hidden");
    ASSERT_TRUE(platform::SetAttributes(JobFolder() + "\\rk_2002_05_05_12_00_00.zip",
                                        platform::kAttrHidden));
    box.write(job / "rk_2002_05_02_12_00_00.zip", "system");
    ASSERT_TRUE(platform::SetAttributes(JobFolder() + "\\rk_2002_05_02_12_00_00.zip",
                                        platform::kAttrSystem));
    fs::create_directories(job / "rk_folder.zip");
    box.write(job / "other.zip", "x");
    box.write(job / "rkjob.ini", "[settings]\r\n");

    frmExtract dialog(progress);
    dialog.txtSource->setText(ui::ToQString(JobFolder()));
    dialog.UpdateFileList();
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{
                                  "RK_2001_01_01_1.zip", "rk_2002_05_01_12_00_00.zip",
                                  "rk_2002_05_01_12_00_00_C.zip", "rk_2002_05_03_12_00_00.zip",
                                  "rk_2002_05_04_12_00_00.zip", "rk_notes.zip"}));
    // With a trailing backslash, the same; a missing folder lists nothing.
    dialog.txtSource->setText(ui::ToQString(JobFolder() + "\\"));
    dialog.UpdateFileList();
    EXPECT_EQ(dialog.lstBackupsList->count(), 6);
    dialog.txtSource->setText("C:\\Nowhere");
    dialog.UpdateFileList();
    EXPECT_EQ(dialog.lstBackupsList->count(), 0);
}

TEST_F(ExtractDialog, PickButtonsTakeTheSelectedArchivesDate) {
    for (const char* name : {"rk_2002_05_01_12_00_00.zip", "rk_2002_05_01_12_00_00_C.zip",
                             "rk_2002_06_09_08_00_00.zip", "rk_notes.zip"})
        box.write(job / name, "x");
    frmExtract dialog(progress);
    dialog.txtSource->setText(ui::ToQString(JobFolder()));
    dialog.UpdateFileList();

    // Nothing selected: the pickers stay as they are.
    dialog.cmdPullStartDate->click();
    dialog.cmdPullEndDate->click();
    EXPECT_EQ(dialog.axStartDate->date(), QDate(2000, 12, 2));
    EXPECT_EQ(dialog.axEndDate->date(), QDate(2000, 12, 2));

    dialog.lstBackupsList->setCurrentRow(1); // the consolidated one: same day
    dialog.cmdPullStartDate->click();
    EXPECT_EQ(dialog.axStartDate->date(), QDate(2002, 5, 1));
    EXPECT_EQ(dialog.axEndDate->date(), QDate(2000, 12, 2));
    dialog.lstBackupsList->setCurrentRow(2);
    dialog.cmdPullEndDate->click();
    EXPECT_EQ(dialog.axEndDate->date(), QDate(2002, 6, 9));
    // A name without a date leaves the picker as it is.
    dialog.lstBackupsList->setCurrentRow(3);
    dialog.cmdPullEndDate->click();
    EXPECT_EQ(dialog.axEndDate->date(), QDate(2002, 6, 9));
    // The selected entry counts, not the list's current item: the keyboard
    // can move the current item away from the selection.
    dialog.lstBackupsList->setCurrentRow(2, QItemSelectionModel::NoUpdate);
    dialog.lstBackupsList->item(0)->setSelected(true);
    dialog.axStartDate->setDate(QDate(2000, 12, 2));
    dialog.cmdPullStartDate->click();
    EXPECT_EQ(dialog.axStartDate->date(), QDate(2002, 5, 1));
    dialog.lstBackupsList->item(0)->setSelected(false);
    dialog.lstBackupsList->item(2)->setSelected(true);
    dialog.lstBackupsList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    dialog.axEndDate->setDate(QDate(2000, 12, 2));
    dialog.cmdPullEndDate->click();
    EXPECT_EQ(dialog.axEndDate->date(), QDate(2002, 6, 9));
}

TEST_F(ExtractDialog, ConsolidateAloneEnablesTheDeleteBoxWhichKeepsItsTick) {
    frmExtract dialog(progress);
    dialog.optAction[1]->click();
    EXPECT_TRUE(dialog.chkDelCon->isEnabled());
    dialog.chkDelCon->click();
    EXPECT_FALSE(dialog.chkDelCon->isChecked());
    dialog.optAction[0]->click();
    EXPECT_FALSE(dialog.chkDelCon->isEnabled());
    EXPECT_FALSE(dialog.chkDelCon->isChecked());
    dialog.optAction[1]->click();
    EXPECT_TRUE(dialog.chkDelCon->isEnabled());
    dialog.optAction[2]->click();
    EXPECT_FALSE(dialog.chkDelCon->isEnabled());
    EXPECT_EQ(dialog.Action(), ExtractAction::ExtractPicked);
}

TEST_F(ExtractDialog, TheFolderButtons) {
    box.write(job / "rk_2002_05_01_12_00_00.zip", "x");
    frmExtract dialog(progress);
    // Source: a folder chosen fills the list; a cancelled browser changes nothing.
    seam.AnswerFolder(job.string());
    seam.AnswerFolder(std::nullopt);
    dialog.cmdChooseSource->click();
    EXPECT_EQ(Text(dialog.txtSource->text()), JobFolder());
    EXPECT_EQ(dialog.lstBackupsList->count(), 1);
    dialog.cmdChooseSource->click();
    EXPECT_EQ(Text(dialog.txtSource->text()), JobFolder());

    // Destination: No and a folder; No and cancel; Yes gives a temporary name.
    fs::create_directories(box.d() / "Restore");
    seam.AnswerMessage(ui::Answer::No);
    seam.AnswerFolder((box.d() / "Restore").string());
    seam.AnswerMessage(ui::Answer::No);
    seam.AnswerFolder(std::nullopt);
    seam.AnswerMessage(ui::Answer::Yes);
    dialog.cmdChooseDestination->click();
    EXPECT_EQ(Text(dialog.txtDestination->text()), "D:\\Restore");
    dialog.cmdChooseDestination->click();
    EXPECT_EQ(Text(dialog.txtDestination->text()), "D:\\Restore");
    dialog.cmdChooseDestination->click();
    EXPECT_EQ(Text(dialog.txtDestination->text()),
              platform::ToWindowsPath((box.root() / "tmp").string()) + "\\rk0");
    EXPECT_EQ(seam.Problems(), "");

    const auto& calls = seam.Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].title, "Select the folder where the backups are located");
    EXPECT_EQ(calls[2].text, "Use temp folder?");
    EXPECT_EQ(calls[2].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(calls[2].icon, ui::Icon::Question);
    EXPECT_EQ(calls[3].title, "Select the folder you want to extract the files to");
}

TEST_F(ExtractDialog, CancelClosesTheDialog) {
    frmExtract dialog(progress);
    seam.AnswerForm([](QDialog& form) { static_cast<frmExtract&>(form).cmdCancel->click(); });
    EXPECT_EQ(ui::Current().ShowModal(dialog), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
} // namespace rk::test
