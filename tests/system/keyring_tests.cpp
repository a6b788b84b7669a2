// The keyring path through a real Secret Service: gnome-keyring-daemon on
// the private session bus, its login keyring made and unlocked with a test
// password fed on its standard input. The program keeps a job's passwords
// there (the Encrypt New Backups dialog), its scheduled backups read them
// without anyone, and a locked keyring skips /ib with a notification. The
// password is found nowhere but in the keyring: not on any command line, in
// the utilities' environment, the job's or the program's settings or the
// temporary folder.

#include "engine/archive_encryption.h"
#include "engine/job.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "engine/skipped_run.h"
#include "jobs/frm_encryption.h"
#include "keyring_lock.h"
#include "platform/drive_map.h"
#include "platform/secret_store.h"
#include "system_fixture.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"

#include <QDialog>

#include <fstream>
#include <sstream>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPassword = "Keyring-Test-Pw 8841";

class KeyringTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(Have("/usr/bin/gnome-keyring-daemon"));
        StartSessionBus();
        if (HasFatalFailure())
            return;
        setenv("DBUS_SESSION_BUS_ADDRESS", UserBus().c_str(), 1);
        setenv("XDG_DATA_HOME", (box.root() / "data").c_str(), 1);
        fs::create_directories(box.root() / "data");
        keyring_.GiveInput("login-test-password");
        ASSERT_EQ(keyring_.Start(
                      {"/usr/bin/gnome-keyring-daemon", "--foreground", "--unlock",
                       "--components=secrets"},
                      {{"DBUS_SESSION_BUS_ADDRESS=" + UserBus()}, box.root() / "keyring.log", {}}),
                  std::nullopt);
        // Ready once its service answers on the bus.
        // Nothing asks the Secret Service before this daemon owns its name:
        // the bus would start another one of its own (D-Bus activation).
        ASSERT_TRUE(Eventually(std::chrono::seconds(15), [&] {
            return rk::test::Run({"/usr/bin/dbus-send", "--session", "--print-reply",
                                  "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus.NameHasOwner",
                                  "string:org.freedesktop.secrets"},
                                 {"DBUS_SESSION_BUS_ADDRESS=" + UserBus()})
                       .out.find("boolean true") != std::string::npos;
        })) << box.read(box.root() / "keyring.log");
        ASSERT_TRUE(Eventually(std::chrono::seconds(15), [] { return DefaultKeyringReady(); }))
            << box.read(box.root() / "keyring.log");
        InstallProgram();
        box.write(box.c() / "Src" / "notes.txt", "private notes");
        AddJob("Secret Job", "C:\\Src");
    }
    void TearDown() override {
        keyring_.Stop();
        SystemTest::TearDown();
    }

    platform::SecretOwner Owner() const { return {storeText + "\\", "Secret Job"}; }

    // The program's unattended /ib run on the private bus.
    RunResult ScheduledRun(const std::vector<std::string>& more = {}) {
        std::vector<std::string> environment{"DBUS_SESSION_BUS_ADDRESS=" + UserBus(),
                                             "RAVELKEEP_UNATTENDED=1", "DISPLAY", "WAYLAND_DISPLAY",
                                             "QT_QPA_PLATFORM"};
        environment.insert(environment.end(), more.begin(), more.end());
        return rk::test::Run({(program / "rkbak").string(), "/ib/Secret Job"}, environment);
    }

    // Every file under `folder` whose bytes hold the password.
    static std::vector<std::string> FilesHoldingPassword(const fs::path& folder) {
        std::vector<std::string> holding;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(folder, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (!it->is_regular_file())
                continue;
            std::ifstream file(it->path(), std::ios::binary);
            std::stringstream bytes;
            bytes << file.rdbuf();
            if (bytes.str().find(kPassword) != std::string::npos)
                holding.push_back(it->path().string());
        }
        return holding;
    }

  private:
    StartedProcess keyring_;
};

