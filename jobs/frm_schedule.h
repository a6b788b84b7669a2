#pragma once
// The Schedule dialog: when the selected job's incremental backup runs by
// itself (never, every hour, every day or every week). It opens showing the
// schedule really installed, read back from the systemd timer or the
// crontab; OK installs the chosen one (never removes it).

#include "schedule/installed_schedule.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimeEdit;

namespace rk::jobs {

class frmSchedule final : public QDialog {
  public:
    frmSchedule(std::string jobName, schedule::BackupCommand command, QWidget* parent = nullptr);

    QLabel* lblJob;
    QLabel* lblFrequency;
    // "Never", "Every hour", "Every day", "Every week".
    QComboBox* cboFrequency;
    QLabel* lblWeekday;
    QComboBox* cboWeekday; // Monday .. Sunday
    QLabel* lblTime;
    QTimeEdit* txtTime; // daily and weekly
    QLabel* lblMinute;
    QSpinBox* txtMinute; // hourly: minutes past the hour
    QLabel* lblInstalled;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The schedule the controls give.
    schedule::Schedule Chosen() const;

  private:
    std::string jobName_;
    schedule::BackupCommand command_;

    void BuildControls();
    void Form_Load();
    void Show(const schedule::Schedule& shown);
    void cboFrequency_Change();
    void cmdOK_Click();
};

// Shows the Schedule dialog for the job; true when a schedule was installed
// or removed.
bool ShowScheduleDialog(QWidget* parent, const std::string& jobName);

} // namespace rk::jobs
