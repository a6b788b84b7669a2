#pragma once
// "Restore Files": a job's backups as points in time on the left; on the
// right the job's folders as they were at the chosen point, the versions of
// the chosen file, a search across every point and a preview of a version;
// the selection (a file, a folder, or everything) restored to a chosen
// folder or back where it came from, with a choice for files that exist
// there now, and "Restore as it was", which also removes what was not there
// at that point after asking. Reading the backups and restoring show
// progress in the form's status bar with Cancel beside it. When the job has
// a copy on other storage, the copy is listed once after the backups are
// shown, and each backup says whether it is there.

#include "engine/job.h"
#include "engine/points_in_time.h"
#include "restore/point_in_time/copy_listing.h"
#include "restore/run/placed_restore.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace rk::restore {

class frmRestoreFiles final : public QDialog {
  public:
    // The job in `jobFolder` (Windows text, the job store folder and the
    // job's name) with the program's utilities.
    frmRestoreFiles(Installation installation, std::string jobFolder, QWidget* parent = nullptr);
    ~frmRestoreFiles() override;

    // Reads every backup of the job as a point in time and shows the newest.
    // False when they could not be read (the person was told) or the reading
    // was cancelled.
    bool LoadPoints();
    // Shows the tree of the point (index, oldest first).
    void ChoosePoint(int point);
    int ChosenPoint() const { return point_; }
    const PointsInTime& Points() const { return points_; }

    // Restores what is selected in the tree (a file, with the version
    // selected in the versions list or else its version at the point, or a
    // folder), or everything at the point.
    void RestoreSelection();
    void RestoreEverything();
    bool Running() const { return running_; }
    // Whether the job's copy is being listed: its column of the points says
    // "..." until the answer comes.
    bool ListingCopy() const { return copyListing_ != nullptr && !copyAnswer_; }

    // The item of the tree holding that listed name (a file, or a folder
    // ending with "\"), or nullptr.
    QTreeWidgetItem* ItemOf(const std::string& listedName) const;

    QLabel* lblJob;
    QLabel* lblPoints;
    QTreeWidget* lstPoints;
    QLabel* lblSearch;
    QLineEdit* txtSearch;
    QTreeWidget* tvwFiles;
    QLabel* lblVersions;
    QTreeWidget* lstVersions;
    QPushButton* cmdPreview;
    QStackedWidget* stkPreview;
    QPlainTextEdit* txtPreview;
    QLabel* imgPreview;
    QGroupBox* grpDestination;
    QRadioButton* optChosenFolder;
    QLineEdit* txtDestination;
    QPushButton* cmdChooseDestination;
    QRadioButton* optWhereItCameFrom;
    QGroupBox* grpExisting;
    QRadioButton* optKeepBoth;
    QRadioButton* optReplace;
    QRadioButton* optSkip;
    QCheckBox* chkAsItWas;
    QPushButton* cmdRestore;
    QPushButton* cmdRestoreAll;
    QPushButton* cmdClose;
    QLabel* lblStatus;
    QProgressBar* prgProgress;
    QPushButton* cmdCancel;

    // Closing is refused while a run is in progress.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    Installation installation_;
    std::string jobFolder_;
    // Where the job's copy goes ("NAME:path"), or empty without a copy.
    std::string copyRemote_;
    std::unique_ptr<CopyListing> copyListing_;
    std::optional<CopyListingAnswer> copyAnswer_;
    PointsInTime points_;
    int point_ = -1;
    bool loaded_ = false;
    bool running_ = false;
    bool cancelRequested_ = false;

    void BuildControls();
    void ArrangeControls();
    void ConnectControls();
    void ShowPoints();
    // Starts listing the copy, once, when the job has one and backups.
    void ListCopy();
    void TakeCopyListing(const CopyListingAnswer& answer);
    // The "On the copy" text of the point.
    QString OnCopyText(const TimePoint& point) const;
    void ShowTree();
    void ShowSearch(const std::string& text);
    void ShowVersions();
    void ShowPreview();
    void ChooseDestination();
    void SetStatus(const std::string& text);
    // The chosen file of the tree, or nothing.
    std::optional<std::uint32_t> SelectedFile() const;
    // What the selection restores, and the folders (listed, "" for all)
    // "Restore as it was" looks in.
    std::vector<PresentFile> SelectedFiles(std::vector<std::string>& folders) const;
    void Restore(const std::vector<PresentFile>& files, const std::vector<std::string>& folders);
    // One run into `destination`; false when it did not end well (the
    // person was told).
    bool RestoreInto(const std::vector<PresentFile>& files, const std::string& destination,
                     const std::vector<std::string>& extras, PlacedRestoreDetails& total);
    ExistingFiles Choice() const;

    // Runs `work` with the form busy: progress shown, Cancel enabled.
    template <typename Work> auto Busy(const std::string& status, Work work);
};

} // namespace rk::restore
