// "Select Files": the natural order of the names, the filter box and what
// stays picked while it hides entries, and the seconds of the versions line.

#include "restore/command_dates.h"
#include "restore/picker/frm_view_files.h"
#include "restore/picker/natural_order.h"
#include "restore_fixture.h"
#include "ui/qt_text.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <memory>

namespace rk::test {
namespace {

const std::string kJob = "C:\\Backups\\Weekly Job\\";

class PickerOrderAndFilter : public RestoreFixture {
  protected:
    std::unique_ptr<frmViewFiles> picker;

    void SetUp() override {
        RestoreFixture::SetUp();
        picker = std::make_unique<frmViewFiles>();
    }

    // Shows these names, each held by the one archive.
    void Show(const std::vector<std::string>& names,
              const std::string& archive = "rk_2026_12_01_10_00_00.zip") {
        MergedFileList files;
        for (const std::string& name : names) {
            CStoredFile& entry = files.Entry(name);
            entry.SetFileName(name);
            entry.AddZipSource(kJob + archive);
        }
        picker->ShowFiles(files, progress);
    }
    std::vector<std::string> Visible() const {
        std::vector<std::string> entries;
        for (int i = 0; i < picker->lstFiles->count(); ++i)
            if (!picker->lstFiles->isRowHidden(i))
                entries.push_back(ui::FromQString(picker->lstFiles->item(i)->text()));
        return entries;
    }
    // Key presses into the filter box, one per character.
    void Type(const QString& text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(picker->txtFilter, &press);
        }
    }
};

TEST_F(PickerOrderAndFilter, NumbersInNamesCompareAsNumbersAndCaseIsIgnored) {
    Show({"IMG_10.jpg", "IMG_2.jpg", "IMG_1.jpg", "img_3.jpg", "Zoo.txt", "apple.txt", "Banana.txt",
          "IMG_2a.jpg", "x10\\y.txt", "x9\\y.txt", "7b.txt", "007.txt", "IMG_01.jpg"});
    // The texts are the names as they stand; leading zeros tie and then go by
    // the text, whichever listing came first.
    EXPECT_EQ(Visible(), (std::vector<std::string>{"007.txt", "7b.txt", "apple.txt", "Banana.txt",
                                                   "IMG_01.jpg", "IMG_1.jpg", "IMG_2.jpg",
                                                   "IMG_2a.jpg", "img_3.jpg", "IMG_10.jpg",
                                                   "x9\\y.txt", "x10\\y.txt", "Zoo.txt"}));
    Show({"IMG_1.jpg", "IMG_01.jpg"});
    EXPECT_EQ(Visible(), (std::vector<std::string>{"IMG_01.jpg", "IMG_1.jpg"}));

    EXPECT_EQ(NaturalOrderKey("IMG_1"), NaturalOrderKey("img_1"));
    EXPECT_LT(NaturalOrderKey("a_B"), NaturalOrderKey("A_c"));
    // Longer than any machine number, and runs of zeros.
    EXPECT_LT(NaturalOrderKey("v99999999999999999999"), NaturalOrderKey("v100000000000000000000"));
    EXPECT_LT(NaturalOrderKey("v123456789"), NaturalOrderKey("v1234567890"));
    EXPECT_LT(NaturalOrderKey("v00"), NaturalOrderKey("v1"));
    EXPECT_LT(NaturalOrderKey("v9.txt"), NaturalOrderKey("v10"));
    // A number of any length keeps its place before the characters after '9'.
    EXPECT_LT(NaturalOrderKey("v1234567890"), NaturalOrderKey("v:"));
    EXPECT_LT(NaturalOrderKey(QString("v") + QString(50, u'1')), NaturalOrderKey("va"));
}

TEST_F(PickerOrderAndFilter, TheFilterBoxAndTheEntriesItLeavesToPick) {
    EXPECT_EQ(ui::FromQString(picker->txtFilter->accessibleName()), "Filter");
    EXPECT_EQ(ui::FromQString(picker->txtFilter->placeholderText()), "Filter");
    EXPECT_EQ(picker->lblFilter->buddy(), picker->txtFilter);
    picker->show();
    EXPECT_LT(picker->txtFilter->geometry().bottom(), picker->lstFiles->geometry().top());

    std::vector<std::string> names;
    for (int i = 1; i <= 5000; ++i)
        names.push_back("photos\\file_" + std::to_string(i) + ".dat");
    names.push_back("docs\\Quarterly Report.xlsx");
    Show(names);
    ASSERT_EQ(picker->lstFiles->count(), 5001);

    picker->lstFiles->selectAll();
    picker->lstFiles->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    ASSERT_FALSE(ui::FromQString(picker->lblVersions->text()).empty());
    Type("RLY rep");
    EXPECT_EQ(Visible(), (std::vector<std::string>{"docs\\Quarterly Report.xlsx"}));
    // The filter narrows what shows, never what is picked.
    EXPECT_EQ(picker->SelectedNames().size(), 5001u);
    EXPECT_EQ(ui::FromQString(picker->lblSelected->text()), "5001 files selected");
    // The current entry is hidden: no versions line for it.
    EXPECT_EQ(ui::FromQString(picker->lblVersions->text()), "");
    // Emptied, the box shows everything again, with the selection kept.
    picker->txtFilter->clear();
    EXPECT_EQ(picker->SelectedNames().size(), 5001u);

    // Selecting everything while filtered selects only what shows.
    picker->lstFiles->clearSelection();
    Type("FILE_123");
    const std::vector<std::string> shown = Visible();
    ASSERT_EQ(shown.size(), 11u); // file_123 and file_1230 to file_1239
    EXPECT_EQ(shown.front(), "photos\\file_123.dat");
    picker->lstFiles->selectAll();
    EXPECT_EQ(picker->SelectedNames(), shown);
    // Nor can a hidden entry be selected in any other way.
    ASSERT_TRUE(picker->lstFiles->isRowHidden(0));
    picker->lstFiles->item(0)->setSelected(true);
    picker->txtFilter->clear();
    EXPECT_EQ(picker->SelectedNames(), shown);
    // A filter that hides them all leaves them picked.
    Type("nothing like it");
    EXPECT_TRUE(Visible().empty());
    EXPECT_EQ(picker->SelectedNames(), shown);
    EXPECT_EQ(ui::FromQString(picker->lblSelected->text()), "11 files selected");
}

TEST_F(PickerOrderAndFilter, TheVersionsLineShowsSecondsWhenTheTimesHaveThem) {
    const std::string day1 = restore::ShortDateText(QDate(2026, 12, 1));
    EXPECT_EQ(VersionsText({"rk_2026_12_01_10_00_05.zip", "rk_2026_12_01_10_00_40_C.zip"}),
              "2 versions, in the backups of " + day1 + " 10:00:05, " + day1 + " 10:00:40");
    // One time with seconds gives every time of the line its seconds.
    EXPECT_EQ(VersionsText({"rk_2026_12_01_09_59_00.zip", "rk_2026_12_01_10_00_30.zip"}),
              "2 versions, in the backups of " + day1 + " 09:59:00, " + day1 + " 10:00:30");
    EXPECT_EQ(VersionsText({"rk_2026_12_01_09_59_00.zip", "rk_2026_12_01_10_00_00.zip"}),
              "2 versions, in the backups of " + day1 + " 09:59, " + day1 + " 10:00");
    EXPECT_EQ(VersionsText({"rk_2026_12_01_10_00_x.zip"}),
              "1 version, in the backup of " + day1 + " 10:00");

    Show({"a.txt"}, "rk_2026_12_01_23_59_59.zip");
    picker->lstFiles->setCurrentRow(0);
    EXPECT_EQ(ui::FromQString(picker->lblVersions->text()),
              "1 version, in the backup of " + day1 + " 23:59:59");
}

} // namespace
} // namespace rk::test
