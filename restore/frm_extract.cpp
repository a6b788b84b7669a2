#include "restore/frm_extract.h"

#include "core/text.h"
#include "engine/job_archives.h"
#include "engine/temporary_folders.h"
#include "platform/file_system.h"
#include "restore/command_dates.h"
#include "restore/restore_request.h"
#include "ui/accessible_names.h"
#include "ui/centre.h"
#include "ui/file_dialogs.h"
#include "ui/host_path_hint.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace rk::restore {

namespace {

QLineEdit* ReadOnlyBox(const char* name) {
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setReadOnly(true);
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Window));
    box->setPalette(colours);
    return box;
}

QPushButton* Button(const char* name, const char* caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    return button;
}

QLabel* Label(const char* name, const char* caption) {
    auto* label = new QLabel(caption);
    label->setObjectName(name);
    return label;
}

QDateEdit* DatePicker(const char* name) {
    auto* picker = new QDateEdit;
    picker->setObjectName(name);
    picker->setCalendarPopup(true);
    picker->setDateRange(FirstPickerDate(), LastPickerDate());
    picker->setDate(QDate(2000, 12, 2));
    return picker;
}

QPushButton* PullButton(const char* name) {
    QPushButton* button = Button(name, "->");
    button->setToolTip("Pick date from filelist");
    button->setMaximumWidth(32);
    return button;
}

} // namespace

frmExtract::frmExtract(ProgressDisplay& progress, QWidget* parent)
    : QDialog(parent), progress_(progress) {
    setObjectName("frmExtract");
    setWindowTitle("Extract Range");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    BuildControls();
    ArrangeControls();
    ConnectControls();
    ui::CentreOnScreen(*this);
    txtDestination->setText(ui::ToQString(DefaultDestination()));
}

frmExtract::~frmExtract() = default;

void frmExtract::BuildControls() {
    lblSource = Label("lblSource", "Source Folder:");
    txtSource = ReadOnlyBox("txtSource");
    cmdChooseSource = Button("cmdChooseSource", "...");
    cmdChooseSource->setMaximumWidth(32);
    lstBackupsList = new QListWidget;
    lstBackupsList->setObjectName("lstBackupsList");
    lstBackupsList->setSelectionMode(QAbstractItemView::SingleSelection);
    lblDestination = Label("lblDestination", "Destination Folder:");
    txtDestination = ReadOnlyBox("txtDestination");
    cmdChooseDestination = Button("cmdChooseDestination", "...");
    cmdChooseDestination->setMaximumWidth(32);
    lblDates = Label("lblDates", "Dates:");
    cmdPullStartDate = PullButton("cmdPullStartDate");
    axStartDate = DatePicker("axStartDate");
    Label1 = Label("Label1", "to");
    cmdPullEndDate = PullButton("cmdPullEndDate");
    axEndDate = DatePicker("axEndDate");
    grpAction = new QGroupBox("Action:");
    grpAction->setObjectName("grpAction");
    const char* captions[] = {"Extract all files", "Consolidate", "Prompt for files to extract"};
    for (std::size_t i = 0; i < optAction.size(); ++i) {
        optAction[i] = new QRadioButton(captions[i]);
        optAction[i]->setObjectName(ui::ToQString("optAction" + std::to_string(i)));
    }
    optAction[2]->setChecked(true);
    chkDelCon = new QCheckBox("Delete consolidated backups");
    chkDelCon->setObjectName("chkDelCon");
    chkDelCon->setChecked(kDeleteReplacedByDefault);
    chkDelCon->setEnabled(false);
    cmdOK = Button("cmdOK", "OK");
    cmdOK->setDefault(true);
    cmdCancel = Button("cmdCancel", "Cancel");

    ui::NameAfterLabel(*txtSource, *lblSource);
    ui::ShowHostPathHint(*txtSource);
    ui::ShowHostPathHint(*txtDestination);
    ui::NameControl(*cmdChooseSource, "Choose the source folder");
    ui::NameControl(*lstBackupsList, "Backups");
    ui::NameAfterLabel(*txtDestination, *lblDestination);
    ui::NameControl(*cmdChooseDestination, "Choose the destination folder");
    ui::NameControl(*axStartDate, "Start date");
    ui::NameControl(*axEndDate, "End date");
    cmdPullStartDate->setAccessibleName("Take the start date from the selected backup");
    cmdPullEndDate->setAccessibleName("Take the end date from the selected backup");
}

