// The restore run end to end with the real utilities: three backups of one
// job holding different versions of overlapping files, extracted whole, file
// by file, or consolidated, with and without deletion, and runs that fail.

#include "engine/copy_record.h"
#include "engine/job_copy.h"
#include "engine/tool_runner.h"
#include "restore/command_dates.h"
#include "restore/frm_extract.h"
#include "restore/picker/frm_view_files.h"
#include "restore_fixture.h"
#include "support/rclone_config.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::ExtractOutcome;
using restore::frmExtract;

constexpr const char* kOldest = "rk_2026_12_01_10_00_00.zip";
constexpr const char* kMiddle = "rk_2026_12_02_23_59_00.zip";
constexpr const char* kNewest = "rk_2026_12_03_00_00_00.zip";
constexpr const char* kConsolidated = "rk_2026_12_03_00_00_00_C.zip";

const Files kNewestOfAll = {{"a.txt", "a three"},
                            {"middle.txt", "middle"},
                            {"only-oldest.txt", "oldest"},
                            {"sub/b.txt", "b three"}};

class RestoreRun : public RestoreFixture {
  protected:
    std::unique_ptr<frmExtract> dialog;

    void SetUp() override {
        RestoreFixture::SetUp();
        MakeThreeBackups();
        dialog = std::make_unique<frmExtract>(progress);
        dialog->txtSource->setText(ui::ToQString(JobFolder()));
        dialog->txtDestination->setText("C:\\Restore");
        dialog->UpdateFileList();
        SetDates(QDate(2026, 12, 1), QDate(2026, 12, 3));
    }

    void TearDown() override { SetToolWaitHook({}); }

    void SetDates(const QDate& start, const QDate& end) {
        dialog->axStartDate->setDate(start);
        dialog->axEndDate->setDate(end);
    }

    fs::path Restored() const { return box.c() / "Restore" / "rk_2026_12_03_00_00_00"; }

    std::string Confirmation(const std::string& action) const {
        return "Source: " + JobFolder() + "\r\nDestination: C:\\Restore\r\nDates: " +
               restore::ShortDateText(QDate(2026, 12, 1)) + " to " +
               restore::ShortDateText(QDate(2026, 12, 3)) + "\r\nAction: " + action +
               "\r\n\r\nOK to proceed?";
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& call : seam.Calls())
            if (call.kind == ui::CallKind::Message)
                texts.push_back(call.text);
        return texts;
    }

    // Selects the entries with these texts in the picker and presses OK.
    static ui::ScriptedSeam::FormAction Pick(const std::vector<std::string>& names) {
        return [names](QDialog& form) {
            auto& picker = static_cast<frmViewFiles&>(form);
            for (int i = 0; i < picker.lstFiles->count(); ++i)
                if (std::find(names.begin(), names.end(),
                              ui::FromQString(picker.lstFiles->item(i)->text())) != names.end())
                    picker.lstFiles->item(i)->setSelected(true);
            picker.cmdOK->click();
        };
    }
};

TEST_F(RestoreRun, ExtractAllGivesEveryFileInItsNewestVersion) {
    dialog->optAction[0]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), "");

    EXPECT_EQ(FilesIn(Restored()), kNewestOfAll);
    const auto& calls = seam.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].text, Confirmation("EXTRACT"));
    EXPECT_EQ(calls[0].buttons, ui::Buttons::OKCancel);
    EXPECT_EQ(calls[1].text, "Done");
    EXPECT_EQ(calls[1].buttons, ui::Buttons::OK);
    EXPECT_EQ(calls[2].kind, ui::CallKind::Open);
    EXPECT_EQ(calls[2].text, Restored().string());
    EXPECT_EQ(ui::FromQString(dialog->cmdCancel->text()), "Close");

    // Newest first; progress from start index + 1 to end index + 1.
    EXPECT_EQ(progress.events,
              (std::vector<std::string>{"status:Preparing to extract", "max:3", "min:0",
                                        std::string("status:Extracting ") + kNewest, "value:1",
                                        std::string("status:Extracting ") + kMiddle, "value:2",
                                        std::string("status:Extracting ") + kOldest, "value:3",
                                        "min:0", "value:0", "status:Done"}));
}

