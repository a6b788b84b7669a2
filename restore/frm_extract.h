#pragma once
// "Extract Range": the archives of one source folder oldest first, a date
// range, a destination and one of three restore actions (extract all files,
// consolidate, extract individual files), started by OK or by AutoExtract.

#include "engine/extract_plan.h"
#include "engine/progress_display.h"
#include "restore/run/restore_run.h"

#include <QDate>
#include <QDialog>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace rk::restore {

class frmExtract final : public QDialog {
  public:
    // `progress` is the main window's status text and progress bar; it must
    // outlive the dialog.
    explicit frmExtract(ProgressDisplay& progress, QWidget* parent = nullptr);
    ~frmExtract() override;

    // Refills lstBackupsList with every archive of the source folder, as
    // JobArchiveNames lists them.
    void UpdateFileList();

    // The archive names of lstBackupsList, in list order.
    std::vector<std::string> ArchiveNames() const;

    // One restore run with the dialog's inputs. Silent runs show no message
    // box; the file picker is still shown for the individual-files action.
    ExtractOutcome StartExtract(bool bSilent = false);

    // A silent run of action `iMode` on the archives of `sSource` between the
    // two dates. The destination and the delete box stay as they are.
    ExtractOutcome AutoExtract(std::int16_t iMode, const std::string& sSource,
                               const QDate& dtStartDate, const QDate& dtEndDate);
    ExtractOutcome AutoExtract(ExtractAction action, const std::string& sSource,
                               const QDate& dtStartDate, const QDate& dtEndDate) {
        return AutoExtract(static_cast<std::int16_t>(action), sSource, dtStartDate, dtEndDate);
    }

    // The chosen action.
    ExtractAction Action() const;
    bool Running() const { return running_; }

    QLabel* lblSource;
    QLineEdit* txtSource;
    QPushButton* cmdChooseSource;
    QListWidget* lstBackupsList;
    QLabel* lblDestination;
    QLineEdit* txtDestination;
    QPushButton* cmdChooseDestination;
    QLabel* lblDates;
    QPushButton* cmdPullStartDate;
    QDateEdit* axStartDate;
    // "to", between the start and end date pickers.
    QLabel* Label1;
    QPushButton* cmdPullEndDate;
    QDateEdit* axEndDate;
    QGroupBox* grpAction;
    // Indexed by the action number: 0 extract all, 1 consolidate, 2 pick files.
    std::array<QRadioButton*, 3> optAction;
    QCheckBox* chkDelCon;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // Closing is refused while a run is in progress.
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    ProgressDisplay& progress_;
    bool running_ = false;

    void BuildControls();
    void ArrangeControls();
    void ConnectControls();
    void ChooseSource();
    void ChooseDestination();
    void PullDate(QDateEdit& picker);
    void ActionClicked(int index);
    void ShowArchiveNames(const std::vector<std::string>& names);
};

} // namespace rk::restore
