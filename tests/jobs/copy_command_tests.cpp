// A job's copy on other storage from the window, with the real zip utility
// and the real rclone against a remote of type "local" in the sandbox: the
// copy after a backup, the Copy Backups To... dialog, Copy Now and its
// Cancel, Verify Backups and Get Job From Copy...

#include "engine/copy_record.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_copy.h"
#include "main_window_fixture.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "support/rclone_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <random>

namespace rk::test {
namespace {

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CopyCommandTest : public MainWindowTest {
  protected:
    PrivateRcloneConfig rclone{sandbox.root() / "rclone" / "rclone.conf"};
    fs::path remoteRoot = sandbox.root() / "remote";
    std::string remote = "offsite:" + (remoteRoot / "Weekly").string();
    std::time_t now = std::time(nullptr);

    void SetUp() override {
        if (!HaveRclone())
            GTEST_SKIP() << "rclone is not installed";
        MainWindowTest::SetUp();
        rclone.AddLocalRemote("offsite");
        ZipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkzip").string());
        UnzipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkunzip").string());
        sandbox.write(sandbox.c() / "Data" / "a.txt", "alpha");
        sandbox.write(sandbox.c() / "Data" / "sub" / "b.txt", "beta");
        sandbox.write(Job("Weekly", "[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n") /
                          "excl.ini",
                      "*.tmp\r\n");
        platform::SetClock([this] { return now; });
    }
    void TearDown() override { platform::SetClock({}); }

    std::vector<std::string> Archives() const {
        std::vector<std::string> names;
        for (const std::string& name : Names(Store() / "Weekly"))
            if (name.size() > 4 && name.substr(name.size() - 4) == ".zip")
                names.push_back(name);
        return names;
    }
    void SetRemote(const std::string& text) const {
        ASSERT_TRUE(WriteCopyRemote("C:\\Backups\\Weekly", text));
    }
};

TEST_F(CopyCommandTest, EachBackupFromTheWindowIsCopiedAndTheInformationSaysWhere) {
    SetRemote(remote);
    const auto window = Open();
    Select(*window, "Weekly");
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    ++now;
    sandbox.write(sandbox.c() / "Data" / "c.txt", "gamma");
    window->mnuJob.at(jobs::JobCommand::IncrementalBackup)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(window->StatusText(), "Done");
    ASSERT_EQ(Archives().size(), 2u);
    for (const std::string& name : Archives())
        EXPECT_EQ(sandbox.read(remoteRoot / "Weekly" / name),
                  sandbox.read(Store() / "Weekly" / name))
            << name;
    EXPECT_EQ(sandbox.read(remoteRoot / "Weekly" / ".rkzip-state"),
              sandbox.read(Store() / "Weekly" / ".rkzip-state"));
    EXPECT_NE(Text(window->lblLastBackup).find("\nCopy backups to: " + remote), std::string::npos)
        << Text(window->lblLastBackup);
    EXPECT_EQ(Text(window->lblLastBackup).find("pending"), std::string::npos);
}

TEST_F(CopyCommandTest, ABackupWhoseCopyCannotGoIsStillMadeAndTheCopyShowsAsPending) {
    SetRemote("gone:" + (remoteRoot / "Weekly").string());
    const auto window = Open();
    Select(*window, "Weekly");
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    EXPECT_EQ(seam.Calls().size(), 0u) << "no message: the information says it";
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_EQ(Archives().size(), 1u);
    EXPECT_NE(Text(window->lblLastBackup)
                  .find("Copy to gone:" + (remoteRoot / "Weekly").string() +
                        " pending: rclone has no remote named \"gone\" (make it with rclone "
                        "config)"),
              std::string::npos)
        << Text(window->lblLastBackup);

    // Once the remote is there, Copy Now sends what is pending.
    rclone.AddLocalRemote("gone");
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::CopyNow)->trigger();
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls().back().text,
              "Every backup of \"Weekly\" is on gone:" + (remoteRoot / "Weekly").string() + ".");
    EXPECT_EQ(Names(remoteRoot / "Weekly").size(), 4u); // archive, state, rkjob.ini, excl.ini
    EXPECT_EQ(Text(window->lblLastBackup).find("pending"), std::string::npos);
}

