// The "Restore Files" window offscreen with a scripted seam, on a job whose
// backups the real backup run makes with rkzip and which rkunzip restores:
// a root backup and two incremental ones of one day in which a file changes,
// files are deleted and one is made. Restoring everything of a point into a
// new folder gives the source as it was right after that run; a version
// picked from the versions list comes back with its content; files that
// exist at the destination are kept beside, replaced or skipped, and put
// back when the restore fails; "Restore as it was" removes exactly the files
// it listed, and only when the person agrees; the search finds a file that
// a later backup records as deleted. An encrypted job restores through the
// password command.

#include "engine/backup_run.h"
#include "engine/job_encryption.h"
#include "engine/tool_runner.h"
#include "platform/clock.h"
#include "restore/point_in_time/frm_restore_files.h"
#include "restore/point_in_time/restore_origin.h"
#include "restore/run/placed_restore.h"
#include "restore/run/point_restore.h"
#include "restore_fixture.h"
#include "ui/qt_text.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>

#include <ctime>
#include <memory>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::frmRestoreFiles;

class RestoreFilesWindow : public RestoreFixture {
  protected:
    fs::path source = box.c() / "Data";
    std::vector<std::string> made;
    std::vector<Files> snapshots; // the source right after each backup

    void SetUp() override {
        RestoreFixture::SetUp();
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                     "folder1=C:\\Data\r\n");
        box.write(job / "excl.ini", "");
    }
    void TearDown() override {
        platform::SetClock({});
        unsetenv("RAVELKEEP_PASSWORD_COMMAND");
    }

    // The three runs: a root backup, then two incremental ones on one day.
    void MakeStory() {
        box.write(source / "a.txt", "a one");
        box.write(source / "sub" / "b.txt", "b one");
        box.write(source / "gone.txt", "gone");
        Backup(BackupMode::Root, 1, 12);
        box.write(source / "a.txt", "a two");
        fs::remove(source / "gone.txt");
        box.write(source / "c.txt", "c");
        Backup(BackupMode::Incremental, 2, 9);
        box.write(source / "a.txt", "a three");
        fs::remove(source / "sub" / "b.txt");
        Backup(BackupMode::Incremental, 2, 18);
    }

    void Backup(BackupMode mode, int day, int hour) {
        std::tm at{};
        at.tm_year = 2026 - 1900;
        at.tm_mon = 11;
        at.tm_mday = day;
        at.tm_hour = hour;
        at.tm_isdst = -1;
        const std::time_t when = std::mktime(&at);
        platform::SetClock([when] { return when; });
        const BackupOutcome outcome = RunBackup(mode, "Weekly Job");
        ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
        made.push_back(outcome.details.archiveName);
        snapshots.push_back(FilesIn(source));
    }

    std::unique_ptr<frmRestoreFiles> Open() {
        auto form = std::make_unique<frmRestoreFiles>(CurrentInstallation(), JobFolder());
        EXPECT_TRUE(form->LoadPoints()) << seam.Problems();
        return form;
    }

    // Selects the tree's item of that listed name.
    static void Select(frmRestoreFiles& form, const std::string& listedName) {
        QTreeWidgetItem* item = form.ItemOf(listedName);
        ASSERT_NE(item, nullptr) << listedName;
        form.tvwFiles->setCurrentItem(item);
    }

    // Restores the selection into a folder by a choice for existing files.
    static void RestoreTo(frmRestoreFiles& form, const std::string& destination,
                          QRadioButton* choice) {
        form.txtDestination->setText(ui::ToQString(destination));
        choice->setChecked(true);
        form.cmdRestore->click();
    }

    Files Restored(const std::string& folder) const { return FilesIn(box.c() / folder / "Data"); }

    // Whether the restore left any of its own folders behind.
    bool RunFoldersLeft(const std::string& folder) const {
        for (const auto& entry : fs::directory_iterator(box.c() / folder))
            if (entry.path().filename().string().rfind(".rk-restore-", 0) == 0)
                return true;
        return false;
    }
};

