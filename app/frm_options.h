#pragma once
// The Options dialog: where the zip utility, the unzip utility and the job
// store folder are set. OK validates, saves the three settings and updates the
// program-wide values; Cancel and the close box change nothing.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rk::app {

class frmOptions final : public QDialog {
  public:
    // Loads the dialog: centred, the boxes filled from the settings.
    explicit frmOptions(QWidget* parent = nullptr);

    // The "Tools" box: the zip and unzip utilities, with its picture Image2.
    QGroupBox* Frame2;
    QLabel* lblZip;
    QLineEdit* txtZip;
    QPushButton* cmdChooseZip;
    QLabel* lblUnzip;
    QLineEdit* txtUnzip;
    QPushButton* cmdChooseUnzip;
    QLabel* Image2;
    // The "Backup" box: the job store folder, with its picture Image1.
    QGroupBox* Frame1;
    QLabel* lblStore;
    QLineEdit* txtStore;
    QPushButton* cmdChooseStore;
    QLabel* Image1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

  private:
    void BuildControls();
    void Form_Load();
    void cmdChooseZip_Click();
    void cmdChooseUnzip_Click();
    void cmdChooseStore_Click();
    void cmdOK_Click();
    // The first failing check's message, or empty text when all pass.
    std::string ValidationMessage() const;
    void Save();
};

// Shows a freshly loaded Options dialog modally; true when it was closed by OK.
bool ShowOptions(QWidget* parent = nullptr);

} // namespace rk::app
