// The Schedule dialog from the main window, through the stand-in systemctl
// and crontab: what it shows of the installed schedule, what OK installs,
// and the window's schedule line afterwards.

#include "jobs/command_numbers.h"
#include "jobs/frm_schedule.h"
#include "main_window_fixture.h"
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
              "Schedule: every day at 02:30, next run 09/12/2026 02:30");

    // Opened again, it shows what is installed, read back from the timer.
    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        EXPECT_EQ(dialog.cboFrequency->currentText(), "Every day");
        EXPECT_EQ(dialog.txtTime->time(), QTime(2, 30));
        EXPECT_EQ(dialog.lblInstalled->text().toStdString(),
                  "Runs every day at 02:30 (the systemd user timer "
                  "ravelkeep-backup-Photos\\x20\\x2d2026.timer).\nNext run: 09/12/2026 02:30.");
        // Cancel changes nothing.
        dialog.cboFrequency->setCurrentIndex(0);
        dialog.cmdCancel->click();
    });
    window->mnuJob.at(jobs::JobCommand::Schedule)->trigger();
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
    unsetenv("RK_FAKE_NEXT_ELAPSE");
}

TEST_F(MainWindowTest, ScheduleDialogWritesACrontabLineWithoutSystemd) {
    Job("Weekly");
    SchedulerStandIns standIns(sandbox, false);
    const auto window = Open();
    Select(*window, "Weekly");
    seam.AnswerForm([&](QDialog& form) {
        jobs::frmSchedule& dialog = AsSchedule(form);
        dialog.cboFrequency->setCurrentIndex(3);
        dialog.cboWeekday->setCurrentIndex(6);
        dialog.txtTime->setTime(QTime(23, 5));
        dialog.cmdOK->click();
    });
    window->cmdSchedule->click();
    EXPECT_EQ(seam.Problems(), "");
    EXPECT_NE(standIns.Crontab().find("5 23 * * 0 "), std::string::npos) << standIns.Crontab();
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
    window->cmdSchedule->click();
    EXPECT_NE(standIns.Crontab().find("15 * * * * "), std::string::npos) << standIns.Crontab();
    EXPECT_EQ(standIns.Crontab().find("5 23 * * 0 "), std::string::npos) << "one line per job";
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