TEST_F(RestoreFilesWindow, EveryPointRestoredWholeIsTheSourceAsItWasAfterItsRun) {
    MakeStory();
    const auto form = Open();
    ASSERT_EQ(form->Points().Points().size(), 3U);
    // Newest at the top, to the second, with its kind.
    EXPECT_EQ(form->lstPoints->topLevelItem(0)->text(0).toStdString(), "2026-12-02 18:00:00");
    EXPECT_EQ(form->lstPoints->topLevelItem(0)->text(1).toStdString(), "Incremental");
    EXPECT_EQ(form->lstPoints->topLevelItem(2)->text(1).toStdString(), "Root");
    EXPECT_EQ(form->ChosenPoint(), 2);
    for (int point = 0; point < 3; ++point) {
        form->ChoosePoint(point);
        const std::string folder = "Point" + std::to_string(point);
        form->txtDestination->setText(ui::ToQString("C:\\" + folder));
        form->cmdRestoreAll->click();
        EXPECT_EQ(Restored(folder), snapshots[static_cast<std::size_t>(point)]) << point;
        EXPECT_FALSE(RunFoldersLeft(folder));
    }
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, TheTreeOfAPointLeavesOutWhatWasDeletedBeforeIt) {
    MakeStory();
    const auto form = Open();
    EXPECT_EQ(form->ItemOf("Data\\gone.txt"), nullptr);
    EXPECT_EQ(form->ItemOf("Data\\sub\\b.txt"), nullptr);
    EXPECT_NE(form->ItemOf("Data\\c.txt"), nullptr);
    form->ChoosePoint(0);
    EXPECT_NE(form->ItemOf("Data\\gone.txt"), nullptr);
    EXPECT_NE(form->ItemOf("Data\\sub\\b.txt"), nullptr);
    EXPECT_EQ(form->ItemOf("Data\\c.txt"), nullptr);
}

TEST_F(RestoreFilesWindow, AVersionPickedFromTheVersionsListComesBackWithItsContent) {
    MakeStory();
    const auto form = Open();
    Select(*form, "Data\\a.txt");
    ASSERT_EQ(form->lstVersions->topLevelItemCount(), 3);
    // The version of the chosen point is chosen until another is picked.
    EXPECT_EQ(form->lstVersions->currentItem(), form->lstVersions->topLevelItem(2));
    form->lstVersions->setCurrentItem(form->lstVersions->topLevelItem(1));
    RestoreTo(*form, "C:\\Picked", form->optKeepBoth);
    EXPECT_EQ(Restored("Picked"), (Files{{"a.txt", "a two"}}));
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, AnExistingFileIsKeptBesideReplacedOrSkippedAsChosen) {
    MakeStory();
    const auto form = Open();
    for (const char* folder : {"Both", "Replace", "Skip"})
        box.write(box.c() / folder / "Data" / "a.txt", "mine");

    Select(*form, "Data\\a.txt");
    RestoreTo(*form, "C:\\Both", form->optKeepBoth);
    EXPECT_EQ(Restored("Both"),
              (Files{{"a.txt", "mine"}, {"a (2026-12-02 18-00-00).txt", "a three"}}));

    RestoreTo(*form, "C:\\Replace", form->optReplace);
    EXPECT_EQ(Restored("Replace"), (Files{{"a.txt", "a three"}}));

    RestoreTo(*form, "C:\\Skip", form->optSkip);
    EXPECT_EQ(Restored("Skip"), (Files{{"a.txt", "mine"}}));
    for (const char* folder : {"Both", "Replace", "Skip"})
        EXPECT_FALSE(RunFoldersLeft(folder)) << folder;
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, AReplacedFileIsPutBackWhenTheRestoreFails) {
    MakeStory();
    const auto form = Open();
    box.write(box.c() / "Dest" / "Data" / "a.txt", "mine");
    // The newest backup gives a.txt and replaces it; the one before, which
    // holds c.txt, is damaged after the window read it.
    box.write(job / made[1], "not an archive");
    seam.AnswerMessage(ui::Answer::OK);
    form->txtDestination->setText("C:\\Dest");
    form->optReplace->setChecked(true);
    form->cmdRestoreAll->click();
    ASSERT_EQ(seam.Calls().size(), 1U);
    EXPECT_EQ(seam.Calls()[0].icon, ui::Icon::Critical);
    EXPECT_NE(seam.Calls()[0].text.find(made[1]), std::string::npos) << seam.Calls()[0].text;
    EXPECT_EQ(Restored("Dest"), (Files{{"a.txt", "mine"}}));
    EXPECT_FALSE(RunFoldersLeft("Dest"));
    EXPECT_EQ(form->lblStatus->text().toStdString(), "Could not complete last action");
}

