// Every restore path over a job whose backups are encrypted, with the real
// zip and unzip utilities: a range of archives made before encryption was
// switched on, with an earlier password and with the newest, restores whole
// and by picked files; consolidation encrypts the new archive again with the
// newest password; Verify Backups checks the authentication codes; thinning
// keeps its archives encrypted. The passwords come from the password
// command; the archives open in 7-Zip with their password.

#include "engine/archive_encryption.h"
#include "engine/archive_listing.h"
#include "engine/backup_run.h"
#include "engine/backup_verification.h"
#include "engine/job.h"
#include "engine/job_archives.h"
#include "engine/job_encryption.h"
#include "engine/job_passwords.h"
#include "engine/keep_policy.h"
#include "engine/utility_failure.h"
#include "platform/clock.h"
#include "restore/run/restore_run.h"
#include "restore/thinning_run.h"
#include "restore_fixture.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace rk::restore;

class Told final : public RestoreConversation {
  public:
    void Tell(std::string_view text, NoticeKind) override { told.emplace_back(text); }
    bool Confirm(std::string_view) override { return true; }
    void OpenFolder(const std::string&) override {}
    std::vector<std::string> told;
};

class PickingB final : public FilePicker {
  public:
    PickedFiles Pick(const std::string&, const std::vector<std::string>&,
                     const std::string& info) override {
        shownInfo = info;
        PickedFiles picked;
        picked.confirmed = true;
        picked.names = {"Data\\sub\\b.txt"};
        return picked;
    }
    std::string shownInfo;
};

class EncryptedRestore : public RestoreFixture {
  protected:
    fs::path source = box.c() / "Data";
    std::vector<std::string> made;

    void SetUp() override {
        RestoreFixture::SetUp();
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\n"
                                     "folder1=C:\\Data\r\n");
        box.write(job / "excl.ini", "");
        // Plain backups first: a root backup before encryption was on.
        box.write(source / "a.txt", "a one");
        box.write(source / "sub" / "b.txt", "b one");
        Backup(BackupMode::Root, 1);
        // Encryption on, with a first password.
        ASSERT_TRUE(WriteJobEncryption(WeeklyJob(), {true, false}).ok());
        Passwords({"first password"});
        box.write(source / "a.txt", "a two");
        Backup(BackupMode::Incremental, 2);
        // The password changed: the newest first, the earlier one kept.
        Passwords({"newest password", "first password"});
        box.write(source / "a.txt", "a three");
        box.write(source / "sub" / "b.txt", "b three");
        Backup(BackupMode::Incremental, 3);
    }
    void TearDown() override {
        platform::SetClock({});
        unsetenv("RAVELKEEP_PASSWORD_COMMAND");
    }

    static Job WeeklyJob() { return Job("C:\\Backups\\", "Weekly Job"); }

    // The password command prints these lines.
    void Passwords(const std::vector<std::string>& lines) {
        std::string printed;
        for (const std::string& line : lines)
            printed += line + "\\n";
        const fs::path script = box.root() / "bin" / "passwords";
        box.write(script, "#!/bin/sh\nprintf '" + printed + "'\n");
        fs::permissions(script, fs::perms::owner_all);
        setenv("RAVELKEEP_PASSWORD_COMMAND", script.c_str(), 1);
    }

    // A backup on 2026-12-0`day` at noon.
    void Backup(BackupMode mode, int day) {
        std::tm noon{};
        noon.tm_year = 2026 - 1900;
        noon.tm_mon = 11;
        noon.tm_mday = day;
        noon.tm_hour = 12;
        noon.tm_isdst = -1;
        const std::time_t at = std::mktime(&noon);
        platform::SetClock([at] { return at; });
        const BackupOutcome outcome = RunBackup(mode, "Weekly Job");
        ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
        made.push_back(outcome.details.archiveName);
    }

    RestoreRequest Request(ExtractAction action) const {
        RestoreRequest request;
        request.source = JobFolder();
        request.destination = "C:\\Restore";
        request.startDay = std::chrono::year{2026} / 12 / 1;
        request.endDay = std::chrono::year{2026} / 12 / 3;
        request.startText = "1.12.2026";
        request.endText = "3.12.2026";
        request.action = action;
        request.archiveNames = JobArchiveNames(JobFolder());
        return request;
    }

    // 7-Zip tests the archive with the password; its exit code.
    int SevenZipTest(const std::string& archive, const std::string& password) const {
        return rk::test::Run({"/usr/bin/7zz", "t", "-p" + password, (job / archive).string()})
            .exitCode;
    }

    // Where the encrypted data of the archive's first file entry begins,
    // past its salt and password verification value.
    static std::optional<size_t> FirstEncryptedData(const std::string& bytes) {
        const auto little = [&](size_t at, int size) {
            size_t value = 0;
            for (int i = size; i-- > 0;)
                value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
            return value;
        };
        for (size_t at = 0; at + 30 <= bytes.size() && little(at, 4) == 0x04034b50;) {
            const size_t data = at + 30 + little(at + 26, 2) + little(at + 28, 2);
            const size_t size = little(at + 18, 4);
            if (size > 16 + 2 + 10)
                return data + 16 + 2;
            at = data + size;
        }
        return std::nullopt;
    }

    Told told;
    PickingB picker;
};

