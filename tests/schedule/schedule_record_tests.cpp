// The record of an installed schedule in the job's "rkjob.ini": written,
// read back, compared with what is installed, and removed.

#include "schedule/crontab_entry.h"
#include "schedule/schedule_record.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

namespace rk::schedule {
namespace {

const std::string kJobFolder = "C:\\Backups\\Job";

class ScheduleRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        box.write(box.c() / "Backups" / "Job" / "rkjob.ini",
                  "[settings]\r\ncreated=1\r\n[lastbackup]\r\ntime=2026-01-01 00:00:00\r\n");
    }
    std::string Settings() const { return box.read(box.c() / "Backups" / "Job" / "rkjob.ini"); }
    test::Sandbox box;
};

TEST_F(ScheduleRecordTest, WrittenReadBackAndRemoved) {
    EXPECT_FALSE(ReadScheduleRecord(kJobFolder));
    const std::time_t now = 1796601600;
    const Schedule weekly{Frequency::Weekly, 23, 5, 7};
    WriteScheduleRecord(kJobFolder, RecordOfInstall(Place::Crontab, weekly, now));
    const std::string written = Settings();
    EXPECT_NE(written.find("[schedule]\r\nkind=crontab\r\nfrequency=weekly\r\nhour=23\r\n"
                           "minute=5\r\nweekday=7\r\ncalendar=5 23 * * 0\r\ninstalled="),
              std::string::npos)
        << written;
    const std::optional<ScheduleRecord> read = ReadScheduleRecord(kJobFolder);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->place, Place::Crontab);
    EXPECT_EQ(read->schedule, weekly);
    EXPECT_EQ(read->calendar, "5 23 * * 0");
    EXPECT_EQ(read->installedAt, std::optional<std::time_t>(now));

    // Replaced whole: no key of the crontab record stays.
    const Schedule hourly{Frequency::Hourly, 0, 15, 1};
    WriteScheduleRecord(kJobFolder, RecordOfInstall(Place::SystemdTimer, hourly, now + 60));
    const std::optional<ScheduleRecord> timer = ReadScheduleRecord(kJobFolder);
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->place, Place::SystemdTimer);
    EXPECT_EQ(timer->schedule, hourly);
    EXPECT_EQ(timer->calendar, "*-*-* *:15:00");
    EXPECT_EQ(timer->installedAt, std::optional<std::time_t>(now + 60));

    RemoveScheduleRecord(kJobFolder);
    EXPECT_FALSE(ReadScheduleRecord(kJobFolder));
    EXPECT_EQ(Settings().find("[schedule]"), std::string::npos);
    // The job's other sections stay.
    EXPECT_NE(Settings().find("[lastbackup]\r\ntime=2026-01-01 00:00:00\r\n"), std::string::npos);
}

TEST_F(ScheduleRecordTest, ComparedWithWhatIsInstalled) {
    const Schedule daily{Frequency::Daily, 2, 0, 1};
    const ScheduleRecord recorded = RecordOfInstall(Place::Crontab, daily, 1000);

    InstalledSchedule line;
    line.place = Place::Crontab;
    line.schedule = daily;
    line.installedText = CrontabLine("Job", daily, {"/p/rkbak", ""});
    EXPECT_TRUE(SameSchedule(recorded, RecordOfInstalled(line, 2000)));
    EXPECT_EQ(RecordOfInstalled(line, 2000).installedAt, std::optional<std::time_t>(2000));

    // Changed by hand into a form not written here.
    InstalledSchedule edited = line;
    edited.schedule.reset();
    edited.installedText = "0 2 * * 1-5 '/p/rkbak' '/ib/Job' # ravelkeep-backup-Job";
    const ScheduleRecord editedRecord = RecordOfInstalled(edited, 2000);
    EXPECT_FALSE(SameSchedule(recorded, editedRecord));
    EXPECT_EQ(editedRecord.calendar, "0 2 * * 1-5");

    // The same schedule as a timer is another place; the timer's own time
    // of installation is taken.
    InstalledSchedule timer;
    timer.place = Place::SystemdTimer;
    timer.schedule = daily;
    timer.installedText = "*-*-* 02:00:00";
    timer.installedAt = 1500;
    const ScheduleRecord timerRecord = RecordOfInstalled(timer, 2000);
    EXPECT_FALSE(SameSchedule(recorded, timerRecord));
    EXPECT_TRUE(SameSchedule(RecordOfInstall(Place::SystemdTimer, daily, 0), timerRecord));
    EXPECT_EQ(timerRecord.installedAt, std::optional<std::time_t>(1500));

    // A record changed by hand is taken as a record without a schedule.
    WriteScheduleRecord(kJobFolder, editedRecord);
    const std::optional<ScheduleRecord> read = ReadScheduleRecord(kJobFolder);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->schedule);
    EXPECT_TRUE(SameSchedule(*read, editedRecord));
}

} // namespace
} // namespace rk::schedule