TEST_F(RestoreRun, ARangeWithoutTheOldestLeavesItsFilesOut) {
    dialog->optAction[0]->click();
    SetDates(QDate(2026, 12, 2), QDate(2026, 12, 3));
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    ASSERT_EQ(dialog->StartExtract().status, RunStatus::Done);
    EXPECT_EQ(FilesIn(Restored()),
              (Files{{"a.txt", "a three"}, {"middle.txt", "middle"}, {"sub/b.txt", "b three"}}));
    // Progress counts from the start index.
    EXPECT_EQ(progress.Only("value:"), (std::vector<std::string>{"value:2", "value:3", "value:0"}));
    EXPECT_EQ(progress.Only("max:"), (std::vector<std::string>{"max:3"}));
    EXPECT_EQ(progress.Only("min:"), (std::vector<std::string>{"min:1", "min:0"}));
}

TEST_F(RestoreRun, ExtractingTwiceIntoTheSameFolderReplacesNothing) {
    seam.AnswerOpen();
    seam.AnswerOpen();
    ASSERT_EQ(dialog
                  ->AutoExtract(ExtractAction::ExtractAll, JobFolder(), QDate(2026, 12, 1),
                                QDate(2026, 12, 3))
                  .status,
              RunStatus::Done);
    box.write(Restored() / "a.txt", "edited after the first run");
    const ExtractOutcome again = dialog->AutoExtract(ExtractAction::ExtractAll, JobFolder(),
                                                     QDate(2026, 12, 1), QDate(2026, 12, 3));
    ASSERT_EQ(again.status, RunStatus::Done) << again.reason;
    EXPECT_EQ(box.read(Restored() / "a.txt"), "edited after the first run");
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(RestoreRun, PickedFilesAreRestoredInTheirNewestVersionsOnly) {
    std::vector<std::string> entries;
    std::string info;
    std::string versions;
    seam.AnswerForm([&](QDialog& form) {
        auto& picker = static_cast<frmViewFiles&>(form);
        EXPECT_EQ(ui::FromQString(picker.windowTitle()), "Select Files");
        info = ui::FromQString(picker.txtInfo->toPlainText());
        for (int i = 0; i < picker.lstFiles->count(); ++i)
            entries.push_back(ui::FromQString(picker.lstFiles->item(i)->text()));
        picker.lstFiles->setCurrentRow(0);
        versions = ui::FromQString(picker.lblVersions->text());
        Pick({"a.txt", "only-oldest.txt"})(form);
    });
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), "");

    EXPECT_EQ(entries,
              (std::vector<std::string>{"a.txt", "middle.txt", "only-oldest.txt", "sub\\b.txt"}));
    EXPECT_EQ(info,
              "Destination: C:\\Restore\nBackups: " + restore::ShortDateText(QDate(2026, 12, 1)) +
                  " to " + restore::ShortDateText(QDate(2026, 12, 3)));
    EXPECT_EQ(versions, "3 versions, in the backups of " +
                            restore::ShortDateText(QDate(2026, 12, 1)) + " 10:00, " +
                            restore::ShortDateText(QDate(2026, 12, 2)) + " 23:59, " +
                            restore::ShortDateText(QDate(2026, 12, 3)) + " 00:00");
    EXPECT_EQ(FilesIn(Restored()), (Files{{"a.txt", "a three"}, {"only-oldest.txt", "oldest"}}));
    // The lists of names the run used do not stay beside the program.
    EXPECT_FALSE(fs::exists(fs::symlink_status(box.c() / "App" / "filelisto.tmp")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(box.c() / "App" / "filelist.tmp")));
    EXPECT_EQ(MessageTexts()[0], Confirmation("EXTRACT INDIVIDUAL FILES (2 files selected)"));

    // The picker's statuses come first, archive by archive, oldest first.
    const std::vector<std::string> statuses = progress.Only("status:");
    const std::vector<std::string> expected = {
        "status:Preparing to extract",
        "status:Gathering list of backups",
        std::string("status:Creating file list for ") + kOldest,
        std::string("status:Reading file list for ") + kOldest,
        std::string("status:Creating file list for ") + kMiddle,
        std::string("status:Reading file list for ") + kMiddle,
        std::string("status:Creating file list for ") + kNewest,
        std::string("status:Reading file list for ") + kNewest,
        "status:Processing file list",
        "status:Done",
        std::string("status:Extracting ") + kNewest,
        std::string("status:Extracting ") + kMiddle,
        std::string("status:Extracting ") + kOldest,
        "status:Done"};
    EXPECT_EQ(statuses, expected);
}

