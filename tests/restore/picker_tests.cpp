// "Select Files": the merged names of a range of backups, sorted without
// regard to case, the versions line, and how the dialog ends.

#include "restore/command_dates.h"
#include "restore/picker/frm_view_files.h"
#include "restore_fixture.h"
#include "ui/qt_text.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class Picker : public RestoreFixture {
  protected:
    std::vector<std::string> Entries(const frmViewFiles& picker) const {
        std::vector<std::string> entries;
        entries.reserve(static_cast<std::size_t>(picker.lstFiles->count()));
        for (int i = 0; i < picker.lstFiles->count(); ++i)
            entries.push_back(ui::FromQString(picker.lstFiles->item(i)->text()));
        return entries;
    }
};

TEST_F(Picker, TheDialogAsItLoads) {
    frmViewFiles picker;
    EXPECT_EQ(ui::FromQString(picker.windowTitle()), "Select Files");
    EXPECT_EQ(ui::FromQString(picker.lblFiles->text()),
              "These are the files contained in the selected backups. Hold down CTRL to select "
              "multiple files. Ravelkeep will extract the latest version of these files contained "
              "in the selected backups.");
    EXPECT_EQ(picker.lstFiles->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(ui::FromQString(picker.cmdOK->text()), "OK");
    EXPECT_EQ(ui::FromQString(picker.cmdCancel->text()), "Cancel");
    EXPECT_FALSE(picker.STATUS);
    EXPECT_EQ(picker.minimumSize(), QSize(202, 235));
}

TEST_F(Picker, MergedNamesSortedWithoutCaseAndTheirVersions) {
    MakeArchive("rk_2026_12_01_10_00_00.zip", {{"a.txt", "1"}, {"Zeta.txt", "1"}});
    MakeArchive("rk_2026_12_02_11_30_00.zip", {{"A.TXT", "2"}, {"b.txt", "2"}});
    MakeArchive("rk_2026_12_03_12_45_00.zip", {{"b.txt", "3"}, {"x,y.txt", "3"}});
    frmViewFiles picker;
    const GatherOutcome gathered = picker.DataRefresh(
        JobFolder(),
        {"rk_2026_12_01_10_00_00.zip", "rk_2026_12_02_11_30_00.zip", "rk_2026_12_03_12_45_00.zip"},
        progress);
    ASSERT_EQ(gathered.status, RunStatus::Done) << gathered.reason;
    // a.txt and A.TXT are one entry, spelt as last met.
    EXPECT_EQ(Entries(picker), (std::vector<std::string>{"A.TXT", "b.txt", "x,y.txt", "Zeta.txt"}));
    // Each listing goes once it has been read: no list of names stays behind.
    EXPECT_FALSE(fs::exists(box.c() / "App" / "filelist.tmp"));

    const std::string day1 = restore::ShortDateText(QDate(2026, 12, 1));
    const std::string day2 = restore::ShortDateText(QDate(2026, 12, 2));
    const std::string day3 = restore::ShortDateText(QDate(2026, 12, 3));
    picker.lstFiles->setCurrentRow(0);
    EXPECT_EQ(ui::FromQString(picker.lblVersions->text()),
              "2 versions, in the backups of " + day1 + " 10:00, " + day2 + " 11:30");
    picker.lstFiles->setCurrentRow(3);
    EXPECT_EQ(ui::FromQString(picker.lblVersions->text()),
              "1 version, in the backup of " + day1 + " 10:00");
    // The entries' text stays the bare name: it goes into the list file as it is.
    picker.lstFiles->clearSelection();
    picker.lstFiles->item(1)->setSelected(true);
    picker.lstFiles->item(2)->setSelected(true);
    EXPECT_EQ(picker.SelectedNames(), (std::vector<std::string>{"b.txt", "x,y.txt"}));

    EXPECT_EQ(progress.events,
              (std::vector<std::string>{"status:Gathering list of backups",
                                        "min:0",
                                        "max:3",
                                        "status:Creating file list for rk_2026_12_01_10_00_00.zip",
                                        "status:Reading file list for rk_2026_12_01_10_00_00.zip",
                                        "value:1",
                                        "status:Creating file list for rk_2026_12_02_11_30_00.zip",
                                        "status:Reading file list for rk_2026_12_02_11_30_00.zip",
                                        "value:2",
                                        "status:Creating file list for rk_2026_12_03_12_45_00.zip",
                                        "status:Reading file list for rk_2026_12_03_12_45_00.zip",
                                        "value:3",
                                        "value:0",
                                        "status:Processing file list",
                                        "min:0",
                                        "max:4",
                                        "value:1",
                                        "value:2",
                                        "value:3",
                                        "value:4",
                                        "status:Done",
                                        "value:0"}));
}

TEST_F(Picker, AnEmptyRangeRunsNoUtility) {
    UnzipUtilPath = "Z:\\nowhere\\rkunzip";
    frmViewFiles picker;
    EXPECT_EQ(picker.DataRefresh(JobFolder(), {}, progress).status, RunStatus::Done);
    EXPECT_EQ(picker.lstFiles->count(), 0);
    EXPECT_FALSE(fs::exists(box.c() / "App" / "filelist.tmp"));
}

TEST_F(Picker, TheVersionsLineForNamesWithoutADate) {
    EXPECT_EQ(VersionsText({"rk_notes.zip"}), "1 version, in the backup of rk_notes.zip");
}

TEST_F(Picker, OkCancelAndTheCloseBox) {
    frmViewFiles picker;
    seam.AnswerForm([](QDialog& form) { static_cast<frmViewFiles&>(form).cmdOK->click(); });
    EXPECT_EQ(ui::Current().ShowModal(picker), QDialog::Accepted);
    EXPECT_TRUE(picker.STATUS);
    seam.AnswerForm([](QDialog& form) { static_cast<frmViewFiles&>(form).cmdCancel->click(); });
    ui::Current().ShowModal(picker);
    EXPECT_FALSE(picker.STATUS);
    picker.STATUS = true;
    seam.AnswerForm([](QDialog& form) { form.close(); });
    ui::Current().ShowModal(picker);
    EXPECT_FALSE(picker.STATUS);
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(seam.Problems(), "");
}

} // namespace
} // namespace rk::test
