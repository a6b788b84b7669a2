// The "On the copy" column of the Restore Files window, offscreen with a
// scripted seam: backups made by rkzip, the job's copy sent by the real
// rclone to a remote of type "local" in the sandbox. Backups copied say
// "Yes", one made after the copy or whose copy has another size says "No",
// a copy that cannot be reached says "?" and the status bar says why, and a
// job without a copy has no such column. The window stays usable while the
// copy is read.

#include "engine/copy_record.h"
#include "engine/job_copy.h"
#include "restore/point_in_time/frm_restore_files.h"
#include "restore_fixture.h"
#include "support/rclone_config.h"
#include "support/saved_environment.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTreeWidget>

#include <chrono>
#include <ctime>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using restore::frmRestoreFiles;

constexpr const char* kOldest = "rk_2026_12_01_10_00_00.zip";
constexpr const char* kMiddle = "rk_2026_12_02_09_00_00.zip";
constexpr const char* kNewest = "rk_2026_12_02_18_00_00.zip";

// A local TCP port nothing listens on: bound, then let go.
int ClosedPort() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(listener);
    return port;
}

class RestoreFilesCopyColumn : public RestoreFixture {
  protected:
    std::unique_ptr<PrivateRcloneConfig> rclone;
    fs::path remoteFolder = box.root() / "remote" / "Weekly";
    std::string remote = "offsite:" + remoteFolder.string();

    void SetUp() override {
        if (!HaveRclone())
            GTEST_SKIP() << "rclone is not installed";
        RestoreFixture::SetUp();
        rclone = std::make_unique<PrivateRcloneConfig>(box.root() / "rclone" / "rclone.conf");
        rclone->AddLocalRemote("offsite");
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                     "folder1=C:\\Data\r\n");
        box.write(job / "excl.ini", "");
    }

    // Two backups sent to the copy, then a third one that is not.
    void TwoCopiedAndOneNot() {
        ASSERT_TRUE(WriteCopyRemote(JobFolder(), remote));
        MakeArchive(kOldest, {{"a.txt", "a one"}, {"sub/b.txt", "b one"}});
        MakeArchive(kMiddle, {{"a.txt", "a two"}});
        const CopyEnd copied = CopyJob(JobFolder(), {}, std::time(nullptr));
        ASSERT_TRUE(copied.complete) << copied.reason;
        MakeArchive(kNewest, {{"a.txt", "a three"}});
    }

    std::unique_ptr<frmRestoreFiles> Open() {
        auto form = std::make_unique<frmRestoreFiles>(CurrentInstallation(), JobFolder());
        EXPECT_TRUE(form->LoadPoints()) << seam.Problems();
        return form;
    }

    // Lets the window take events until the copy has been read.
    static void WaitForTheCopy(frmRestoreFiles& form) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (form.ListingCopy() && std::chrono::steady_clock::now() < giveUp) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_FALSE(form.ListingCopy()) << "the copy was never read";
    }

    // The "On the copy" text of the point of that archive.
    static std::string OnCopy(const frmRestoreFiles& form, const std::string& archive) {
        for (int i = 0; i < form.lstPoints->topLevelItemCount(); ++i)
            if (form.lstPoints->topLevelItem(i)->toolTip(0).toStdString() == archive)
                return form.lstPoints->topLevelItem(i)->text(4).toStdString();
        return "(no such point)";
    }
};