TEST_F(RestoreRun, ClosingThePickerOrChoosingNothingIsTheFailureEnd) {
    seam.AnswerForm([](QDialog& form) { form.close(); });
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_TRUE(MessageTexts().empty());

    seam.AnswerForm([](QDialog& form) { static_cast<frmViewFiles&>(form).cmdCancel->click(); });
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
    EXPECT_TRUE(MessageTexts().empty());

    seam.AnswerForm(Pick({}));
    seam.AnswerMessage(ui::Answer::OK);
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"No files selected"}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(box.c() / "App" / "filelisto.tmp")));
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_EQ(progress.events.back(), "value:0");
    EXPECT_FALSE(fs::exists(box.c() / "Restore"));
    EXPECT_EQ(ui::FromQString(dialog->cmdCancel->text()), "Cancel");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreRun, ConsolidateMakesAndChecksTheNewArchiveBeforeDeletingTheOldOnes) {
    dialog->optAction[1]->click();
    ASSERT_TRUE(dialog->chkDelCon->isChecked());
    bool newExistedWhenDeleting = false;
    bool oldExistedWhenDeleting = false;
    progress.onStatus = [&](const std::string& status) {
        if (status == "Deleting files") {
            newExistedWhenDeleting = fs::exists(job / kConsolidated);
            oldExistedWhenDeleting = fs::exists(job / kOldest) && fs::exists(job / kNewest);
        }
    };
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(seam.Problems(), ""); // the folder is not opened
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{Confirmation("CONSOLIDATE"), "Done"}));

    EXPECT_TRUE(newExistedWhenDeleting);
    EXPECT_TRUE(oldExistedWhenDeleting);
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kConsolidated}));
    const fs::path made = job / kConsolidated;
    EXPECT_EQ(StoredNames(made),
              (std::vector<std::string>{"a.txt", "middle.txt", "only-oldest.txt", "sub/b.txt"}));
    for (const auto& [name, content] : kNewestOfAll)
        EXPECT_EQ(StoredContent(made, name), content) << name;
    EXPECT_EQ(dialog->ArchiveNames(), (std::vector<std::string>{kConsolidated}));
    // The extracted files stay where they were extracted.
    EXPECT_EQ(FilesIn(Restored()), kNewestOfAll);

    const std::vector<std::string> tail(progress.events.end() - 18, progress.events.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"min:0", "value:0", "max:100", "min:0", "value:90",
                                        "status:Creating backup...", "min:0", "value:0",
                                        std::string("status:Checking ") + kConsolidated,
                                        "status:Deleting files", "max:2", "min:0", "value:0",
                                        "value:1", "value:2", "min:0", "value:0", "status:Done"}));
}

TEST_F(RestoreRun, ConsolidateWithoutDeletionKeepsEveryBackupAndNamesTheNextOneTwiceC) {
    dialog->optAction[1]->click();
    dialog->chkDelCon->click();
    ASSERT_FALSE(dialog->chkDelCon->isChecked());
    ExtractOutcome outcome = dialog->AutoExtract(ExtractAction::Consolidate, JobFolder(),
                                                 QDate(2026, 12, 1), QDate(2026, 12, 3));
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kOldest, kMiddle, kNewest, kConsolidated}));

    // The consolidated archive is now the newest of the range.
    dialog->txtDestination->setText("C:\\Again");
    outcome = dialog->AutoExtract(ExtractAction::Consolidate, JobFolder(), QDate(2026, 12, 3),
                                  QDate(2026, 12, 3));
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_TRUE(fs::exists(job / "rk_2026_12_03_00_00_00_C_C.zip"));
    EXPECT_EQ(StoredNames(job / "rk_2026_12_03_00_00_00_C_C.zip"),
              (std::vector<std::string>{"a.txt", "middle.txt", "only-oldest.txt", "sub/b.txt"}));
    EXPECT_TRUE(seam.Calls().empty()); // silent: no message box at all
}

TEST_F(RestoreRun, ConsolidateNeverTakesFilesAUserEditedAfterAnExtraction) {
    // Extract all, then edit and add files in the folder opened for the user.
    dialog->optAction[0]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerOpen();
    ASSERT_EQ(dialog->StartExtract().status, RunStatus::Done);
    box.write(Restored() / "a.txt", "edited by the user");
    box.write(Restored() / "dropped-in.txt", "never backed up");

    // Consolidate the same range, deleting what it replaces: it works in a
    // folder of its own, which the confirmation names.
    dialog->optAction[1]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    const ExtractOutcome outcome = dialog->StartExtract();
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    const std::vector<std::string> messages = MessageTexts();
    ASSERT_EQ(messages.size(), 4u);
    std::string expected = Confirmation("CONSOLIDATE");
    expected.insert(expected.rfind("\r\n\r\n"),
                    "\r\nExtraction folder: C:\\Restore\\rk_2026_12_03_00_00_00_2");
    EXPECT_EQ(messages[2], expected);
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kConsolidated}));
    EXPECT_EQ(StoredContent(job / kConsolidated, "a.txt"), "a three");
    EXPECT_EQ(StoredNames(job / kConsolidated),
              (std::vector<std::string>{"a.txt", "middle.txt", "only-oldest.txt", "sub/b.txt"}));
    EXPECT_EQ(box.read(Restored() / "a.txt"), "edited by the user");
    EXPECT_EQ(FilesIn(box.c() / "Restore" / "rk_2026_12_03_00_00_00_2"), kNewestOfAll);
}