TEST_F(CopyCommandTest, TheDialogSavesTheRemoteAndSendsTheBackupsMadeSoFar) {
    const auto window = Open();
    Select(*window, "Weekly");
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    ASSERT_EQ(Archives().size(), 1u);
    std::string path;
    seam.AnswerForm([&](QDialog& form) {
        auto& copy = dynamic_cast<jobs::frmCopyTo&>(form);
        EXPECT_FALSE(copy.chkCopy->isChecked());
        EXPECT_FALSE(copy.cboRemote->isEnabled());
        path = copy.txtPath->text().toStdString();
        copy.chkCopy->setChecked(true);
        EXPECT_EQ(copy.cboRemote->currentText().toStdString(), "offsite");
        copy.txtPath->setText(QString::fromStdString((remoteRoot / "Weekly").string()));
        form.accept();
    });
    window->mnuJob.at(jobs::JobCommand::CopyTo)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(path, "ravelkeep/Weekly") << "the proposed path";
    EXPECT_EQ(ReadCopyRecord("C:\\Backups\\Weekly").remote, remote);
    EXPECT_NE(JobSettings("Weekly").find("[copy]\r\nremote=" + remote), std::string::npos);
    EXPECT_TRUE(fs::exists(remoteRoot / "Weekly" / Archives().front()));

    // Unticked: the job has no copy any longer; the copy itself stays.
    seam.AnswerForm([&](QDialog& form) {
        auto& copy = dynamic_cast<jobs::frmCopyTo&>(form);
        EXPECT_TRUE(copy.chkCopy->isChecked());
        EXPECT_EQ(copy.txtPath->text().toStdString(), (remoteRoot / "Weekly").string());
        copy.chkCopy->setChecked(false);
        form.accept();
    });
    window->mnuJob.at(jobs::JobCommand::CopyTo)->trigger();
    EXPECT_EQ(ReadCopyRecord("C:\\Backups\\Weekly").remote, "");
    EXPECT_EQ(Text(window->lblLastBackup).find("Copy backups to"), std::string::npos);
    EXPECT_TRUE(fs::exists(remoteRoot / "Weekly" / Archives().front()));
}

TEST_F(CopyCommandTest, TheDialogRefusesARemoteTheConfigurationDoesNotHave) {
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        auto& copy = dynamic_cast<jobs::frmCopyTo&>(form);
        copy.chkCopy->setChecked(true);
        copy.txtPath->setText("backups/../../elsewhere");
        form.accept();
    });
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::CopyTo)->trigger();
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls().back().text,
              "The backups of \"Weekly\" cannot be copied to offsite:backups/../../elsewhere: the "
              "path \"backups/../../elsewhere\" on \"offsite\" cannot be used: it holds a control "
              "character or a \"..\" step");
    EXPECT_EQ(ReadCopyRecord("C:\\Backups\\Weekly").remote, "");
}

