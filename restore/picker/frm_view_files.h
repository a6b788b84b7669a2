#pragma once
// "Select Files": the file picker of the individual-files restore. It lists
// the distinct names held by the archives of a range, in natural order, for a
// selection of several; a filter box narrows the list to the names containing
// its text; for the current name a line tells which backups hold a version.

#include "engine/file_list_gathering.h"

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QItemSelection;
class QLabel;
class QLineEdit;
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

    // Fills lstFiles with the merged names in natural order (see
    // NaturalOrderKey), each entry's text the name as it stands, and applies
    // the filter box to them.
    void ShowFiles(MergedFileList files, ProgressDisplay& progress);

    // The texts of the entries of lstFiles that are selected, first to last,
    // whether the filter shows them now or not: the filter narrows what is
    // shown, never what is picked.
    std::vector<std::string> SelectedNames() const;

    // True after OK; false after Cancel or the close box.
    bool STATUS = false;

    QPlainTextEdit* txtInfo;
    QLabel* lblFiles;
    QLabel* lblFilter;
    QLineEdit* txtFilter;
    QListWidget* lstFiles;
    QLabel* lblVersions;
    // "N files selected", as the person picks, hidden entries counted.
    QLabel* lblSelected;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void reject() override;

  private:
    // The versions line for the current entry; empty while it is hidden.
    void ShowVersions();
    // Hides the entries whose text does not contain the filter box's text,
    // letter case ignored and "/" read as a backslash, and shows the others.
    // Selections are left as they are: an entry hidden while selected stays
    // picked.
    void ApplyFilter();
    // Takes back the selection of entries that were hidden when they were
    // selected: only an entry that shows can be newly chosen (selecting all
    // while a filter hides entries picks only those shown).
    void DeselectHidden(const QItemSelection& selected);
    // The line under the list that counts the entries picked.
    void ShowSelectedCount();

    // The names shown, kept for their archives (the versions line is made
    // when asked for); by row of lstFiles: the entry, its text with letter
    // case folded, and whether it is hidden.
    MergedFileList files_;
    std::vector<const CStoredFile*> entries_;
    std::vector<QString> folded_;
    std::vector<char> hidden_;
};

// The versions line for a name held by these archives (names, oldest first):
// their dates in the short date form, with the time of day the names carry:
// hours and minutes, and the seconds too unless every one of the versions was
// made on a whole minute.
std::string VersionsText(const std::vector<std::string>& archiveNames);

} // namespace rk