TEST_F(RestoreRun, AnArchiveThatFailsItsCheckIsRemovedAndNothingDeleted) {
    fs::copy_file(ProgramDir() / "rk_fake_zip", box.c() / "App" / "rk_fake_zip");
    fs::copy_file(ProgramDir() / "rkzip", box.c() / "App" / "rkzip");
    ZipUtilPath = "C:\\App\\rk_fake_zip";
    for (const char* spoil : {"drop", "corrupt"}) {
        setenv("RK_FAKE_ZIP", spoil, 1);
        dialog->txtDestination->setText(ui::ToQString(std::string("C:\\Restore-") + spoil));
        const ExtractOutcome outcome = dialog->AutoExtract(ExtractAction::Consolidate, JobFolder(),
                                                           QDate(2026, 12, 1), QDate(2026, 12, 3));
        EXPECT_EQ(outcome.status, RunStatus::Failed) << spoil;
        EXPECT_NE(outcome.reason.find("No backup was deleted"), std::string::npos)
            << outcome.reason;
        EXPECT_NE(outcome.reason.find(std::string(spoil) == "drop" ? "does not hold"
                                                                   : "does not read back"),
                  std::string::npos)
            << outcome.reason;
        EXPECT_EQ(JobArchives(), (std::vector<std::string>{kOldest, kMiddle, kNewest})) << spoil;
    }
    unsetenv("RK_FAKE_ZIP");
}

TEST_F(RestoreRun, AFailingZipRunDeletesNothingAndNamesTheArchive) {
    ZipUtilPath = "Z:\\bin\\false";
    dialog->optAction[1]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    const ExtractOutcome outcome = dialog->StartExtract();
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kOldest, kMiddle, kNewest}));
    EXPECT_EQ(progress.status, "Could not complete last action");
    const std::vector<std::string> messages = MessageTexts();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_NE(messages[1].find(kConsolidated), std::string::npos) << messages[1];
    EXPECT_NE(messages[1].find("No backup was deleted"), std::string::npos) << messages[1];
    EXPECT_EQ(seam.Calls()[1].icon, ui::Icon::Critical);
    EXPECT_EQ(progress.Only("status:Deleting"), std::vector<std::string>{});
    EXPECT_EQ(ui::FromQString(dialog->cmdCancel->text()), "Cancel");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreRun, ASilentFailureShowsNothingAndSaysWhy) {
    ZipUtilPath = "Z:\\bin\\false";
    const ExtractOutcome outcome = dialog->AutoExtract(ExtractAction::Consolidate, JobFolder(),
                                                       QDate(2026, 12, 1), QDate(2026, 12, 3));
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_NE(outcome.reason.find(kConsolidated), std::string::npos) << outcome.reason;
    EXPECT_TRUE(seam.Calls().empty());
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kOldest, kMiddle, kNewest}));
}

TEST_F(RestoreRun, ADamagedBackupStopsTheRunBeforeAnythingIsDeleted) {
    box.write(job / kMiddle, "this is no zip archive");
    const ExtractOutcome outcome = dialog->AutoExtract(ExtractAction::Consolidate, JobFolder(),
                                                       QDate(2026, 12, 1), QDate(2026, 12, 3));
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_NE(outcome.reason.find(std::string("Could not extract the backup ") + kMiddle),
              std::string::npos)
        << outcome.reason;
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{kOldest, kMiddle, kNewest}));
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_TRUE(seam.Calls().empty());
    // The oldest was never reached.
    EXPECT_EQ(progress.Only(std::string("status:Extracting ") + kOldest),
              std::vector<std::string>{});
}