void frmExtract::ArrangeControls() {
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(txtSource, 1);
    sourceRow->addWidget(cmdChooseSource);
    auto* left = new QVBoxLayout;
    left->addWidget(lblSource);
    left->addLayout(sourceRow);
    left->addWidget(lstBackupsList, 1);

    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(txtDestination, 1);
    destinationRow->addWidget(cmdChooseDestination);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(cmdPullStartDate);
    dateRow->addWidget(axStartDate, 1);
    dateRow->addWidget(Label1);
    dateRow->addWidget(cmdPullEndDate);
    dateRow->addWidget(axEndDate, 1);
    auto* consolidateRow = new QHBoxLayout;
    consolidateRow->addWidget(optAction[1]);
    consolidateRow->addWidget(chkDelCon);
    consolidateRow->addStretch(1);
    auto* actions = new QVBoxLayout(grpAction);
    actions->addWidget(optAction[2]);
    actions->addWidget(optAction[0]);
    actions->addLayout(consolidateRow);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(cmdOK);
    buttonRow->addWidget(cmdCancel);
    auto* right = new QVBoxLayout;
    right->addWidget(lblDestination);
    right->addLayout(destinationRow);
    right->addWidget(lblDates);
    right->addLayout(dateRow);
    right->addWidget(grpAction);
    right->addStretch(1);
    right->addLayout(buttonRow);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    lstBackupsList->setMinimumSize(240, 260);
    txtDestination->setMinimumWidth(220);

    QWidget* order[] = {
        lstBackupsList,   txtSource,    cmdChooseSource, txtDestination, cmdChooseDestination,
        cmdPullStartDate, axStartDate,  cmdPullEndDate,  axEndDate,      optAction[2],
        optAction[0],     optAction[1], chkDelCon,       cmdOK,          cmdCancel};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    lstBackupsList->setFocus();
}

void frmExtract::ConnectControls() {
    connect(cmdChooseSource, &QPushButton::clicked, this, [this] { ChooseSource(); });
    connect(cmdChooseDestination, &QPushButton::clicked, this, [this] { ChooseDestination(); });
    connect(cmdPullStartDate, &QPushButton::clicked, this, [this] { PullDate(*axStartDate); });
    connect(cmdPullEndDate, &QPushButton::clicked, this, [this] { PullDate(*axEndDate); });
    for (std::size_t i = 0; i < optAction.size(); ++i)
        connect(optAction[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                ActionClicked(static_cast<int>(i));
        });
    connect(cmdOK, &QPushButton::clicked, this, [this] { StartExtract(false); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmExtract::reject() {
    if (!running_)
        QDialog::reject();
}

void frmExtract::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmExtract::ChooseSource() {
    const std::string folder =
        ui::BrowseForFolder(this, "Select the folder where the backups are located");
    if (folder.empty())
        return;
    txtSource->setText(ui::ToQString(folder));
    UpdateFileList();
}

void frmExtract::ChooseDestination() {
    if (ui::MsgBox("Use temp folder?", ui::Buttons::YesNo, ui::Icon::Question) == ui::Answer::Yes) {
        const std::string temporary = DefaultDestination();
        if (temporary.empty()) {
            ui::MsgBox(TempFolderProblem(), ui::Buttons::OK, ui::Icon::Exclamation);
            return;
        }
        txtDestination->setText(ui::ToQString(temporary));
        return;
    }
    const std::string folder =
        ui::BrowseForFolder(this, "Select the folder you want to extract the files to");
    if (!folder.empty())
        txtDestination->setText(ui::ToQString(folder));
}

void frmExtract::PullDate(QDateEdit& picker) {
    // The selected entry, which the keyboard can leave apart from the
    // list's current item.
    const QList<QListWidgetItem*> selected = lstBackupsList->selectedItems();
    if (selected.isEmpty())
        return;
    if (const auto day = ArchiveDate(ui::FromQString(selected.front()->text())))
        picker.setDate(DateOf(*day));
}

void frmExtract::ActionClicked(int index) {
    chkDelCon->setEnabled(index == 1);
}

ExtractAction frmExtract::Action() const {
    if (optAction[0]->isChecked())
        return ExtractAction::ExtractAll;
    if (optAction[1]->isChecked())
        return ExtractAction::Consolidate;
    return ExtractAction::ExtractPicked;
}

void frmExtract::UpdateFileList() {
    ShowArchiveNames(JobArchiveNames(ui::FromQString(txtSource->text())));
}

void frmExtract::ShowArchiveNames(const std::vector<std::string>& names) {
    lstBackupsList->clear();
    // Filled in one go: a job folder may hold tens of thousands of archives.
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names)
        items.push_back(ui::ToQString(name));
    lstBackupsList->addItems(items);
}

std::vector<std::string> frmExtract::ArchiveNames() const {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(lstBackupsList->count()));
    for (int i = 0; i < lstBackupsList->count(); ++i)
        names.push_back(ui::FromQString(lstBackupsList->item(i)->text()));
    return names;
}

} // namespace rk::restore