TEST_F(EncryptedRestore, ArchivesBeforeAndAfterEncryptionSitSideBySide) {
    ASSERT_EQ(made.size(), 3u);
    EXPECT_FALSE(ArchiveIsEncrypted((job / made[0]).string()));
    EXPECT_TRUE(ArchiveIsEncrypted((job / made[1]).string()));
    EXPECT_TRUE(ArchiveIsEncrypted((job / made[2]).string()));
    if (!fs::exists("/usr/bin/7zz"))
        GTEST_SKIP() << "7zz is not installed";
    EXPECT_EQ(SevenZipTest(made[1], "first password"), 0);
    EXPECT_EQ(SevenZipTest(made[2], "newest password"), 0);
    EXPECT_NE(SevenZipTest(made[2], "first password"), 0);
}

TEST_F(EncryptedRestore, TheNamesAreListedWithoutAnyPassword) {
    unsetenv("RAVELKEEP_PASSWORD_COMMAND");
    const std::string listing = "C:\\App\\listing.txt";
    const ToolOutcome listed =
        WriteArchiveListing(CurrentInstallation(), JobFolder() + "\\" + made[2], listing);
    ASSERT_TRUE(ListingMade(listed, listing)) << listed.stderrTail;
    const std::string names = box.read(box.c() / "App" / "listing.txt");
    EXPECT_NE(names.find("Data\\sub\\b.txt"), std::string::npos) << names;
    EXPECT_NE(names.find("Data\\a.txt"), std::string::npos) << names;
}