TEST_F(RestoreRun, APickerThatCannotListABackupSaysWhich) {
    box.write(job / kMiddle, "this is no zip archive");
    seam.AnswerMessage(ui::Answer::OK);
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
    const std::vector<std::string> messages = MessageTexts();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(std::string("Could not list the files of the backup ") + kMiddle),
              std::string::npos)
        << messages[0];
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreRun, RefusalsBeforeTheRun) {
    // No destination: said, and nothing else changes.
    dialog->txtDestination->setText("");
    seam.AnswerMessage(ui::Answer::OK);
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Refused);
    EXPECT_EQ(MessageTexts(), (std::vector<std::string>{"Invalid destination"}));
    EXPECT_TRUE(progress.events.empty());

    // No archive in the range: "Nothing to do" and the failure end.
    dialog->txtDestination->setText("C:\\Restore");
    for (const auto& [start, end] : {std::pair{QDate(2026, 12, 4), QDate(2027, 1, 1)},
                                     std::pair{QDate(2026, 11, 1), QDate(2026, 11, 30)},
                                     std::pair{QDate(2026, 12, 3), QDate(2026, 12, 1)}}) {
        SetDates(start, end);
        seam.AnswerMessage(ui::Answer::OK);
        progress.events.clear();
        EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
        EXPECT_EQ(MessageTexts().back(), "Nothing to do");
        EXPECT_EQ(progress.events,
                  (std::vector<std::string>{"status:Preparing to extract",
                                            "status:Could not complete last action", "min:0",
                                            "value:0"}));
    }
    // Cancelling the confirmation is the failure end, without a message.
    SetDates(QDate(2026, 12, 1), QDate(2026, 12, 3));
    dialog->optAction[0]->click();
    seam.AnswerMessage(ui::Answer::Cancel);
    EXPECT_EQ(dialog->StartExtract().status, RunStatus::Failed);
    EXPECT_EQ(progress.status, "Could not complete last action");
    EXPECT_FALSE(fs::exists(box.c() / "Restore"));
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreRun, ARunCannotBeStartedWhileOneIsInProgress) {
    dialog->optAction[0]->click();
    std::optional<ExtractOutcome> second;
    bool okEnabledDuringRun = true;
    bool cancelEnabledDuringRun = true;
    SetToolWaitHook([&] {
        if (second)
            return;
        okEnabledDuringRun = dialog->cmdOK->isEnabled();
        cancelEnabledDuringRun = dialog->cmdCancel->isEnabled();
        second = dialog->StartExtract(true);
    });
    seam.AnswerOpen();
    const ExtractOutcome first = dialog->AutoExtract(ExtractAction::ExtractAll, JobFolder(),
                                                     QDate(2026, 12, 1), QDate(2026, 12, 3));
    SetToolWaitHook({});
    EXPECT_EQ(first.status, RunStatus::Done) << first.reason;
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->status, RunStatus::Refused);
    EXPECT_FALSE(okEnabledDuringRun);
    // Cancel does nothing during a run, and shows it.
    EXPECT_FALSE(cancelEnabledDuringRun);
    EXPECT_TRUE(dialog->cmdOK->isEnabled());
    EXPECT_TRUE(dialog->cmdCancel->isEnabled());
    EXPECT_EQ(FilesIn(Restored()), kNewestOfAll);
}

TEST_F(RestoreRun, SilentPickedRunStillShowsThePickerAndOpensTheFolder) {
    seam.AnswerForm(Pick({"sub\\b.txt"}));
    seam.AnswerOpen();
    const ExtractOutcome outcome = dialog->AutoExtract(ExtractAction::ExtractPicked, JobFolder(),
                                                       QDate(2026, 12, 1), QDate(2026, 12, 3));
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_TRUE(MessageTexts().empty());
    EXPECT_EQ(FilesIn(Restored()), (Files{{"sub/b.txt", "b three"}}));
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreRun, AConsolidationReplacesItsArchivesOnTheJobsCopyToo) {
    if (!HaveRclone())
        GTEST_SKIP() << "rclone is not installed";
    PrivateRcloneConfig rclone(box.root() / "rclone" / "rclone.conf");
    rclone.AddLocalRemote("offsite");
    const fs::path remote = box.root() / "remote" / "Job";
    ASSERT_TRUE(WriteCopyRemote(JobFolder(), "offsite:" + remote.string()));
    ASSERT_TRUE(CopyJob(JobFolder(), {}, std::time(nullptr)).complete);
    const auto archivesOf = [](const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".zip")
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(archivesOf(remote), (std::vector<std::string>{kOldest, kMiddle, kNewest}));

    dialog->optAction[1]->click();
    seam.AnswerMessage(ui::Answer::OK);
    seam.AnswerMessage(ui::Answer::OK);
    ASSERT_EQ(dialog->StartExtract().status, RunStatus::Done);
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(archivesOf(remote), std::vector<std::string>{kConsolidated});
    EXPECT_EQ(box.read(remote / kConsolidated), box.read(job / kConsolidated));
    EXPECT_TRUE(ReadCopyRecord(JobFolder()).replaced.empty());
    EXPECT_FALSE(ReadCopyRecord(JobFolder()).pending());
}

} // namespace
} // namespace rk::test
