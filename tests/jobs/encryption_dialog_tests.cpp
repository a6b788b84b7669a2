// The Job menu's Encrypt New Backups... dialog, offscreen with the scripted
// seam, in a sandbox without any keyring (no session bus): the password typed
// twice, the strength hint and the warning, the offer to ask at each run,
// the password command, and switching encryption off. No password is ever
// written to the job's or the program's settings.

#include "engine/archive_encryption.h"
#include "engine/job.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_encryption.h"
#include "jobs/frm_password_prompt.h"
#include "jobs/password_strength.h"
#include "main_window_fixture.h"
#include "platform/drive_map.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <cstdlib>

namespace rk::test {
namespace {

constexpr const char* kTyped = "correct horse battery staple";

class EncryptionDialogTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Job("Weekly", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                      "folder1=C:\\Data\r\n");
        sandbox.write(Store() / "Weekly" / "excl.ini", "");
        sandbox.write(sandbox.c() / "Data" / "a.txt", "alpha");
    }
    void TearDown() override {
        unsetenv("RAVELKEEP_PASSWORD_COMMAND");
        SetPasswordAsker({});
    }

    rk::Job WeeklyJob() const { return rk::Job("C:\\Backups\\", "Weekly"); }

    // The dialog as a person fills it: the box ticked, the two passwords.
    void Fill(const std::string& password, const std::string& again, std::string* hint = nullptr,
              std::string* warning = nullptr) {
        seam.AnswerForm([=](QDialog& form) {
            auto& dialog = dynamic_cast<jobs::frmEncryption&>(form);
            dialog.chkEncrypt->setChecked(true);
            dialog.txtPassword->setText(QString::fromStdString(password));
            dialog.txtConfirm->setText(QString::fromStdString(again));
            if (hint)
                *hint = dialog.lblStrength->text().toStdString();
            if (warning)
                *warning = dialog.lblWarning->text().toStdString();
            EXPECT_EQ(dialog.txtPassword->echoMode(), QLineEdit::Password);
            form.accept();
        });
    }

    // Nothing the program wrote holds the password.
    void ExpectPasswordNowhere() const {
        EXPECT_EQ(JobSettings("Weekly").find(kTyped), std::string::npos);
        EXPECT_EQ(sandbox.read(ProgramSettingsFile()).find(kTyped), std::string::npos);
    }
};

TEST_F(EncryptionDialogTest, WithoutAKeyringTheJobAsksAtEachRunWhenThePersonAgrees) {
    const auto window = Open();
    Select(*window, "Weekly");
    std::string hint;
    std::string warning;
    Fill(kTyped, "a different one");
    seam.AnswerMessage(ui::Answer::OK); // the two passwords differ
    Fill(kTyped, kTyped, &hint, &warning);
    seam.AnswerMessage(ui::Answer::Yes); // ask at each run instead
    window->mnuJob.at(jobs::JobCommand::Encryption)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    ASSERT_EQ(seam.Calls().size(), 4u);
    EXPECT_EQ(seam.Calls()[1].text, "The two passwords differ. Type the same password twice.");
    EXPECT_NE(seam.Calls()[3].text.find("The password cannot be stored in the desktop's keyring"),
              std::string::npos)
        << seam.Calls()[3].text;
    EXPECT_NE(seam.Calls()[3].text.find("Ask for the password at each backup and restore"),
              std::string::npos);
    EXPECT_EQ(seam.Calls()[3].defaultAnswer, ui::Answer::No);
    EXPECT_EQ(warning, jobs::kLostPasswordWarning);
    EXPECT_EQ(hint, jobs::PasswordStrengthHint(kTyped));
    EXPECT_EQ(ReadJobEncryption(WeeklyJob()), (JobEncryption{true, true}));
    EXPECT_NE(JobSettings("Weekly").find("[encryption]\r\nencrypt=-1\r\naskeachrun=-1"),
              std::string::npos)
        << JobSettings("Weekly");
    ExpectPasswordNowhere();
}

TEST_F(EncryptionDialogTest, RefusingToAskAtEachRunChangesNothing) {
    const auto window = Open();
    Select(*window, "Weekly");
    Fill(kTyped, kTyped);
    seam.AnswerMessage(ui::Answer::No);
    window->mnuJob.at(jobs::JobCommand::Encryption)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(ReadJobEncryption(WeeklyJob()), JobEncryption{});
    EXPECT_EQ(JobSettings("Weekly").find("[encryption]"), std::string::npos);
}