TEST_F(CopyCommandTest, WithoutRcloneTheDialogSaysHowToGetIt) {
    SavedEnvironment environment;
    fs::create_directories(sandbox.root() / "emptybin");
    environment.Set("PATH", (sandbox.root() / "emptybin").string());
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        auto& copy = dynamic_cast<jobs::frmCopyTo&>(form);
        EXPECT_EQ(copy.lblRclone->text().toStdString(),
                  "rclone is not installed: install it with \"sudo apt install rclone\" to keep a "
                  "copy of the backups on other storage.");
        EXPECT_FALSE(copy.chkCopy->isEnabled());
        EXPECT_FALSE(copy.cmdNewRemote->isEnabled());
        form.reject();
    });
    window->mnuJob.at(jobs::JobCommand::CopyTo)->trigger();
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(CopyCommandTest, CancelStopsTheCopyAndTheNextCopyCompletesIt) {
    // A large archive, sent slowly, so Cancel finds rclone at work.
    std::mt19937 random(7);
    std::string bytes(3'000'000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    sandbox.write(Store() / "Weekly" / "rk_2026_01_01_10_00_00.zip", bytes);
    SetRemote(remote);
    SavedEnvironment environment;
    environment.Set("RCLONE_BWLIMIT", "500k");
    const auto window = Open();
    Select(*window, "Weekly");
    bool cancelSeen = false;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (!window->cmdCancelRun->isHidden() && window->cmdCancelRun->isEnabled() &&
            window->axProgressBar->value() > 0) {
            cancelSeen = true;
            window->cmdCancelRun->click();
        }
    });
    cancel.start(100);
    window->mnuJob.at(jobs::JobCommand::CopyNow)->trigger();
    cancel.stop();
    EXPECT_TRUE(cancelSeen);
    EXPECT_EQ(seam.Calls().size(), 0u) << "a cancelled copy needs no message";
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
    EXPECT_FALSE(fs::exists(remoteRoot / "Weekly" / "rk_2026_01_01_10_00_00.zip"));
    EXPECT_NE(Text(window->lblLastBackup).find(" pending: the copy was cancelled"),
              std::string::npos)
        << Text(window->lblLastBackup);

    environment.Restore();
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::CopyNow)->trigger();
    EXPECT_EQ(sandbox.read(remoteRoot / "Weekly" / "rk_2026_01_01_10_00_00.zip"), bytes);
    EXPECT_TRUE(Names(remoteRoot / ".rk-incoming-Weekly").empty());
}

TEST_F(CopyCommandTest, VerifyBackupsNamesAnArchiveWhoseCopyDiffers) {
    SetRemote(remote);
    const auto window = Open();
    Select(*window, "Weekly");
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    const std::string archive = Archives().front();
    std::string copy = sandbox.read(remoteRoot / "Weekly" / archive);
    copy[copy.size() / 2] = static_cast<char>(copy[copy.size() / 2] ^ 1);
    sandbox.write(remoteRoot / "Weekly" / archive, copy);
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::VerifyBackups)->trigger();
    ASSERT_EQ(seam.Calls().size(), 1u);
    const std::string& text = seam.Calls().back().text;
    EXPECT_NE(text.find("\n\nThe copy on " + remote + " does not match:\n" + archive +
                        " differs from the local file"),
              std::string::npos)
        << text;
    EXPECT_EQ(seam.Calls().back().icon, ui::Icon::Exclamation);
    EXPECT_EQ(window->StatusText(), "Could not complete last action");
}

TEST_F(CopyCommandTest, GetJobFromCopyBringsAJobIntoTheStoreAndListsIt) {
    SetRemote(remote);
    {
        const auto window = Open();
        Select(*window, "Weekly");
        window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    }
    const std::vector<std::string> archives = Archives();
    // A new computer: an empty job store.
    fs::rename(Store(), sandbox.root() / "old-store");
    fs::create_directories(Store());
    const auto window = Open();
    EXPECT_TRUE(Listed(*window).empty());
    std::vector<std::string> offered;
    seam.AnswerForm([&](QDialog& form) {
        auto& get = dynamic_cast<jobs::frmGetJob&>(form);
        get.txtPath->setText(QString::fromStdString(remoteRoot.string()));
        get.cmdList->click();
        for (int row = 0; row < get.lstJobs->count(); ++row)
            offered.push_back(get.lstJobs->item(row)->text().toStdString());
        form.accept();
    });
    window->mnuFile.at(jobs::FileCommand::GetJobFromCopy)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(offered, std::vector<std::string>{"Weekly"});
    EXPECT_EQ(Listed(*window), std::vector<std::string>{"Weekly"});
    EXPECT_EQ(window->lstBackupJobs->currentItem()->text().toStdString(), "Weekly");
    EXPECT_EQ(Archives(), archives);
    EXPECT_EQ(sandbox.read(Store() / "Weekly" / archives.front()),
              sandbox.read(sandbox.root() / "old-store" / "Weekly" / archives.front()));
    EXPECT_NE(Text(window->lblLastBackup).find("Copy backups to: " + remote), std::string::npos);
}

} // namespace
} // namespace rk::test