TEST_F(EncryptedRestore, ExtractAllRestoresTheNewestVersionOfEveryFile) {
    const ExtractOutcome outcome = RunRestore(
        CurrentInstallation(), Request(ExtractAction::ExtractAll), progress, told, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(FilesIn(box.c() / "Restore" / fs::path(made[2]).stem()),
              (Files{{"Data/a.txt", "a three"}, {"Data/sub/b.txt", "b three"}}));
}

TEST_F(EncryptedRestore, PickedFilesComeBackFromEncryptedArchives) {
    const ExtractOutcome outcome = RunRestore(
        CurrentInstallation(), Request(ExtractAction::ExtractPicked), progress, told, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(FilesIn(box.c() / "Restore" / fs::path(made[2]).stem()),
              (Files{{"Data/sub/b.txt", "b three"}}));
    EXPECT_NE(picker.shownInfo.find("\r\n" + std::string(kEncryptedNamesNote)), std::string::npos)
        << picker.shownInfo;
}

TEST_F(EncryptedRestore, ConsolidationEncryptsTheNewArchiveWithTheNewestPassword) {
    RestoreRequest request = Request(ExtractAction::Consolidate);
    request.deleteReplaced = true;
    const ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress, told, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    const std::vector<std::string> left = JobArchiveNames(JobFolder());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(ArchiveIsEncrypted((job / left[0]).string())) << left[0];
    if (!fs::exists("/usr/bin/7zz"))
        GTEST_SKIP() << "7zz is not installed";
    EXPECT_EQ(SevenZipTest(left[0], "newest password"), 0);
    EXPECT_NE(SevenZipTest(left[0], "first password"), 0);
}

TEST_F(EncryptedRestore, VerifyBackupsChecksTheAuthenticationCodes) {
    VerificationOutcome verified = VerifyBackups(CurrentInstallation(), WeeklyJob(), progress, {});
    EXPECT_EQ(verified.details.tested, 3);
    EXPECT_TRUE(verified.details.failed.empty()) << VerificationText("Weekly Job", verified);

    // A flipped byte in the newest archive's data is found.
    const fs::path newest = job / made[2];
    std::string bytes = box.read(newest);
    const std::optional<size_t> data = FirstEncryptedData(bytes);
    ASSERT_TRUE(data);
    bytes[*data] = static_cast<char>(bytes[*data] ^ 0x5a);
    box.write(newest, bytes);
    verified = VerifyBackups(CurrentInstallation(), WeeklyJob(), progress, {});
    ASSERT_EQ(verified.details.failed.size(), 1u) << VerificationText("Weekly Job", verified);
    EXPECT_EQ(verified.details.failed[0].name, made[2]);
}

TEST_F(EncryptedRestore, AWrongPasswordIsToldAsSuch) {
    Passwords({"not the password"});
    VerificationOutcome verified = VerifyBackups(CurrentInstallation(), WeeklyJob(), progress, {});
    ASSERT_EQ(verified.details.failed.size(), 2u) << VerificationText("Weekly Job", verified);
    EXPECT_EQ(verified.details.failed[0].reason.rfind(kWrongPasswordText, 0), 0u)
        << verified.details.failed[0].reason;

    const ExtractOutcome outcome = RunRestore(
        CurrentInstallation(), Request(ExtractAction::ExtractAll), progress, told, picker);
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_NE(outcome.reason.find(kWrongPasswordText), std::string::npos) << outcome.reason;
}

TEST_F(EncryptedRestore, WithoutAnyPasswordTheRestoreSaysSoAndExtractsNothing) {
    // A job brought from another computer: no command, no keyring.
    unsetenv("RAVELKEEP_PASSWORD_COMMAND");
    const ExtractOutcome outcome = RunRestore(
        CurrentInstallation(), Request(ExtractAction::ExtractAll), progress, told, picker);
    EXPECT_EQ(outcome.status, RunStatus::Failed);
    EXPECT_NE(outcome.reason.find("are encrypted, and no password for them is known"),
              std::string::npos)
        << outcome.reason;
    ASSERT_FALSE(told.told.empty());
    EXPECT_EQ(told.told.back(), outcome.reason);
    EXPECT_FALSE(fs::exists(box.c() / "Restore" / fs::path(made[2]).stem()));
}

TEST_F(EncryptedRestore, ThinningKeepsTheArchivesEncrypted) {
    WriteKeepPolicy(WeeklyJob(), KeepPolicy{0, 0, 1, 0});
    const restore::ThinningEnd end = restore::ThinJob(CurrentInstallation(), WeeklyJob(), progress,
                                                      std::chrono::year{2027} / 1 / 20);
    ASSERT_FALSE(end.Failed()) << end.record.reason;
    const std::vector<std::string> left = JobArchiveNames(JobFolder());
    ASSERT_LT(left.size(), made.size()) << "the range was thinned";
    for (const std::string& name : left)
        if (name != made[0]) {
            EXPECT_TRUE(ArchiveIsEncrypted((job / name).string())) << name;
        }
    // The thinned archives still restore every file in its newest version.
    RestoreRequest request = Request(ExtractAction::ExtractAll);
    request.archiveNames = left;
    const ExtractOutcome outcome =
        RunRestore(CurrentInstallation(), request, progress, told, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    EXPECT_EQ(
        FilesIn(fs::path(platform::ToHostPath(outcome.details.extractionFolder).value_or(""))),
        (Files{{"Data/a.txt", "a three"}, {"Data/sub/b.txt", "b three"}}));
}

} // namespace
} // namespace rk::test