TEST_F(EncryptionDialogTest, WithAPasswordCommandTheKeyringIsNotUsed) {
    setenv("RAVELKEEP_PASSWORD_COMMAND", "/bin/true", 1);
    const auto window = Open();
    Select(*window, "Weekly");
    std::string kept;
    seam.AnswerForm([&](QDialog& form) {
        auto& dialog = dynamic_cast<jobs::frmEncryption&>(form);
        kept = dialog.lblKept->text().toStdString();
        dialog.chkEncrypt->setChecked(true);
        form.accept();
    });
    window->mnuJob.at(jobs::JobCommand::Encryption)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_NE(kept.find("RAVELKEEP_PASSWORD_COMMAND"), std::string::npos) << kept;
    EXPECT_EQ(ReadJobEncryption(WeeklyJob()), (JobEncryption{true, false}));
}

TEST_F(EncryptionDialogTest, SwitchingOffSaysTheEarlierBackupsStillNeedTheirPassword) {
    ASSERT_TRUE(WriteJobEncryption(WeeklyJob(), {true, true}).ok());
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([](QDialog& form) {
        auto& dialog = dynamic_cast<jobs::frmEncryption&>(form);
        EXPECT_TRUE(dialog.chkEncrypt->isChecked());
        dialog.chkEncrypt->setChecked(false);
        EXPECT_FALSE(dialog.txtPassword->isEnabled());
        form.accept();
    });
    seam.AnswerMessage(ui::Answer::OK);
    window->mnuJob.at(jobs::JobCommand::Encryption)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(ReadJobEncryption(WeeklyJob()), JobEncryption{});
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[1].text,
              "New backups of \"Weekly\" are no longer encrypted. The backups encrypted before "
              "still need their password to restore.");
}

TEST_F(EncryptionDialogTest, AJobThatAsksAtEachRunAsksInTheWindowAndEncryptsItsBackup) {
    ZipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkzip").string());
    UnzipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkunzip").string());
    ASSERT_TRUE(WriteJobEncryption(WeeklyJob(), {true, true}).ok());
    SetPasswordAsker(jobs::AskPasswordInWindow);
    const auto window = Open();
    Select(*window, "Weekly");
    std::string why;
    seam.AnswerForm([&](QDialog& form) {
        auto& prompt = dynamic_cast<jobs::frmPasswordPrompt&>(form);
        why = prompt.lblWhy->text().toStdString();
        prompt.txtPassword->setText(kTyped);
        form.accept();
    });
    window->mnuJob.at(jobs::JobCommand::RootBackup)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(window->StatusText(), "Done");
    EXPECT_NE(why.find("The backups of \"Weekly\" are encrypted"), std::string::npos) << why;
    std::vector<fs::path> archives;
    for (const auto& entry : fs::directory_iterator(Store() / "Weekly"))
        if (entry.path().extension() == ".zip")
            archives.push_back(entry.path());
    ASSERT_EQ(archives.size(), 1u);
    EXPECT_TRUE(ArchiveIsEncrypted(archives[0].string()));
    ExpectPasswordNowhere();
    if (fs::exists("/usr/bin/7zz")) {
        EXPECT_EQ(
            rk::test::Run({"/usr/bin/7zz", "t", std::string("-p") + kTyped, archives[0].string()})
                .exitCode,
            0);
    }
}

TEST(PasswordStrength, LongerAndMoreMixedIsStronger) {
    using jobs::PasswordStrength;
    using jobs::RatePassword;
    EXPECT_EQ(RatePassword(""), PasswordStrength::None);
    EXPECT_EQ(RatePassword("Tr0ub4d!"), PasswordStrength::Weak);
    EXPECT_EQ(RatePassword("summer2026x"), PasswordStrength::Fair);
    EXPECT_EQ(RatePassword("summerholidays"), PasswordStrength::Weak);
    EXPECT_EQ(RatePassword("Summer holidays 26"), PasswordStrength::Strong);
    EXPECT_EQ(RatePassword("correct horse battery staple"), PasswordStrength::Strong);
    EXPECT_EQ(jobs::PasswordStrengthHint("abc").rfind("Strength: weak.", 0), 0u);
}

} // namespace
} // namespace rk::test
