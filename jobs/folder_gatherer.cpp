#include "jobs/folder_gatherer.h"

#include "platform/drive_map.h"
#include "ui/accessible_names.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace rk::jobs {

namespace {

QPushButton* Button(const char* name, const char* caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

FolderGatherer::FolderGatherer(QWidget* parent)
    : QDialog(parent), lblPrompt(new QLabel), lstFolders(new QListWidget),
      cmdAdd(Button("cmdAdd", "Add...")), cmdRemove(Button("cmdRemove", "Remove")),
      cmdOK(Button("cmdOK", "OK")), cmdCancel(Button("cmdCancel", "Cancel")) {
    setObjectName("axFolderGatherer");
    setModal(true);
    lblPrompt->setObjectName("lblPrompt");
    lblPrompt->setWordWrap(true);
    lstFolders->setObjectName("lstFolders");
    lstFolders->setSelectionMode(QAbstractItemView::SingleSelection);
    ui::NameControl(*lstFolders, "Folders");
    cmdOK->setDefault(true);

    auto* side = new QVBoxLayout;
    side->addWidget(cmdAdd);
    side->addWidget(cmdRemove);
    side->addStretch();
    auto* list = new QHBoxLayout;
    list->addWidget(lstFolders, 1);
    list->addLayout(side);
    auto* closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(cmdOK);
    closing->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPrompt);
    layout->addLayout(list, 1);
    layout->addLayout(closing);
    resize(480, 300);

    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { cmdRemove_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { accept(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(lstFolders, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

void FolderGatherer::SetTitleText(std::string_view text) {
    setWindowTitle(ui::ToQString(text));
}

void FolderGatherer::SetPromptText(std::string_view text) {
    lblPrompt->setText(ui::ToQString(text));
}

void FolderGatherer::Clear() {
    items_.items_.clear();
    ShowItems();
}

void FolderGatherer::Add(const FolderItem& item) {
    // One row more, not the whole list again: a long list loads in linear time.
    items_.items_.push_back(item);
    lstFolders->addItem(ui::ToQString(item.displayname));
    UpdateButtons();
}

void FolderGatherer::Prepare() {
    confirmed_ = false;
    ShowItems();
    if (lstFolders->count() > 0)
        lstFolders->setCurrentRow(0);
}

void FolderGatherer::Present() {
    ui::Current().ShowModal(*this);
}

void FolderGatherer::done(int result) {
    confirmed_ = result == QDialog::Accepted;
    QDialog::done(result);
}

void FolderGatherer::cmdAdd_Click() {
    if (!RequestNewItem)
        return;
    std::optional<FolderItem> item;
    RequestNewItem(item);
    if (!item)
        return;
    // A folder listed twice would be backed up twice into every archive.
    const std::string added = platform::NormalizeWindowsPath(item->displayname);
    for (std::size_t row = 0; row < items_.items_.size(); ++row) {
        if (platform::NormalizeWindowsPath(items_.items_[row].displayname) == added) {
            ui::MsgBox("The folder " + item->displayname + " is already in the list.",
                       ui::Buttons::OK, ui::Icon::Exclamation);
            lstFolders->setCurrentRow(static_cast<int>(row));
            return;
        }
    }
    items_.items_.push_back(*item);
    ShowItems();
    lstFolders->setCurrentRow(lstFolders->count() - 1);
}

void FolderGatherer::cmdRemove_Click() {
    const int row = lstFolders->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= items_.items_.size())
        return;
    items_.items_.erase(items_.items_.begin() + row);
    delete lstFolders->takeItem(row);
    // Remove was disabled for a moment while no row was current, which moves
    // the focus on (to OK, where a second Space would save the list): it goes
    // back to Remove, or to the list once it is empty.
    if (lstFolders->count() > 0) {
        lstFolders->setCurrentRow(std::min(row, lstFolders->count() - 1));
        cmdRemove->setFocus();
    } else {
        lstFolders->setFocus();
    }
}

void FolderGatherer::ShowItems() {
    lstFolders->clear();
    for (const FolderItem& item : items_.items_)
        lstFolders->addItem(ui::ToQString(item.displayname));
    UpdateButtons();
}

void FolderGatherer::UpdateButtons() {
    cmdRemove->setEnabled(lstFolders->currentRow() >= 0);
}

} // namespace rk::jobs
