// A job folder holding more archives than a 16-bit index reaches: 33,000
// empty archives of 2021 to 2024 and then two real backups of 2025. The
// catalogue, every restore run and "rkbak /c" see all of them, so a 2025
// range finds the two newest.

#include "engine/extract_plan.h"
#include "engine/job_archives.h"
#include "restore/frm_extract.h"
#include "restore/picker/frm_view_files.h"
#include "restore/restore_request.h"
#include "restore_fixture.h"
#include "support/empty_archives.h"
#include "ui/qt_text.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::ExtractOutcome;
using restore::frmExtract;

constexpr int kEmptyCount = 33000;
constexpr std::time_t k2021 = 1609459200; // 2021-01-01 00:00:00 UTC
constexpr const char* kOlder = "rk_2025_03_01_08_00_00.zip";
constexpr const char* kNewer = "rk_2025_09_01_08_00_00.zip";

class ManyArchives : public RestoreFixture {
  protected:
    std::vector<std::string> all;

    void SetUp() override {
        RestoreFixture::SetUp();
        all = WriteEmptyArchives(job, kEmptyCount, k2021);
        ASSERT_LT(all.back(), "rk_2025");
        MakeArchive(kOlder, {{"a.txt", "a old"}, {"keep.txt", "kept"}});
        MakeArchive(kNewer, {{"a.txt", "a new"}});
        all.emplace_back(kOlder);
        all.emplace_back(kNewer);
    }

    std::unique_ptr<frmExtract> DialogFor2025() {
        auto dialog = std::make_unique<frmExtract>(progress);
        dialog->txtSource->setText(ui::ToQString(JobFolder()));
        dialog->txtDestination->setText("C:\\Restore");
        dialog->UpdateFileList();
        dialog->axStartDate->setDate(QDate(2025, 1, 1));
        dialog->axEndDate->setDate(QDate(2025, 12, 31));
        return dialog;
    }

    fs::path Restored() const { return box.c() / "Restore" / "rk_2025_09_01_08_00_00"; }
};

TEST_F(ManyArchives, TheCatalogueAndTheRequestHoldEveryArchive) {
    EXPECT_EQ(JobArchiveNames(JobFolder()), all);

    const auto dialog = DialogFor2025();
    ASSERT_EQ(dialog->lstBackupsList->count(), kEmptyCount + 2);
    EXPECT_EQ(ui::FromQString(dialog->lstBackupsList->item(kEmptyCount + 1)->text()), kNewer);
    EXPECT_EQ(dialog->ArchiveNames(), all);

    const restore::RestoreRequest request =
        restore::MakeRestoreRequest({ExtractAction::ExtractAll, JobFolder(), "C:\\Restore",
                                     QDate(2025, 1, 1), QDate(2025, 12, 31)});
    EXPECT_EQ(request.archiveNames, all);
    const ArchiveRange range = FindRange(request.archiveNames, request.startDay, request.endDay);
    EXPECT_EQ(range.startIndex, kEmptyCount);
    EXPECT_EQ(range.endIndex, kEmptyCount + 1);
}

TEST_F(ManyArchives, ExtractAllTakesTheNewestArchives) {
    const auto dialog = DialogFor2025();
    dialog->optAction[0]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(FilesIn(Restored()), (Files{{"a.txt", "a new"}, {"keep.txt", "kept"}}));
}

TEST_F(ManyArchives, ThePickerListsTheNewestArchivesFiles) {
    std::vector<std::string> entries;
    seam.AnswerForm([&](QDialog& form) {
        auto& picker = static_cast<frmViewFiles&>(form);
        for (int i = 0; i < picker.lstFiles->count(); ++i) {
            entries.push_back(ui::FromQString(picker.lstFiles->item(i)->text()));
            if (entries.back() == "a.txt")
                picker.lstFiles->item(i)->setSelected(true);
        }
        picker.cmdOK->click();
    });
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    const auto dialog = DialogFor2025();
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(entries, (std::vector<std::string>{"a.txt", "keep.txt"}));
    EXPECT_EQ(FilesIn(Restored()), (Files{{"a.txt", "a new"}}));
}

// "c" as a scheduler starts it: the program and its utilities copied into a
// sandbox folder with their own settings, no display.
TEST_F(ManyArchives, ConsolidateThroughTheProgramTakesTheNewestArchives) {
    const fs::path program = box.c() / "prog";
    InstallProgramCopy(box, program, "C:\\prog", "C:\\Backups", "autopromptshown=-1\r\n");
    const RunResult result =
        rk::test::Run({(program / "rkbak").string(), "/c/2025-01-01/2025-12-31/" + JobFolder()},
                      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const fs::path consolidated = job / "rk_2025_09_01_08_00_00_C.zip";
    EXPECT_EQ(StoredNames(consolidated), (std::vector<std::string>{"a.txt", "keep.txt"}));
    EXPECT_EQ(StoredContent(consolidated, "a.txt"), "a new");
    // The range's two archives were replaced; the older ones are all there.
    std::vector<std::string> expected(all.begin(), all.begin() + kEmptyCount);
    expected.emplace_back("rk_2025_09_01_08_00_00_C.zip");
    EXPECT_EQ(JobArchiveNames(JobFolder()), expected);
}

} // namespace
} // namespace rk::test
