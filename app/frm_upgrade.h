#pragma once
// The upgrade notes: tells users of Ravelkeep 1 how to deal with their old
// backup sets. Its only lasting effect is the setting "UpgradePromptShown",
// written whenever the dialog closes (by OK or by the close box).

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

namespace rk::app {

class frmUpgrade final : public QDialog {
  public:
    // Loads the dialog: centred, the check box ticked unless the stored value is 0.
    explicit frmUpgrade(QWidget* parent = nullptr);

    QLabel* lblUpgrade1;
    QLabel* lblUpgrade2;
    QCheckBox* chkNoShowAgain;
    QPushButton* cmdOK;

    // Every way of closing ends here: the check box state is stored first.
    void done(int result) override;

  private:
    void BuildControls();
    void Form_Load();
};

// True unless the stored "UpgradePromptShown", rounded, is -1.
bool UpgradeNotesDue();

// Shows a freshly loaded upgrade notes dialog modally.
void ShowUpgradeNotes(QWidget* parent = nullptr);

} // namespace rk::app