TEST_F(RestoreFilesWindow, RestoreAsItWasRemovesExactlyTheListedFilesAfterAsking) {
    MakeStory();
    const auto form = Open();
    form->ChoosePoint(1);
    box.write(box.c() / "Dest" / "Data" / "a.txt", "mine");
    box.write(box.c() / "Dest" / "Data" / "extra.txt", "x");
    box.write(box.c() / "Dest" / "Data" / "sub" / "more.txt", "y");
    box.write(box.c() / "Dest" / "Other" / "keep.txt", "outside the folder restored");
    seam.AnswerMessage(ui::Answer::Yes);
    Select(*form, "Data\\");
    form->chkAsItWas->setChecked(true);
    RestoreTo(*form, "C:\\Dest", form->optReplace);

    ASSERT_EQ(seam.Calls().size(), 1U);
    EXPECT_EQ(seam.Calls()[0].text,
              "These files were not there at 2026-12-02 09:00:00. Remove "
              "them from \"C:\\Dest\"?\n\nData\\extra.txt\nData\\sub\\more.txt");
    EXPECT_EQ(seam.Calls()[0].buttons, ui::Buttons::YesNoCancel);
    EXPECT_EQ(Restored("Dest"), snapshots[1]);
    EXPECT_EQ(box.read(box.c() / "Dest" / "Other" / "keep.txt"), "outside the folder restored");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, RestoreAsItWasRemovesNothingWhenThePersonSaysNo) {
    MakeStory();
    const auto form = Open();
    form->ChoosePoint(1);
    box.write(box.c() / "Dest" / "Data" / "extra.txt", "x");
    seam.AnswerMessage(ui::Answer::No);
    Select(*form, "Data\\");
    form->chkAsItWas->setChecked(true);
    RestoreTo(*form, "C:\\Dest", form->optReplace);
    Files expected = snapshots[1];
    expected["extra.txt"] = "x";
    EXPECT_EQ(Restored("Dest"), expected);
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, RestoreAsItWasPutsFoldersWhereFilesAreAndTheOtherWayRound) {
    MakeStory();
    const auto form = Open();
    form->ChoosePoint(1);
    // At that point Data\sub is a folder and Data\c.txt a file.
    box.write(box.c() / "Dest" / "Data" / "sub", "a file where a folder was");
    box.write(box.c() / "Dest" / "Data" / "c.txt" / "inner.txt", "a folder where a file was");
    seam.AnswerMessage(ui::Answer::Yes);
    Select(*form, "Data\\");
    form->chkAsItWas->setChecked(true);
    RestoreTo(*form, "C:\\Dest", form->optReplace);
    ASSERT_EQ(seam.Calls().size(), 1U) << seam.Problems();
    EXPECT_NE(seam.Calls()[0].text.find("\n\nData\\c.txt\\inner.txt\nData\\sub"), std::string::npos)
        << seam.Calls()[0].text;
    EXPECT_EQ(Restored("Dest"), snapshots[1]);
    EXPECT_FALSE(RunFoldersLeft("Dest"));
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, AFileNotThereAtThePointNeedsOneOfItsVersions) {
    MakeStory();
    const auto form = Open();
    form->txtSearch->setText("gone");
    form->tvwFiles->setCurrentItem(form->tvwFiles->topLevelItem(0));
    seam.AnswerMessage(ui::Answer::OK);
    RestoreTo(*form, "C:\\Found", form->optKeepBoth);
    ASSERT_EQ(seam.Calls().size(), 1U);
    EXPECT_EQ(seam.Calls()[0].text, "\"Data\\gone.txt\" is not there at this point in time. "
                                    "Choose one of its versions.");
    EXPECT_FALSE(fs::exists(box.c() / "Found"));
}

