#include "app/frm_options.h"

#include "core/file_checks.h"
#include "core/program_values.h"
#include "core/settings.h"
#include "core/text.h"
#include "ui/accessible_names.h"
#include "ui/centre.h"
#include "ui/file_dialogs.h"
#include "ui/host_path_hint.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <string>

namespace rk::app {

namespace {

constexpr std::string_view UtilityFilter = "EXE Files (*.exe),*.exe,All Files (*.*),*.*";

template <typename Widget, typename... Args> Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

QLabel* Picture(const char* name, QStyle::StandardPixmap pixmap) {
    auto* picture = Named<QLabel>(name);
    picture->setPixmap(QApplication::style()->standardIcon(pixmap).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    return picture;
}

std::string Text(const QLineEdit* box) {
    return ui::FromQString(box->text());
}

} // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    BuildControls();
    Form_Load();
}

void frmOptions::BuildControls() {
    setObjectName("frmOptions");
    setWindowTitle("Ravelkeep Options");

    Frame2 = Named<QGroupBox>("Frame2", "Tools");
    lblZip = Named<QLabel>("lblZip", "Location of zip utility");
    txtZip = Named<QLineEdit>("txtZip");
    cmdChooseZip = Named<QPushButton>("cmdChooseZip", "...");
    lblUnzip = Named<QLabel>("lblUnzip", "Location of unzip utility");
    txtUnzip = Named<QLineEdit>("txtUnzip");
    cmdChooseUnzip = Named<QPushButton>("cmdChooseUnzip", "...");
    Image2 = Picture("Image2", QStyle::SP_ComputerIcon);

    Frame1 = Named<QGroupBox>("Frame1", "Backup");
    lblStore = Named<QLabel>("lblStore", "Store all Ravelkeep files in");
    txtStore = Named<QLineEdit>("txtStore");
    cmdChooseStore = Named<QPushButton>("cmdChooseStore", "...");
    Image1 = Picture("Image1", QStyle::SP_DriveHDIcon);

    cmdOK = Named<QPushButton>("cmdOK", "OK");
    cmdCancel = Named<QPushButton>("cmdCancel", "Cancel");
    cmdOK->setDefault(true);
    for (QPushButton* chooser : {cmdChooseZip, cmdChooseUnzip, cmdChooseStore}) {
        chooser->setAutoDefault(false);
        chooser->setFixedWidth(32);
    }
    cmdCancel->setAutoDefault(false);
    ui::NameAfterLabel(*txtZip, *lblZip);
    ui::NameAfterLabel(*txtUnzip, *lblUnzip);
    ui::NameAfterLabel(*txtStore, *lblStore);
    for (QLineEdit* path : {txtZip, txtUnzip, txtStore})
        ui::ShowHostPathHint(*path);
    ui::NameControl(*cmdChooseZip, "Choose the zip utility");
    ui::NameControl(*cmdChooseUnzip, "Choose the unzip utility");
    ui::NameControl(*cmdChooseStore, "Choose the folder for Ravelkeep files");

    auto* tools = new QGridLayout(Frame2);
    tools->addWidget(Image2, 0, 0, 4, 1);
    tools->addWidget(lblZip, 0, 1, 1, 2);
    tools->addWidget(txtZip, 1, 1);
    tools->addWidget(cmdChooseZip, 1, 2);
    tools->addWidget(lblUnzip, 2, 1, 1, 2);
    tools->addWidget(txtUnzip, 3, 1);
    tools->addWidget(cmdChooseUnzip, 3, 2);

    auto* backup = new QGridLayout(Frame1);
    backup->addWidget(Image1, 0, 0, 2, 1);
    backup->addWidget(lblStore, 0, 1, 1, 2);
    backup->addWidget(txtStore, 1, 1);
    backup->addWidget(cmdChooseStore, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    resize(440, sizeHint().height());

    connect(cmdChooseZip, &QPushButton::clicked, this, [this] { cmdChooseZip_Click(); });
    connect(cmdChooseUnzip, &QPushButton::clicked, this, [this] { cmdChooseUnzip_Click(); });
    connect(cmdChooseStore, &QPushButton::clicked, this, [this] { cmdChooseStore_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmOptions::Form_Load() {
    ui::CentreOnScreen(*this);
    txtZip->setText(ui::ToQString(ReadSetting("ziputil")));
    txtUnzip->setText(ui::ToQString(ReadSetting("unziputil")));
    txtStore->setText(ui::ToQString(ReadSetting("jobs")));
}

void frmOptions::cmdChooseZip_Click() {
    std::string path;
    if (ui::ShowFileDialog(path, 0, this, "Select the zip utility", "", UtilityFilter, "") != 0)
        txtZip->setText(ui::ToQString(path));
}

void frmOptions::cmdChooseUnzip_Click() {
    std::string path;
    if (ui::ShowFileDialog(path, 0, this, "Select the unzip utility", "", UtilityFilter, "") != 0)
        txtUnzip->setText(ui::ToQString(path));
}

void frmOptions::cmdChooseStore_Click() {
    const std::string folder =
        ui::BrowseForFolder(this, "Select where you want to store your backups",
                            Text(txtStore).empty() ? JobStoreFolder : Text(txtStore));
    if (!folder.empty())
        txtStore->setText(ui::ToQString(folder));
}

std::string frmOptions::ValidationMessage() const {
    // A box holding only spaces is not empty here.
    if (txtZip->text().isEmpty() || txtUnzip->text().isEmpty() || txtStore->text().isEmpty())
        return "Information not complete!";
    if (!PathExists(Text(txtZip)))
        return "Could not locate zip utility. Cannot continue.";
    if (!PathExists(Text(txtUnzip)))
        return "Could not locate unzip utility. Cannot continue.";
    if (!FolderExists(Text(txtStore)))
        return "Backup folder does not exist. Please create it before continuing.";
    return {};
}

void frmOptions::cmdOK_Click() {
    if (const std::string message = ValidationMessage(); !message.empty()) {
        ui::MsgBox(message, ui::Buttons::OK, ui::Icon::Critical);
        return;
    }
    Save();
    accept();
}

// Saved exactly as typed; only the job store folder's program-wide value is
// given its trailing backslash.
void frmOptions::Save() {
    const std::string zip = Text(txtZip);
    const std::string unzip = Text(txtUnzip);
    const std::string store = Text(txtStore);
    WriteSetting("ziputil", zip);
    ZipUtilPath = zip;
    WriteSetting("unziputil", unzip);
    UnzipUtilPath = unzip;
    WriteSetting("jobs", store);
    JobStoreFolder = AddBackslash(store);
}

bool ShowOptions(QWidget* parent) {
    frmOptions form(parent);
    return ui::Current().ShowModal(form) == QDialog::Accepted;
}

} // namespace rk::app