TEST_F(KeyringTest, PasswordsAreKeptNewestFirstByJobStoreAndJobName) {
    ASSERT_EQ(platform::StoreKeyringPasswords(Owner(), {"newer one", "older one"}).reason(), "");
    platform::KeyringAnswer answer = platform::ReadKeyringPasswords(Owner(), false);
    EXPECT_EQ(answer.state, platform::KeyringState::Ready) << answer.problem;
    EXPECT_EQ(answer.passwords, (std::vector<std::string>{"newer one", "older one"}));
    // Another job of the same store has none.
    EXPECT_TRUE(
        platform::ReadKeyringPasswords({storeText + "\\", "Other"}, false).passwords.empty());
    // The item is found by its attributes by any Secret Service client.
    const RunResult looked = rk::test::Run(
        {"/usr/bin/secret-tool", "lookup", "jobstore", storeText + "\\", "job", "Secret Job"},
        {"DBUS_SESSION_BUS_ADDRESS=" + UserBus()});
    EXPECT_EQ(looked.out, "newer one\nolder one\n") << looked.err;
    ASSERT_TRUE(platform::ForgetKeyringPasswords(Owner()).ok());
    EXPECT_TRUE(platform::ReadKeyringPasswords(Owner(), false).passwords.empty());
}

TEST_F(KeyringTest, TheDialogStoresThePasswordInTheKeyringAndTheScheduledRunUsesIt) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureQtApplication();
    ui::ScriptedSeam seam;
    {
        const ui::SeamScope scope(seam);
        // An earlier password, then the new one typed twice.
        ASSERT_EQ(platform::StoreKeyringPasswords(Owner(), {"the old password"}).reason(), "");
        seam.AnswerForm([](QDialog& form) {
            auto& dialog = dynamic_cast<jobs::frmEncryption&>(form);
            dialog.chkEncrypt->setChecked(true);
            dialog.txtPassword->setText(kPassword);
            dialog.txtConfirm->setText(kPassword);
            form.accept();
        });
        EXPECT_TRUE(jobs::ShowEncryptionDialog(nullptr, Job(storeText + "\\", "Secret Job")));
        EXPECT_EQ(seam.Problems(), "");
    }
    platform::KeyringAnswer answer = platform::ReadKeyringPasswords(Owner(), false);
    EXPECT_EQ(answer.passwords, (std::vector<std::string>{kPassword, "the old password"}));
    EXPECT_TRUE(ReadJobEncryption(Job(storeText + "\\", "Secret Job")).encrypt);

    // The utilities are watched: a stand-in zip utility writes down its
    // command line and environment, then runs the real rkzip.
    const RunResult run = ScheduledRun();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Archives("Secret Job").size(), 1u) << run.err;
    EXPECT_TRUE(ArchiveIsEncrypted(Archives("Secret Job")[0].string()))
        << "needs the utilities' encryption";
    EXPECT_EQ(run.out.find(kPassword), std::string::npos);
    EXPECT_EQ(run.err.find(kPassword), std::string::npos);
    EXPECT_EQ(FilesHoldingPassword(box.root()), std::vector<std::string>{});
}

TEST_F(KeyringTest, SwitchingOffKeepsThePasswordsUnlessThePersonChoosesToForgetThem) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EnsureQtApplication();
    ASSERT_EQ(platform::StoreKeyringPasswords(Owner(), {kPassword}).reason(), "");
    const Job job(storeText + "\\", "Secret Job");
    ASSERT_TRUE(WriteJobEncryption(job, {true, false}).ok());
    const auto switchOff = [](QDialog& form) {
        auto& dialog = dynamic_cast<jobs::frmEncryption&>(form);
        EXPECT_NE(dialog.lblKept->text().toStdString().find("keeps the password"),
                  std::string::npos)
            << dialog.lblKept->text().toStdString();
        dialog.chkEncrypt->setChecked(false);
        form.accept();
    };
    ui::ScriptedSeam seam;
    const ui::SeamScope scope(seam);
    seam.AnswerForm(switchOff);
    seam.AnswerMessage(ui::Answer::No);
    EXPECT_TRUE(jobs::ShowEncryptionDialog(nullptr, job));
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_NE(seam.Calls()[1].text.find("The earlier passwords stay stored in the desktop's "
                                        "keyring, so the encrypted backups still restore."),
              std::string::npos)
        << seam.Calls()[1].text;
    EXPECT_EQ(seam.Calls()[1].defaultAnswer, ui::Answer::No);
    EXPECT_FALSE(ReadJobEncryption(job).encrypt);
    EXPECT_EQ(platform::ReadKeyringPasswords(Owner(), false).passwords,
              std::vector<std::string>{kPassword});

    ASSERT_TRUE(WriteJobEncryption(job, {true, false}).ok());
    seam.AnswerForm(switchOff);
    seam.AnswerMessage(ui::Answer::Yes);
    EXPECT_TRUE(jobs::ShowEncryptionDialog(nullptr, job));
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(platform::ReadKeyringPasswords(Owner(), false).passwords.empty());
}