TEST_F(RestoreFilesWindow, TheSearchFindsAFileALaterBackupRecordsAsDeleted) {
    MakeStory();
    const auto form = Open();
    form->txtSearch->setText("gone");
    ASSERT_EQ(form->tvwFiles->topLevelItemCount(), 1);
    QTreeWidgetItem* found = form->tvwFiles->topLevelItem(0);
    EXPECT_EQ(found->text(0).toStdString(), "Data\\gone.txt");
    EXPECT_EQ(found->text(3).toStdString(), "not at this point");
    form->tvwFiles->setCurrentItem(found);
    ASSERT_EQ(form->lstVersions->topLevelItemCount(), 1);
    EXPECT_EQ(form->lstVersions->topLevelItem(0)->text(0).toStdString(), made[0]);
    // Picked from the search, it comes back from the backup that held it.
    form->lstVersions->setCurrentItem(form->lstVersions->topLevelItem(0));
    RestoreTo(*form, "C:\\Found", form->optKeepBoth);
    EXPECT_EQ(Restored("Found"), (Files{{"gone.txt", "gone"}}));
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, APreviewShowsATextVersionAndLeavesNoFileBehind) {
    MakeStory();
    const auto form = Open();
    Select(*form, "Data\\a.txt");
    form->lstVersions->setCurrentItem(form->lstVersions->topLevelItem(0));
    const fs::path temporary = box.root() / "tmp";
    form->cmdPreview->click();
    EXPECT_EQ(form->txtPreview->toPlainText().toStdString(), "a one");
    if (fs::exists(temporary)) {
        for (const auto& entry : fs::directory_iterator(temporary))
            EXPECT_NE(entry.path().filename().string().rfind("rkpv", 0), 0U) << entry.path();
    }
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, APreviewShowsAPictureVersion) {
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::red);
    fs::create_directories(source);
    ASSERT_TRUE(picture.save(QString::fromStdString((source / "photo.png").string()), "PNG"));
    Backup(BackupMode::Root, 1, 12);
    const auto form = Open();
    Select(*form, "Data\\photo.png");
    form->cmdPreview->click();
    EXPECT_EQ(form->stkPreview->currentWidget(), form->imgPreview);
    EXPECT_FALSE(form->imgPreview->pixmap().isNull());
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, BackWhereItCameFromRestoresIntoTheSourceFolder) {
    MakeStory();
    const auto form = Open();
    form->ChoosePoint(0);
    Select(*form, "Data\\gone.txt");
    form->optWhereItCameFrom->setChecked(true);
    form->cmdRestore->click();
    EXPECT_EQ(box.read(source / "gone.txt"), "gone");
    EXPECT_EQ(restore::OriginRoot("Data\\gone.txt", {"D:\\Other", "C:\\Data"}), "C:\\");
    EXPECT_EQ(restore::OriginRoot("Elsewhere\\x.txt", {"C:\\Data"}), std::nullopt);
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(RestoreFilesWindow, AnEncryptedJobRestoresThroughThePasswordCommand) {
    ASSERT_TRUE(WriteJobEncryption(Job("C:\\Backups\\", "Weekly Job"), {true, false}).ok());
    const fs::path script = box.root() / "bin" / "passwords";
    box.write(script, "#!/bin/sh\nprintf 'the password\\n'\n");
    fs::permissions(script, fs::perms::owner_all);
    setenv("RAVELKEEP_PASSWORD_COMMAND", script.c_str(), 1);
    MakeStory();

    const auto form = Open();
    form->txtDestination->setText("C:\\Window");
    form->cmdRestoreAll->click();
    EXPECT_EQ(Restored("Window"), snapshots[2]);

    // The restore of a whole point, as "rkbak /restore" makes it.
    const restore::PointRestoreResult whole =
        restore::RestorePointInTime(CurrentInstallation(), JobFolder(), made[1], "C:\\Whole");
    EXPECT_EQ(whole.status, RunStatus::Done) << whole.reason;
    EXPECT_EQ(Restored("Whole"), snapshots[1]);

    // Without the password, the unzip utility's refusal is told.
    box.write(script, "#!/bin/sh\nprintf 'another one\\n'\n");
    seam.AnswerMessage(ui::Answer::OK);
    form->txtDestination->setText("C:\\Wrong");
    form->cmdRestoreAll->click();
    ASSERT_EQ(seam.Calls().size(), 1U);
    EXPECT_EQ(seam.Calls()[0].icon, ui::Icon::Critical);
    EXPECT_FALSE(fs::exists(box.c() / "Wrong" / "Data"));
}

TEST_F(RestoreFilesWindow, CancelStopsAnExtractionInProgressAndLeavesTheFolderAsItWas) {
    MakeStory();
    // An unzip utility that reads the point records and then takes its time
    // over every extraction.
    const fs::path slow = box.root() / "bin" / "slow-unzip";
    box.write(slow, "#!/bin/sh\nfor a in \"$@\"; do case \"$a\" in -R@*) exec " +
                        (ProgramDir() / "rkunzip").string() +
                        " \"$@\";; esac; done\nexec sleep 30\n");
    fs::permissions(slow, fs::perms::owner_all);
    Installation installation = CurrentInstallation();
    installation.unzipUtility = platform::ToWindowsPath(slow.string());
    frmRestoreFiles form(installation, JobFolder());
    ASSERT_TRUE(form.LoadPoints());
    box.write(box.c() / "Dest" / "Data" / "a.txt", "mine");

    bool sawBusy = false;
    SetToolWaitHook([&] {
        if (!form.cmdCancel->isEnabled())
            return;
        // While it works the bar shows it and the rest of the form waits.
        sawBusy = form.Running() && !form.cmdRestoreAll->isEnabled();
        form.cmdCancel->click();
    });
    form.txtDestination->setText("C:\\Dest");
    form.optReplace->setChecked(true);
    form.cmdRestoreAll->click();
    SetToolWaitHook({});

    EXPECT_TRUE(sawBusy);
    EXPECT_FALSE(form.Running());
    EXPECT_TRUE(form.cmdRestoreAll->isEnabled());
    EXPECT_EQ(form.lblStatus->text().toStdString(), "Cancelled; nothing replaced");
    EXPECT_EQ(Restored("Dest"), (Files{{"a.txt", "mine"}}));
    EXPECT_FALSE(RunFoldersLeft("Dest"));
    EXPECT_EQ(seam.Problems(), "");
}

TEST(KeptBothName, TheDateGoesBeforeTheExtension) {
    EXPECT_EQ(restore::KeptBothName("f.txt", "2026-12-09 14:00:00"), "f (2026-12-09 14-00-00).txt");
    EXPECT_EQ(restore::KeptBothName("README", "2026-12-09 14:00:00"),
              "README (2026-12-09 14-00-00)");
    EXPECT_EQ(restore::KeptBothName(".bashrc", "2026-12-09 14:00:00"),
              ".bashrc (2026-12-09 14-00-00)");
}

} // namespace
} // namespace rk::test