TEST_F(RestoreFilesCopyColumn, CopiedBackupsSayYesAndOneMadeAfterTheCopySaysNo) {
    TwoCopiedAndOneNot();
    const auto form = Open();
    ASSERT_EQ(form->lstPoints->columnCount(), 5);
    EXPECT_EQ(form->lstPoints->headerItem()->text(4).toStdString(), "On the copy");
    // The backups are shown and usable before the copy has answered.
    ASSERT_TRUE(form->ListingCopy());
    EXPECT_TRUE(form->lstPoints->isEnabled());
    EXPECT_EQ(OnCopy(*form, kNewest), "...");
    EXPECT_EQ(form->lblStatus->text().toStdString(), "3 backups; reading the copy on " + remote);
    EXPECT_EQ(form->ChosenPoint(), 2);

    WaitForTheCopy(*form);
    EXPECT_EQ(OnCopy(*form, kOldest), "Yes");
    EXPECT_EQ(OnCopy(*form, kMiddle), "Yes");
    EXPECT_EQ(OnCopy(*form, kNewest), "No");
    // Every backup is still on this computer.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(form->lstPoints->topLevelItem(i)->text(3).toStdString(), "Yes");
    EXPECT_EQ(form->lblStatus->text().toStdString(), "3 backups, 2 of them on the copy");
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(RestoreFilesCopyColumn, ABackupWhoseCopyHasAnotherSizeSaysNo) {
    TwoCopiedAndOneNot();
    // A copy cut short by a send that broke off.
    const std::string whole = box.read(remoteFolder / kOldest);
    box.write(remoteFolder / kOldest, whole.substr(0, whole.size() / 2));
    const auto form = Open();
    WaitForTheCopy(*form);
    EXPECT_EQ(OnCopy(*form, kOldest), "No");
    EXPECT_EQ(OnCopy(*form, kMiddle), "Yes");
    EXPECT_EQ(OnCopy(*form, kNewest), "No");
    EXPECT_EQ(form->lblStatus->text().toStdString(), "3 backups, 1 of them on the copy");
}

TEST_F(RestoreFilesCopyColumn, ACopyThatCannotBeReachedSaysQuestionMarkAndWhy) {
    TwoCopiedAndOneNot();
    // The copy's storage is offline: a WebDAV server nobody answers for.
    const int port = ClosedPort();
    ASSERT_NE(port, 0);
    rclone->AddWebDavRemote("gone", "http://127.0.0.1:" + std::to_string(port) + "/");
    SavedEnvironment quick;
    quick.Set("RCLONE_LOW_LEVEL_RETRIES", "1");
    ASSERT_TRUE(WriteCopyRemote(JobFolder(), "gone:Weekly"));

    const auto form = Open();
    WaitForTheCopy(*form);
    for (const char* archive : {kOldest, kMiddle, kNewest})
        EXPECT_EQ(OnCopy(*form, archive), "?") << archive;
    const std::string status = form->lblStatus->text().toStdString();
    const std::string expected =
        "The copy on gone:Weekly cannot be read: cannot list gone:Weekly: ";
    EXPECT_EQ(status.substr(0, expected.size()), expected) << status;
    EXPECT_NE(status.find("connection refused"), std::string::npos) << status;
    // The reason stays beside each "?" when the status bar moves on.
    EXPECT_EQ("The copy on gone:Weekly cannot be read: " +
                  form->lstPoints->topLevelItem(0)->toolTip(4).toStdString(),
              status);
    // The backups here can be restored all the same.
    EXPECT_EQ(form->ChosenPoint(), 2);
    EXPECT_NE(form->ItemOf("a.txt"), nullptr);
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(RestoreFilesCopyColumn, ARemoteTheConfigurationDoesNotHaveSaysQuestionMarkAndWhy) {
    TwoCopiedAndOneNot();
    ASSERT_TRUE(WriteCopyRemote(JobFolder(), "elsewhere:Weekly"));
    const auto form = Open();
    WaitForTheCopy(*form);
    EXPECT_EQ(OnCopy(*form, kMiddle), "?");
    EXPECT_EQ(form->lblStatus->text().toStdString(),
              "The copy on elsewhere:Weekly cannot be read: rclone has no remote named "
              "\"elsewhere\" (make it with rclone config)");
}

TEST_F(RestoreFilesCopyColumn, WithoutACopyThereIsNoCopyColumn) {
    MakeArchive(kOldest, {{"a.txt", "a one"}});
    ASSERT_TRUE(ReadCopyRecord(JobFolder()).remote.empty());
    const auto form = Open();
    EXPECT_EQ(form->lstPoints->columnCount(), 4);
    EXPECT_EQ(form->lstPoints->headerItem()->text(3).toStdString(), "On this computer");
    EXPECT_FALSE(form->ListingCopy());
    EXPECT_EQ(form->lblStatus->text().toStdString(), "1 backup");
    EXPECT_EQ(form->lstPoints->topLevelItem(0)->text(4).toStdString(), "");
}

} // namespace
} // namespace rk::test
