#pragma once
// "Select Files": the file picker of the individual-files restore. It lists
// the distinct names held by the archives of a range, sorted, for a selection
// of several; for the current name a line tells which backups hold a version.

#include "engine/picker/file_list_gathering.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rk {

class frmViewFiles final : public QDialog {
  public:
    explicit frmViewFiles(QWidget* parent = nullptr);

    // Lists the archives (names in `sSourceFolder`, oldest first) through the
    // unzip utility and fills lstFiles with the merged names. Stops at the
    // first archive that cannot be listed and says which.
    GatherOutcome DataRefresh(const std::string& sSourceFolder,
                              const std::vector<std::string>& archiveNames,
                              ProgressDisplay& progress);

    // The texts of the selected entries of lstFiles, first to last.
    std::vector<std::string> SelectedNames() const;

    // True after OK; false after Cancel or the close box.
    bool STATUS = false;

    QPlainTextEdit* txtInfo;
    QLabel* lblFiles;
    QListWidget* lstFiles;
    QLabel* lblVersions;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void reject() override;

  private:
    // The versions line for the current entry.
    void ShowVersions();
};

// The versions line for a name held by these archives (names, oldest first):
// their dates in the short date form, with the time of day the names carry.
std::string VersionsText(const std::vector<std::string>& archiveNames);

} // namespace rk