TEST_F(KeyringTest, TheUtilitiesGetThePasswordOnlyThroughTheirDescriptor) {
    ASSERT_EQ(platform::StoreKeyringPasswords(Owner(), {kPassword}).reason(), "");
    ASSERT_TRUE(WriteJobEncryption(Job(storeText + "\\", "Secret Job"), {true, false}).ok());
    // The probe stands in for the zip utility: it writes down its command
    // line, its environment and what its descriptor 4 held.
    fs::copy_file(ProgramDir() / "rk_password_probe", program / "rk_password_probe");
    const fs::path settings = program / "rkbak.ini";
    std::string text = box.read(settings);
    const std::string zipKey = "ziputil=";
    const size_t at = text.find(zipKey);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at + zipKey.size(), text.find('\r', at) - at - zipKey.size(),
                 "C:\\Program Files\\rk\\rk_password_probe");
    box.write(settings, text);
    const fs::path record = box.root() / "probe" / "record.txt";
    fs::create_directories(record.parent_path());
    ScheduledRun({"RK_PROBE_RECORD=" + record.string()});
    const std::string recorded = box.read(record);
    ASSERT_NE(recorded.find("fd4:" + std::string(kPassword) + "\n"), std::string::npos) << recorded;
    const std::string seen = recorded.substr(0, recorded.find("fd4:"));
    EXPECT_EQ(seen.find(kPassword), std::string::npos) << "argv and environment: " << seen;
    EXPECT_NE(seen.find("env:RAVELKEEP_PASSWORD_FD=4"), std::string::npos) << seen;
    // What ps shows while the utility runs: the program's and the utility's
    // command lines, without the password.
    EXPECT_NE(seen.find("ps:" + (program / "rkbak").string() + " /ib/Secret Job"),
              std::string::npos)
        << seen;
    EXPECT_NE(seen.find(" -i -P -r -whs -yp -^^ -x@"), std::string::npos) << seen;
    fs::remove(record);
    EXPECT_EQ(FilesHoldingPassword(box.root()), std::vector<std::string>{});
}

TEST_F(KeyringTest, ALockedKeyringSkipsTheScheduledRunAndTellsTheDesktop) {
    ASSERT_EQ(platform::StoreKeyringPasswords(Owner(), {kPassword}).reason(), "");
    ASSERT_TRUE(WriteJobEncryption(Job(storeText + "\\", "Secret Job"), {true, false}).ok());
    ASSERT_EQ(LockDefaultKeyring(), "");
    ASSERT_EQ(platform::ReadKeyringPasswords(Owner(), false).state, platform::KeyringState::Locked);

    const RunResult run = ScheduledRun();
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("The password of the encrypted backups of \"Secret Job\" is not at "
                           "hand (the desktop's keyring is locked); the backup runs when it is."),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(Archives("Secret Job").empty());
    const std::optional<SkippedRun> skipped = ReadSkippedRun(storeText + "\\Secret Job");
    ASSERT_TRUE(skipped);
    EXPECT_NE(skipped->reason.find("keyring is locked"), std::string::npos) << skipped->reason;
    ASSERT_TRUE(Eventually(std::chrono::seconds(5), [&] {
        return Notifications().find("its password is not at hand") != std::string::npos;
    })) << Notifications();

    // The retry keeps the record and tells nothing new.
    const std::string told = Notifications();
    const RunResult retry = ScheduledRun({"RAVELKEEP_RETRY=1"});
    EXPECT_EQ(retry.exitCode, 1) << retry.err;
    EXPECT_TRUE(ReadSkippedRun(storeText + "\\Secret Job"));
    EXPECT_EQ(Notifications(), told);
}

} // namespace
} // namespace rk::test
