// "Select Files" driven as a person drives it, with key presses in the filter
// box and mouse clicks in the list: files picked under one filter stay picked
// under the next, are counted under the list, and are all restored.

#include "restore/frm_extract.h"
#include "restore/picker/frm_view_files.h"
#include "restore_fixture.h"
#include "ui/qt_text.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::frmExtract;

const std::string kSong = "Canción de otoño.txt";
const std::string kReport = "Quarterly report Q1 final.txt";
const std::string kTax = "tax return.pdf";

class PickerAcrossFilters : public RestoreFixture {
  protected:
    void SetUp() override {
        RestoreFixture::SetUp();
        MakeArchive("rk_2026_12_01_10_00_00.zip", {{kSong, "song"},
                                                   {kReport, "report"},
                                                   {kTax, "tax"},
                                                   {"Quarterly plan.txt", "plan"},
                                                   {"Photos/Family/beach.jpg", "beach"},
                                                   {"Photos/Work/desk.jpg", "desk"}});
    }

    // Replaces the filter box's text by key presses: Ctrl+A, then one press
    // per character.
    static void TypeFilter(frmViewFiles& picker, const QString& text) {
        picker.txtFilter->setFocus();
        QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
        QCoreApplication::sendEvent(picker.txtFilter, &selectAll);
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QCoreApplication::sendEvent(picker.txtFilter, &erase);
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(picker.txtFilter, &press);
        }
    }

    // A mouse click on the entry with this text, which must show.
    static void Click(frmViewFiles& picker, const std::string& name,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QList<QListWidgetItem*> found =
            picker.lstFiles->findItems(ui::ToQString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        ASSERT_FALSE(found.front()->isHidden()) << name;
        const QPoint at = picker.lstFiles->visualItemRect(found.front()).center();
        QWidget* viewport = picker.lstFiles->viewport();
        const QPointF global = viewport->mapToGlobal(QPointF(at));
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton,
                          Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(viewport, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, Qt::LeftButton,
                            Qt::NoButton, modifiers);
        QCoreApplication::sendEvent(viewport, &release);
    }

    std::vector<std::string> Shown(const frmViewFiles& picker) const {
        std::vector<std::string> names;
        for (int i = 0; i < picker.lstFiles->count(); ++i)
            if (!picker.lstFiles->isRowHidden(i))
                names.push_back(ui::FromQString(picker.lstFiles->item(i)->text()));
        return names;
    }
};

TEST_F(PickerAcrossFilters, FilesPickedUnderEarlierFiltersAreAllRestored) {
    frmExtract dialog(progress);
    dialog.txtSource->setText(ui::ToQString(JobFolder()));
    dialog.txtDestination->setText("C:\\Restore");
    dialog.UpdateFileList();
    dialog.axStartDate->setDate(QDate(2026, 12, 1));
    dialog.axEndDate->setDate(QDate(2026, 12, 1));

    std::vector<std::string> countLines;
    seam.AnswerForm([&](QDialog& form) {
        auto& picker = static_cast<frmViewFiles&>(form);
        picker.show();
        TypeFilter(picker, "canci");
        EXPECT_EQ(Shown(picker), std::vector<std::string>{kSong});
        Click(picker, kSong);
        countLines.push_back(ui::FromQString(picker.lblSelected->text()));
        TypeFilter(picker, "quarterly");
        Click(picker, kReport, Qt::ControlModifier);
        countLines.push_back(ui::FromQString(picker.lblSelected->text()));
        TypeFilter(picker, "tax return");
        EXPECT_EQ(Shown(picker), std::vector<std::string>{kTax});
        Click(picker, kTax, Qt::ControlModifier);
        countLines.push_back(ui::FromQString(picker.lblSelected->text()));
        EXPECT_EQ(picker.SelectedNames(), (std::vector<std::string>{kSong, kReport, kTax}));
        picker.cmdOK->click();
    });
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    const restore::ExtractOutcome outcome = dialog.StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), "");

    EXPECT_EQ(countLines, (std::vector<std::string>{"1 files selected", "2 files selected",
                                                    "3 files selected"}));
    // The extract list named all three (the restored files below show it) and
    // is removed once the run has used it.
    EXPECT_FALSE(fs::exists(fs::symlink_status(box.c() / "App" / "filelisto.tmp")));
    std::string confirmation;
    for (const auto& call : seam.Calls())
        if (call.kind == ui::CallKind::Message && confirmation.empty())
            confirmation = call.text;
    EXPECT_NE(confirmation.find("EXTRACT INDIVIDUAL FILES (3 files selected)"), std::string::npos)
        << confirmation;
    EXPECT_EQ(FilesIn(box.c() / "Restore" / "rk_2026_12_01_10_00_00"),
              (Files{{kReport, "report"}, {kSong, "song"}, {kTax, "tax"}}));
}

TEST_F(PickerAcrossFilters, TheFilterTakesEitherSlashAndItsClearButtonIsNamed) {
    frmViewFiles picker;
    ASSERT_EQ(picker.DataRefresh(JobFolder(), {"rk_2026_12_01_10_00_00.zip"}, progress).status,
              RunStatus::Done);
    picker.show();
    TypeFilter(picker, "photos/family");
    EXPECT_EQ(Shown(picker), std::vector<std::string>{"Photos\\Family\\beach.jpg"});
    TypeFilter(picker, "Photos\\Family");
    EXPECT_EQ(Shown(picker), std::vector<std::string>{"Photos\\Family\\beach.jpg"});
    TypeFilter(picker, "/");
    EXPECT_EQ(Shown(picker),
              (std::vector<std::string>{"Photos\\Family\\beach.jpg", "Photos\\Work\\desk.jpg"}));

    // The clear button shows while the box holds text, and has a name.
    std::vector<QToolButton*> clear;
    for (QToolButton* button : picker.txtFilter->findChildren<QToolButton*>())
        if (button->isVisible())
            clear.push_back(button);
    ASSERT_EQ(clear.size(), 1u);
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(clear.front());
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(ui::FromQString(spoken->text(QAccessible::Name)), "Clear the filter");
    clear.front()->click();
    EXPECT_EQ(ui::FromQString(picker.txtFilter->text()), "");
    EXPECT_EQ(Shown(picker).size(), 6u);
    EXPECT_EQ(ui::FromQString(picker.lblSelected->text()), "0 files selected");
}

} // namespace
} // namespace rk::test
