// The Schedule dialog from the main window, through the stand-in systemctl
// and crontab: what it shows of the installed schedule, what OK installs,
// and the window's schedule line afterwards.

#include "jobs/command_numbers.h"
#include "jobs/frm_schedule.h"
#include "main_window_fixture.h"
#include "platform/host_program.h"
#include "schedule/installed_schedule.h"
#include "support/scheduler_stand_ins.h"
#include "ui/spoken_name.h"

#include <QComboBox>
#include <QDialog>
#include <QSpinBox>
#include <QTimeEdit>

#include <cstdlib>

namespace rk::test {
namespace {

using ui::Answer;

jobs::frmSchedule& AsSchedule(QDialog& form) {
    return dynamic_cast<jobs::frmSchedule&>(form);
}

TEST_F(MainWindowTest, ScheduleDialogInstallsShowsAndRemovesADailyTimer) {
    Job("Photos -2026");
    SchedulerStandIns standIns(sandbox);
    // 09/12/2026 02:30 local time, as the stand-in reports the next elapse.
    std::tm local{};
    local.tm_year = 126, local.tm_mon = 11, local.tm_mday = 9, local.tm_hour = 2, local.tm_min = 30,
    local.tm_isdst = -1;
    setenv("RK_FAKE_NEXT_ELAPSE", std::to_string(std::mktime(&local)).c_str(), 1);
    const auto window = Open();
    Select(*window, "Photos -2026");
    EXPECT_EQ(window->lblSchedule->text(), "");
    EXPECT_TRUE(window->cmdSchedule->isEnabled());

    std::string shownBefore;
    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        shownBefore = dialog.lblInstalled->text().toStdString();
        EXPECT_EQ(dialog.cboFrequency->currentText(), "Never");
        EXPECT_FALSE(dialog.txtTime->isEnabled());
        dialog.cboFrequency->setCurrentIndex(2);
        EXPECT_TRUE(dialog.txtTime->isEnabled());
        EXPECT_FALSE(dialog.cboWeekday->isEnabled());
        dialog.txtTime->setTime(QTime(2, 30));
        dialog.cmdOK->click();
    });
    window->cmdSchedule->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(shownBefore, "No schedule is installed: backups are made only when started.");
    const fs::path timer = standIns.UnitFolder() / "ravelkeep-backup-Photos\\x20\\x2d2026.timer";
    ASSERT_TRUE(fs::exists(timer));
    EXPECT_NE(sandbox.read(timer).find("OnCalendar=*-*-* 02:30:00\n"), std::string::npos);
    const std::string service =
        sandbox.read(standIns.UnitFolder() / "ravelkeep-backup-Photos\\x20\\x2d2026.service");
    EXPECT_NE(service.find("/rkbak\" \"/ib/Photos -2026\""), std::string::npos) << service;
    EXPECT_EQ(window->lblSchedule->text(),
              QString::fromStdString("Schedule: every day at 02:30, next run " +
                                     ShortDate(2026, 12, 9) + " 02:30"));
    // What was installed is recorded with the job.
    const std::string settings = JobSettings("Photos -2026");
    EXPECT_NE(settings.find("[schedule]\r\nkind=systemd timer\r\nfrequency=daily\r\nhour=2\r\n"
                            "minute=30\r\nweekday=1\r\ncalendar=*-*-* 02:30:00\r\ninstalled="),
              std::string::npos)
        << settings;

    // Opened again, it shows what is installed, read back from the timer;
    // systemd 252 prints the next run as a date, which gives the same time.
    setenv("RK_FAKE_NEXT_ELAPSE_FORM", "date", 1);
    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        EXPECT_EQ(dialog.cboFrequency->currentText(), "Every day");
        EXPECT_EQ(dialog.txtTime->time(), QTime(2, 30));
        EXPECT_EQ(dialog.lblInstalled->text().toStdString(),
                  "Runs every day at 02:30 (the systemd user timer "
                  "ravelkeep-backup-Photos\\x20\\x2d2026.timer).\nNext run: " +
                      ShortDate(2026, 12, 9) + " 02:30.");
        // Cancel changes nothing.
        dialog.cboFrequency->setCurrentIndex(0);
        dialog.cmdCancel->click();
    });
    window->mnuJob.at(jobs::JobCommand::Schedule)->trigger();
    unsetenv("RK_FAKE_NEXT_ELAPSE_FORM");
    EXPECT_TRUE(fs::exists(timer));

    // Never removes the timer and its service.
    seam.AnswerForm([&](QDialog& form) {
        AsSchedule(form).cboFrequency->setCurrentIndex(0);
        AsSchedule(form).cmdOK->click();
    });
    window->mnuJob.at(jobs::JobCommand::Schedule)->trigger();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_FALSE(fs::exists(timer));
    EXPECT_EQ(window->lblSchedule->text(), "");
    EXPECT_EQ(JobSettings("Photos -2026").find("[schedule]"), std::string::npos);
    unsetenv("RK_FAKE_NEXT_ELAPSE");
}

