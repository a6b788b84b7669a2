// The job list's marks and tooltips for failed, partial, skipped and
// cancelled runs, the last-backup line for each, and a window that follows
// the job store when a run made elsewhere changes it.

#include "engine/skipped_run.h"
#include "jobs/job_information.h"
#include "main_window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

namespace rk::test {
namespace {

// The "[lastbackup]" section as a run records it.
std::string Record(const std::string& time, const std::string& outcome,
                   const std::string& more = "") {
    return "[settings]\r\n[lastbackup]\r\ntime=" + time +
           "\r\nmode=incremental\r\noutcome=" + outcome + "\r\narchive=rk_1.zip\r\n" + more;
}

const QListWidgetItem& Item(const jobs::frmMain& window, const std::string& name) {
    return *window.lstBackupJobs->findItems(QString::fromStdString(name), Qt::MatchExactly)[0];
}

std::string Tip(const jobs::frmMain& window, const std::string& name) {
    return Item(window, name).toolTip().toStdString();
}

// Processes events until `done` holds or five seconds have passed.
bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

const char* kReason = "The backup disk for \"Away\" (/media/usb/Backups/Away) is not connected; "
                      "the backup runs when it is.";

TEST_F(MainWindowTest, FailedPartialSkippedAndCancelledRunsAreToldApart) {
    Job("Failed", Record("2026-03-01 02:00:00", "failed", "reason=Could not read C:\\Data\r\n"));
    std::string left = "leftcount=12\r\n";
    for (int i = 1; i <= 10; ++i)
        left += "left" + std::to_string(i) + "=C:\\Data\\f" + std::to_string(i) + ".txt\r\n";
    Job("Partial", Record("2026-03-01 02:00:00", "partial", left));
    Job("Cancelled", Record("2026-03-01 02:00:00", "cancelled",
                            "reason=The backup rk_1.zip was cancelled.\r\n"));
    Job("Away", Record("2026-03-01 02:00:00", "made"));
    Job("Back", Record("2026-03-02 02:00:00", "made"));
    // The user's state folder, where skip records are kept.
    fs::create_directories(sandbox.home() / ".local" / "state");
    ASSERT_TRUE(RecordSkippedRun("C:\\Backups\\Away",
                                 {"2026-03-02 02:00:00", kReason, "/media/usb/Backups/Away"}));
    // A skip before the last run made is over.
    ASSERT_TRUE(RecordSkippedRun("C:\\Backups\\Back",
                                 {"2026-03-01 02:00:00", kReason, "/media/usb/Backups/Back"}));
    const auto window = Open();

    EXPECT_EQ(Tip(*window, "Failed"), "The last backup failed: Could not read C:\\Data");
    std::string partial = "The last backup was made without 12 files:";
    for (int i = 1; i <= 10; ++i)
        partial += "\nC:\\Data\\f" + std::to_string(i) + ".txt";
    EXPECT_EQ(Tip(*window, "Partial"), partial + "\nand 2 files more.");
    EXPECT_EQ(Tip(*window, "Away"),
              "The last backup was skipped " + ShortDate(2026, 3, 2) + " 02:00: " + kReason);
    EXPECT_EQ(Tip(*window, "Cancelled"), "");
    EXPECT_EQ(Tip(*window, "Back"), "");
    for (const char* marked : {"Failed", "Partial", "Away"})
        EXPECT_FALSE(Item(*window, marked).icon().isNull()) << marked;
    for (const char* plain : {"Cancelled", "Back"})
        EXPECT_TRUE(Item(*window, plain).icon().isNull()) << plain;
    // Each kind of mark has its own picture.
    const auto picture = [&](const char* name) {
        return Item(*window, name).icon().pixmap(16).toImage();
    };
    EXPECT_NE(picture("Failed"), picture("Partial"));
    EXPECT_NE(picture("Failed"), picture("Away"));
    EXPECT_NE(picture("Partial"), picture("Away"));

    const auto lastLine = [&](const std::string& name) {
        Select(*window, name);
        return Text(window->lblLastBackup);
    };
    const std::string skipped = lastLine("Away");
    EXPECT_EQ(skipped.rfind("Last backup skipped ", 0), 0u) << skipped;
    EXPECT_NE(skipped.find(std::string(": ") + kReason), std::string::npos) << skipped;
    const std::string cancelled = lastLine("Cancelled");
    EXPECT_EQ(cancelled.rfind("Last backup cancelled ", 0), 0u) << cancelled;
    EXPECT_NE(cancelled.find(": The backup rk_1.zip was cancelled."), std::string::npos);
    const std::string made = lastLine("Back");
    EXPECT_EQ(made.rfind("Last backup: ", 0), 0u) << made;
    EXPECT_NE(made.find(", incremental, made"), std::string::npos) << made;
    EXPECT_NE(lastLine("Partial").find(", incremental, made without some files"),
              std::string::npos);
}

TEST(LastBackupTexts, CancelledAndSkipped) {
    LastBackup cancelled{"2026-03-01 02:00:00", "root", "cancelled", "rk_1.zip", "", {}, 0};
    EXPECT_EQ(jobs::LastBackupText(cancelled, "01/03/2026 02:00"),
              "Last backup: 01/03/2026 02:00, root, cancelled");
    const SkippedRun skipped{"2026-03-01 02:00:00", "Not connected.", "/m"};
    EXPECT_EQ(jobs::SkippedRunText(skipped, "01/03/2026 02:00"),
              "Last backup skipped 01/03/2026 02:00: Not connected.");
    EXPECT_TRUE(jobs::SkipIsNewer(skipped, std::nullopt));
    cancelled.time = "2026-03-01 01:59:59";
    EXPECT_TRUE(jobs::SkipIsNewer(skipped, cancelled));
    cancelled.time = "2026-03-01 02:00:00";
    EXPECT_FALSE(jobs::SkipIsNewer(skipped, cancelled));
}

// A scheduled run ends elsewhere: its record replaces rkjob.ini by rename.
// The window reads the marks and the selected job's lines again, each time,
// without Refresh; a skip record appearing is followed too.
TEST_F(MainWindowTest, TheWindowFollowsRunsMadeElsewhere) {
    const fs::path job = Job("Nightly", Record("2026-03-01 02:00:00", "made"));
    const auto window = Open();
    Select(*window, "Nightly");
    const std::string before = Text(window->lblLastBackup);
    ASSERT_NE(before.find(", incremental, made"), std::string::npos) << before;
    ASSERT_EQ(Text(window->lblInfo).find("1 backup file(s)"), std::string::npos);

    const auto replace = [&](const std::string& text) {
        sandbox.write(job / "rkjob.ini.new", text);
        fs::rename(job / "rkjob.ini.new", job / "rkjob.ini");
    };
    replace(Record("2026-03-02 02:00:00", "failed", "reason=The zip utility failed\r\n"));
    sandbox.write(job / "rk_1.zip", "PK");
    EXPECT_TRUE(WaitFor([&] {
        return Text(window->lblLastBackup).rfind("Last backup failed", 0) == 0;
    })) << Text(window->lblLastBackup);
    EXPECT_NE(Text(window->lblLastBackup).find(": The zip utility failed"), std::string::npos);
    EXPECT_EQ(Tip(*window, "Nightly"), "The last backup failed: The zip utility failed");
    EXPECT_TRUE(WaitFor([&] {
        return Text(window->lblInfo).find("1 backup file(s)") != std::string::npos;
    })) << Text(window->lblInfo);

    // Again, after the file was replaced once.
    replace(Record("2026-03-03 02:00:00", "made"));
    EXPECT_TRUE(WaitFor([&] { return Tip(*window, "Nightly").empty(); }))
        << Tip(*window, "Nightly");
    EXPECT_NE(Text(window->lblLastBackup).find(", incremental, made"), std::string::npos);

    // The next scheduled run finds the disk gone.
    ASSERT_TRUE(RecordSkippedRun("C:\\Backups\\Nightly",
                                 {"2026-03-04 02:00:00", kReason, "/media/usb/Backups/Nightly"}));
    EXPECT_TRUE(WaitFor([&] {
        return Text(window->lblLastBackup).rfind("Last backup skipped", 0) == 0;
    })) << Text(window->lblLastBackup);
    EXPECT_EQ(Tip(*window, "Nightly"),
              "The last backup was skipped " + ShortDate(2026, 3, 4) + " 02:00: " + kReason);
    EXPECT_EQ(window->StatusText(), "");
}

} // namespace
} // namespace rk::test
