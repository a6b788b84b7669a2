#pragma once
// The Keep dialog: a job's keep policy in plain words, with what it would do
// to the job's archives today. "Thin backups by themselves" unticked keeps
// every backup (no "keep" section).

#include "engine/job.h"
#include "engine/keep_policy.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QSpinBox>

#include <optional>

namespace rk::jobs {

class frmKeep final : public QDialog {
  public:
    frmKeep(const Job& job, QWidget* parent = nullptr);

    // The policy as the controls give it, or nothing when thinning is off.
    std::optional<KeepPolicy> Policy() const;

    QCheckBox* chkThin;
    QSpinBox* txtDays;
    QSpinBox* txtWeeks;
    QSpinBox* txtMonths;
    QSpinBox* txtYears;
    QLabel* lblWords;
    QLabel* lblExample;

  private:
    void ShowWords();

    Job job_;
};

// Shows the dialog for the job; true when a changed policy was saved.
bool ShowKeepDialog(QWidget* parent, const Job& job);

} // namespace rk::jobs