constexpr const char* kAskCrontab = "systemd's user manager is not running. Install the schedule "
                                    "as a line in your crontab instead?";

// With systemctl there but its user manager not running, OK installs a
// crontab line only when the user says so.
TEST_F(MainWindowTest, ScheduleDialogWritesACrontabLineWhenTheUserChoosesIt) {
    Job("Weekly");
    SchedulerStandIns standIns(sandbox, false);
    const auto window = Open();
    Select(*window, "Weekly");
    std::string shown;
    bool stillOpen = false;
    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        shown = dialog.lblInstalled->text().toStdString();
        dialog.cboFrequency->setCurrentIndex(3);
        dialog.cboWeekday->setCurrentIndex(6);
        dialog.txtTime->setTime(QTime(23, 5));
        dialog.cmdOK->click();
        stillOpen = form.isVisible();
        dialog.cmdOK->click();
    });
    seam.AnswerMessage(Answer::No);
    seam.AnswerMessage(Answer::Yes);
    window->cmdSchedule->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_EQ(shown, "No schedule is installed: backups are made only when started.\n"
                     "systemd's user manager is not running: a schedule can only be installed "
                     "as a line in your crontab.");
    EXPECT_TRUE(stillOpen) << "No leaves the dialog open";
    ASSERT_EQ(seam.Calls().size(), 3u);
    for (std::size_t i : {1u, 2u}) {
        EXPECT_EQ(seam.Calls()[i].text, kAskCrontab);
        EXPECT_EQ(seam.Calls()[i].buttons, ui::Buttons::YesNo);
        EXPECT_EQ(seam.Calls()[i].icon, ui::Icon::Question);
    }
    EXPECT_NE(standIns.Crontab().find("5 23 * * 0 RAVELKEEP_UNATTENDED=1 "), std::string::npos)
        << standIns.Crontab();
    EXPECT_NE(standIns.Crontab().find("*/15 * * * * RAVELKEEP_UNATTENDED=1 RAVELKEEP_RETRY=1 "),
              std::string::npos)
        << standIns.Crontab();
    EXPECT_FALSE(fs::exists(standIns.UnitFolder()));
    EXPECT_EQ(window->lblSchedule->text().toStdString().rfind("Schedule: every Sunday at 23:05, "
                                                              "next run ",
                                                              0),
              0u)
        << window->lblSchedule->text().toStdString();
    // The crontab schedule stays in the window after Refresh, read from the
    // record.
    EXPECT_NE(JobSettings("Weekly").find("[schedule]\r\nkind=crontab\r\n"), std::string::npos);
    window->DataRefresh();
    Select(*window, "Weekly");
    EXPECT_EQ(window->lblSchedule->text().toStdString().rfind("Schedule: every Sunday at 23:05, "
                                                              "next run ",
                                                              0),
              0u)
        << window->lblSchedule->text().toStdString();

    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        EXPECT_EQ(dialog.cboFrequency->currentText(), "Every week");
        EXPECT_EQ(dialog.cboWeekday->currentText(), "Sunday");
        EXPECT_EQ(dialog.lblInstalled->text().toStdString().rfind(
                      "Runs every Sunday at 23:05 (a line in your crontab).\nNext run: ", 0),
                  0u);
        dialog.cboFrequency->setCurrentIndex(1);
        dialog.txtMinute->setValue(15);
        dialog.cmdOK->click();
    });
    seam.AnswerMessage(Answer::Yes);
    window->cmdSchedule->click();
    EXPECT_NE(standIns.Crontab().find("15 * * * * "), std::string::npos) << standIns.Crontab();
    EXPECT_EQ(standIns.Crontab().find("5 23 * * 0 "), std::string::npos) << "one line per job";
    EXPECT_EQ(window->lblSchedule->text().toStdString().rfind(
                  "Schedule: every hour at 15 minutes past, next run ", 0),
              0u)
        << window->lblSchedule->text().toStdString();
}

// The dialog reads the real crontab when it opens and corrects the record:
// a line changed by hand is recorded as it is, a line removed by hand takes
// the record and the window's line with it.
TEST_F(MainWindowTest, ScheduleDialogCorrectsTheRecordFromWhatIsInstalled) {
    Job("Daily");
    SchedulerStandIns standIns(sandbox, false);
    const auto window = Open();
    Select(*window, "Daily");
    seam.AnswerForm([&](QDialog& form) {
        AsSchedule(form).cboFrequency->setCurrentIndex(2);
        AsSchedule(form).txtTime->setTime(QTime(4, 0));
        AsSchedule(form).cmdOK->click();
    });
    seam.AnswerMessage(Answer::Yes);
    window->cmdSchedule->click();
    ASSERT_NE(JobSettings("Daily").find("calendar=0 4 * * *\r\n"), std::string::npos);

    // Changed by hand to 05:30.
    std::string table = standIns.Crontab();
    table.replace(table.find("0 4 * * *"), 9, "30 5 * * *");
    ASSERT_EQ(platform::RunHostProgram({"crontab", "-"}, table).exitCode, 0);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(AsSchedule(form).txtTime->time(), QTime(5, 30));
        AsSchedule(form).cmdCancel->click();
    });
    window->cmdSchedule->click();
    EXPECT_NE(JobSettings("Daily").find("hour=5\r\nminute=30\r\n"), std::string::npos)
        << JobSettings("Daily");
    EXPECT_NE(JobSettings("Daily").find("calendar=30 5 * * *\r\n"), std::string::npos);
    EXPECT_EQ(window->lblSchedule->text().toStdString().rfind("Schedule: every day at 05:30", 0),
              0u)
        << window->lblSchedule->text().toStdString();

    // Removed by hand.
    ASSERT_EQ(platform::RunHostProgram({"crontab", "-"}, "").exitCode, 0);
    seam.AnswerForm([&](QDialog& form) {
        EXPECT_EQ(AsSchedule(form).cboFrequency->currentText(), "Never");
        AsSchedule(form).cmdCancel->click();
    });
    window->cmdSchedule->click();
    EXPECT_EQ(JobSettings("Daily").find("[schedule]"), std::string::npos) << JobSettings("Daily");
    EXPECT_EQ(window->lblSchedule->text(), "");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(MainWindowTest, ScheduleDialogSaysWhyItCannotInstallAndStaysOpen) {
    Job("Two\nlines");
    SchedulerStandIns standIns(sandbox);
    const auto window = Open();
    Select(*window, "Two\nlines");
    bool stillOpen = false;
    seam.AnswerForm([&](QDialog& form) {
        AsSchedule(form).cboFrequency->setCurrentIndex(2);
        AsSchedule(form).cmdOK->click();
        stillOpen = form.isVisible();
        AsSchedule(form).cmdCancel->click();
    });
    seam.AnswerMessage(Answer::OK);
    window->cmdSchedule->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[1].text.rfind("The schedule could not be changed: ", 0), 0u)
        << seam.Calls()[1].text;
    EXPECT_EQ(seam.Calls()[1].icon, ui::Icon::Critical);
    EXPECT_FALSE(fs::exists(standIns.UnitFolder()));
}

TEST_F(MainWindowTest, ScheduleDialogFieldsHaveAccessibleNames) {
    Job("Named");
    SchedulerStandIns standIns(sandbox);
    jobs::frmSchedule dialog("Named", {"/opt/rk/rkbak", ""});
    dialog.show();
    std::vector<std::string> names;
    for (QWidget* field : std::initializer_list<QWidget*>{dialog.cboFrequency, dialog.cboWeekday,
                                                          dialog.txtTime, dialog.txtMinute})
        names.push_back(SpokenName(field));
    EXPECT_EQ(names, (std::vector<std::string>{"Make an incremental backup:", "On day:", "Time",
                                               "Minutes past the hour"}));
}

} // namespace
} // namespace rk::test
