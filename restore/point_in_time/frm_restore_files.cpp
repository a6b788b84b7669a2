#include "restore/point_in_time/frm_restore_files.h"

#include "core/file_checks.h"
#include "core/listed_names.h"
#include "core/text.h"
#include "engine/copy_record.h"
#include "engine/job_points.h"
#include "engine/temporary_folders.h"
#include "engine/tool_runner.h"
#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "restore/point_in_time/restore_origin.h"
#include "restore/run/point_restore.h"
#include "ui/accessible_names.h"
#include "ui/qt_text.h"
#include "ui/seam.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <fstream>
#include <map>

namespace rk::restore {

namespace {

namespace fs = std::filesystem;

constexpr int kFileRole = Qt::UserRole;       // the file's number, on file items
constexpr int kFolderRole = Qt::UserRole + 1; // the folder's listed name, on folder items
constexpr int kPointRole = Qt::UserRole + 2;  // the point's index, on points and versions

// The column of the points that says whether a backup is on the copy.
constexpr int kOnCopyColumn = 4;

// The most names the question of "Restore as it was" lists.
constexpr std::size_t kMostNamesAsked = 20;
// The most bytes of a text version the preview shows.
constexpr std::uintmax_t kMostPreviewBytes = 256 * 1024;

QString SizeText(std::uint64_t bytes) {
    return QLocale::system().formattedDataSize(static_cast<qint64>(bytes), 1,
                                               QLocale::DataSizeTraditionalFormat);
}

QString TimeText(std::int64_t seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds).toString("yyyy-MM-dd HH:mm:ss");
}

const char* KindText(PointKind kind) {
    switch (kind) {
    case PointKind::Root:
        return "Root";
    case PointKind::Incremental:
        return "Incremental";
    case PointKind::Consolidated:
        return "Consolidated";
    case PointKind::Unknown:
        break;
    }
    return "";
}

std::string PointText(const TimePoint& point) {
    return point.when.empty() ? point.archiveName : point.when;
}

QTreeWidget* Tree(const char* name, const QStringList& headers) {
    auto* tree = new QTreeWidget;
    tree->setObjectName(name);
    tree->setHeaderLabels(headers);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    return tree;
}

QLabel* Label(const char* name, const char* text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

QPushButton* Button(const char* name, const char* text) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QRadioButton* Option(const char* name, const char* text) {
    auto* option = new QRadioButton(text);
    option->setObjectName(name);
    return option;
}

// The last component of a listed name ("Data\a\f.txt" is "f.txt").
std::string LastComponent(const std::string& listedName) {
    std::string name = listedName;
    if (!name.empty() && name.back() == '\\')
        name.pop_back();
    const std::size_t slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// A private folder of the temporary folder for a preview, removed with all
// it holds when the preview has been read.
class PreviewFolder {
  public:
    PreviewFolder() : windows_(GetTempFolder("rkpv")) {
        if (!windows_.empty() && !platform::CreatePrivateFolder(windows_))
            windows_.clear();
        if (!windows_.empty())
            host_ = platform::ToHostPath(windows_).value_or("");
    }
    ~PreviewFolder() {
        std::error_code error;
        if (!host_.empty())
            fs::remove_all(host_, error);
    }
    PreviewFolder(const PreviewFolder&) = delete;
    PreviewFolder& operator=(const PreviewFolder&) = delete;
    bool made() const { return !host_.empty(); }
    const std::string& windows() const { return windows_; }
    const std::string& host() const { return host_; }

  private:
    std::string windows_;
    std::string host_;
};

} // namespace

frmRestoreFiles::frmRestoreFiles(Installation installation, std::string jobFolder, QWidget* parent)
    : QDialog(parent), installation_(std::move(installation)), jobFolder_(std::move(jobFolder)),
      copyRemote_(ReadCopyRecord(jobFolder_).remote) {
    setObjectName("frmRestoreFiles");
    setWindowTitle("Restore Files");
    BuildControls();
    ArrangeControls();
    ConnectControls();
    resize(1000, 640);
}

frmRestoreFiles::~frmRestoreFiles() = default;

void frmRestoreFiles::BuildControls() {
    std::string header = "Backups of " + jobFolder_;
    if (!copyRemote_.empty())
        header += "    (copy set: " + copyRemote_ + ")";
    lblJob = new QLabel(ui::ToQString(header));
    lblJob->setObjectName("lblJob");
    lblPoints = Label("lblPoints", "Points in time:");
    QStringList pointColumns{"Date and time", "Kind", "Size", "On this computer"};
    // Without a copy there is nothing to say about one.
    if (!copyRemote_.empty())
        pointColumns.push_back("On the copy");
    lstPoints = Tree("lstPoints", pointColumns);
    lblSearch = Label("lblSearch", "Search all backups:");
    txtSearch = new QLineEdit;
    txtSearch->setObjectName("txtSearch");
    tvwFiles = Tree("tvwFiles", {"Name", "Size", "Modified", "Backup"});
    tvwFiles->setRootIsDecorated(true);
    lblVersions = Label("lblVersions", "Versions:");
    lstVersions = Tree("lstVersions", {"Backup", "Date and time", "Size", "Modified"});
    cmdPreview = Button("cmdPreview", "Preview");
    stkPreview = new QStackedWidget;
    stkPreview->setObjectName("stkPreview");
    txtPreview = new QPlainTextEdit;
    txtPreview->setObjectName("txtPreview");
    txtPreview->setReadOnly(true);
    imgPreview = new QLabel;
    imgPreview->setObjectName("imgPreview");
    imgPreview->setAlignment(Qt::AlignCenter);
    stkPreview->addWidget(txtPreview);
    stkPreview->addWidget(imgPreview);

    grpDestination = new QGroupBox("Restore to:");
    grpDestination->setObjectName("grpDestination");
    optChosenFolder = Option("optChosenFolder", "This folder:");
    optChosenFolder->setChecked(true);
    txtDestination = new QLineEdit;
    txtDestination->setObjectName("txtDestination");
    cmdChooseDestination = Button("cmdChooseDestination", "...");
    cmdChooseDestination->setMaximumWidth(32);
    optWhereItCameFrom = Option("optWhereItCameFrom", "Where it came from");
    grpExisting = new QGroupBox("Files that exist there now:");
    grpExisting->setObjectName("grpExisting");
    optKeepBoth = Option("optKeepBoth", "Keep both");
    optKeepBoth->setChecked(true);
    optReplace = Option("optReplace", "Replace");
    optSkip = Option("optSkip", "Skip");
    chkAsItWas = new QCheckBox("Restore as it was (remove files that were not there then)");
    chkAsItWas->setObjectName("chkAsItWas");
    cmdRestore = Button("cmdRestore", "&Restore");
    cmdRestoreAll = Button("cmdRestoreAll", "Restore &Everything");
    cmdClose = Button("cmdClose", "Close");
    lblStatus = new QLabel;
    lblStatus->setObjectName("lblStatus");
    prgProgress = new QProgressBar;
    prgProgress->setObjectName("prgProgress");
    prgProgress->setTextVisible(false);
    prgProgress->setMaximumWidth(200);
    cmdCancel = Button("cmdCancel", "Cancel");
    cmdCancel->setEnabled(false);

    ui::NameAfterLabel(*lstPoints, *lblPoints);
    ui::NameAfterLabel(*txtSearch, *lblSearch);
    ui::NameAfterLabel(*lstVersions, *lblVersions);
    ui::NameControl(*tvwFiles, "Files at the chosen point in time");
    ui::NameControl(*txtDestination, "Folder to restore to");
    ui::NameControl(*cmdChooseDestination, "Choose the folder to restore to");
    ui::NameControl(*stkPreview, "Preview");
    ui::NameControl(*txtPreview, "Preview of the chosen version");
    ui::NameControl(*prgProgress, "Progress");
}

void frmRestoreFiles::ArrangeControls() {
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(lblPoints);
    leftLayout->addWidget(lstPoints);

    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(lblSearch);
    searchRow->addWidget(txtSearch, 1);
    rightLayout->addLayout(searchRow);
    rightLayout->addWidget(tvwFiles, 3);
    auto* lower = new QHBoxLayout;
    auto* versions = new QVBoxLayout;
    versions->addWidget(lblVersions);
    versions->addWidget(lstVersions);
    versions->addWidget(cmdPreview, 0, Qt::AlignLeft);
    lower->addLayout(versions, 1);
    lower->addWidget(stkPreview, 1);
    rightLayout->addLayout(lower, 2);

    auto* split = new QSplitter;
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 2);

    auto* destination = new QGridLayout(grpDestination);
    destination->addWidget(optChosenFolder, 0, 0);
    destination->addWidget(txtDestination, 0, 1);
    destination->addWidget(cmdChooseDestination, 0, 2);
    destination->addWidget(optWhereItCameFrom, 1, 0, 1, 3);
    auto* existing = new QVBoxLayout(grpExisting);
    existing->addWidget(optKeepBoth);
    existing->addWidget(optReplace);
    existing->addWidget(optSkip);
    auto* choices = new QHBoxLayout;
    choices->addWidget(grpDestination, 2);
    choices->addWidget(grpExisting, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkAsItWas);
    buttons->addStretch(1);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdRestoreAll);
    buttons->addWidget(cmdClose);

    auto* status = new QHBoxLayout;
    status->addWidget(lblStatus, 1);
    status->addWidget(prgProgress);
    status->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJob);
    layout->addWidget(split, 1);
    layout->addLayout(choices);
    layout->addLayout(buttons);
    layout->addLayout(status);
}

void frmRestoreFiles::ConnectControls() {
    connect(lstPoints, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && !running_)
            ChoosePoint(item->data(0, kPointRole).toInt());
    });
    connect(txtSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            ShowTree();
        else
            ShowSearch(ui::FromQString(text));
    });
    connect(tvwFiles, &QTreeWidget::currentItemChanged, this, [this] { ShowVersions(); });
    connect(cmdPreview, &QPushButton::clicked, this, [this] { ShowPreview(); });
    connect(cmdChooseDestination, &QPushButton::clicked, this, [this] { ChooseDestination(); });
    connect(optWhereItCameFrom, &QRadioButton::toggled, this, [this](bool on) {
        // "As it was" removes files only in a folder the person chose.
        chkAsItWas->setEnabled(!on);
        if (on)
            chkAsItWas->setChecked(false);
    });
    connect(cmdRestore, &QPushButton::clicked, this, [this] { RestoreSelection(); });
    connect(cmdRestoreAll, &QPushButton::clicked, this, [this] { RestoreEverything(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { reject(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        cancelRequested_ = true;
        SetStatus("Cancelling");
    });
}

void frmRestoreFiles::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The form is drawn first, then reads the backups with its progress shown.
    if (!loaded_)
        QTimer::singleShot(0, this, [this] {
            if (!loaded_ && !running_)
                LoadPoints();
        });
}

void frmRestoreFiles::reject() {
    if (!running_)
        QDialog::reject();
}

void frmRestoreFiles::closeEvent(QCloseEvent* event) {
    if (running_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void frmRestoreFiles::SetStatus(const std::string& text) {
    lblStatus->setText(ui::ToQString(text));
}

template <typename Work> auto frmRestoreFiles::Busy(const std::string& status, Work work) {
    running_ = true;
    cancelRequested_ = false;
    SetStatus(status);
    const bool wasEnabled[] = {lstPoints->isEnabled(), tvwFiles->isEnabled()};
    for (QWidget* part : {static_cast<QWidget*>(lstPoints), static_cast<QWidget*>(tvwFiles),
                          static_cast<QWidget*>(lstVersions), static_cast<QWidget*>(txtSearch),
                          static_cast<QWidget*>(cmdRestore), static_cast<QWidget*>(cmdRestoreAll),
                          static_cast<QWidget*>(cmdPreview), static_cast<QWidget*>(cmdClose)})
        part->setEnabled(false);
    cmdCancel->setEnabled(true);
    prgProgress->setRange(0, 0);
    auto result = [&] {
        // The utility in progress stops when the person presses Cancel.
        const ToolWatchScope watch([](const ToolProgress&) {}, [this] { return cancelRequested_; });
        return work();
    }();
    prgProgress->setRange(0, 1);
    prgProgress->setValue(0);
    cmdCancel->setEnabled(false);
    for (QWidget* part : {static_cast<QWidget*>(lstVersions), static_cast<QWidget*>(txtSearch),
                          static_cast<QWidget*>(cmdRestore), static_cast<QWidget*>(cmdRestoreAll),
                          static_cast<QWidget*>(cmdPreview), static_cast<QWidget*>(cmdClose)})
        part->setEnabled(true);
    lstPoints->setEnabled(wasEnabled[0] || loaded_);
    tvwFiles->setEnabled(wasEnabled[1] || loaded_);
    running_ = false;
    return result;
}

bool frmRestoreFiles::LoadPoints() {
    JobPointsOutcome outcome =
        Busy("Reading the backups", [this] { return LoadJobPoints(installation_, jobFolder_); });
    if (!outcome.complete) {
        if (cancelRequested_) {
            SetStatus("Cancelled");
            return false;
        }
        SetStatus("Could not read the backups");
        ui::MsgBox("Could not read the backup " + outcome.failedArchive + ": " + outcome.reason,
                   ui::Buttons::OK, ui::Icon::Critical);
        return false;
    }
    points_ = std::move(outcome.points);
    loaded_ = true;
    lstPoints->setEnabled(true);
    tvwFiles->setEnabled(true);
    ShowPoints();
    const std::size_t count = points_.Points().size();
    SetStatus(std::to_string(count) + (count == 1 ? " backup" : " backups"));
    if (count > 0)
        ChoosePoint(static_cast<int>(count) - 1);
    ListCopy();
    return true;
}

void frmRestoreFiles::ListCopy() {
    if (copyRemote_.empty() || copyListing_ || points_.Points().empty())
        return;
    // Listing remote storage can take long, or fail only after a while when
    // it is offline: the window stays usable and the column fills in when
    // the answer comes.
    copyListing_ = std::make_unique<CopyListing>(
        copyRemote_, *this, [this](const CopyListingAnswer& answer) { TakeCopyListing(answer); });
    SetStatus(ui::FromQString(lblStatus->text()) + "; reading the copy on " + copyRemote_);
}

void frmRestoreFiles::TakeCopyListing(const CopyListingAnswer& answer) {
    copyAnswer_ = answer;
    std::size_t onCopy = 0;
    for (int i = 0; i < lstPoints->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstPoints->topLevelItem(i);
        const TimePoint& point =
            points_.Points()[static_cast<std::size_t>(item->data(0, kPointRole).toInt())];
        item->setText(kOnCopyColumn, OnCopyText(point));
        item->setToolTip(kOnCopyColumn, answer.listed ? QString() : ui::ToQString(answer.reason));
        if (answer.listed && HeldOnCopy(answer.files, point.archiveName, point.size))
            ++onCopy;
    }
    lstPoints->resizeColumnToContents(kOnCopyColumn);
    // A restore in progress keeps its own status; the column's tooltips
    // still say why the copy could not be read.
    if (running_)
        return;
    const std::size_t count = points_.Points().size();
    const std::string backups = std::to_string(count) + (count == 1 ? " backup" : " backups");
    if (answer.listed)
        SetStatus(backups + ", " + std::to_string(onCopy) + " of them on the copy");
    else
        SetStatus("The copy on " + copyRemote_ + " cannot be read: " + answer.reason);
}

QString frmRestoreFiles::OnCopyText(const TimePoint& point) const {
    if (!copyAnswer_)
        return "...";
    if (!copyAnswer_->listed)
        return "?";
    return HeldOnCopy(copyAnswer_->files, point.archiveName, point.size) ? "Yes" : "No";
}

void frmRestoreFiles::ShowPoints() {
    lstPoints->clear();
    const auto& points = points_.Points();
    QList<QTreeWidgetItem*> items;
    // Newest at the top.
    for (std::size_t i = points.size(); i-- > 0;) {
        const TimePoint& point = points[i];
        QStringList columns{
            ui::ToQString(PointText(point)), KindText(point.kind), SizeText(point.size),
            PathExists(AddBackslash(jobFolder_) + point.archiveName) ? "Yes" : "No"};
        if (!copyRemote_.empty())
            columns.push_back(OnCopyText(point));
        auto* item = new QTreeWidgetItem(columns);
        item->setData(0, kPointRole, static_cast<int>(i));
        item->setToolTip(0, ui::ToQString(point.archiveName));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        items.push_back(item);
    }
    lstPoints->addTopLevelItems(items);
    lstPoints->header()->resizeSections(QHeaderView::ResizeToContents);
}

void frmRestoreFiles::ChoosePoint(int point) {
    if (point < 0 || static_cast<std::size_t>(point) >= points_.Points().size())
        return;
    point_ = point;
    for (int i = 0; i < lstPoints->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstPoints->topLevelItem(i);
        if (item->data(0, kPointRole).toInt() == point && lstPoints->currentItem() != item) {
            const QSignalBlocker quiet(lstPoints);
            lstPoints->setCurrentItem(item);
        }
    }
    if (txtSearch->text().isEmpty())
        ShowTree();
    else
        ShowSearch(ui::FromQString(txtSearch->text()));
}

void frmRestoreFiles::ShowTree() {
    tvwFiles->setUpdatesEnabled(false);
    tvwFiles->clear();
    lstVersions->clear();
    if (point_ < 0) {
        tvwFiles->setUpdatesEnabled(true);
        return;
    }
    // Folders are made as their first file needs them: names come in order.
    std::map<std::string, QTreeWidgetItem*> folders;
    QList<QTreeWidgetItem*> top;
    const auto folderItem = [&](const std::string& listedFolder, auto& self) -> QTreeWidgetItem* {
        if (listedFolder.empty())
            return nullptr;
        if (const auto found = folders.find(listedFolder); found != folders.end())
            return found->second;
        const std::string inside = listedFolder.substr(0, listedFolder.size() - 1);
        const std::size_t slash = inside.rfind('\\');
        const std::string parentName =
            slash == std::string::npos ? std::string() : listedFolder.substr(0, slash + 1);
        QTreeWidgetItem* parent = self(parentName, self);
        auto* item = new QTreeWidgetItem(QStringList{ui::ToQString(LastComponent(listedFolder))});
        item->setData(0, kFolderRole, ui::ToQString(listedFolder));
        if (parent)
            parent->addChild(item);
        else
            top.push_back(item);
        folders.emplace(listedFolder, item);
        return item;
    };
    const auto& points = points_.Points();
    for (const PresentFile& present : points_.TreeAt(point_)) {
        const std::string& name = points_.FileName(present.file);
        const std::size_t slash = name.rfind('\\');
        QTreeWidgetItem* parent = folderItem(
            slash == std::string::npos || slash == 0 ? std::string() : name.substr(0, slash + 1),
            folderItem);
        auto* item = new QTreeWidgetItem(QStringList{
            ui::ToQString(LastComponent(name)), SizeText(present.version.size),
            TimeText(present.version.mtime),
            ui::ToQString(PointText(points[static_cast<std::size_t>(present.version.point)]))});
        item->setData(0, kFileRole, static_cast<qulonglong>(present.file));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (parent)
            parent->addChild(item);
        else
            top.push_back(item);
    }
    tvwFiles->addTopLevelItems(top);
    if (top.size() == 1)
        top.front()->setExpanded(true);
    tvwFiles->header()->resizeSection(0, 320);
    tvwFiles->setUpdatesEnabled(true);
}

void frmRestoreFiles::ShowSearch(const std::string& text) {
    tvwFiles->setUpdatesEnabled(false);
    tvwFiles->clear();
    lstVersions->clear();
    // Every file of that name in any backup, with its full name; one that
    // is not there at the chosen point says so.
    QList<QTreeWidgetItem*> found;
    for (const std::uint32_t file : points_.Search(text)) {
        FileVersion version;
        const bool present = point_ >= 0 && points_.PresentAt(file, point_, &version);
        auto* item = new QTreeWidgetItem(QStringList{
            ui::ToQString(points_.FileName(file)), present ? SizeText(version.size) : QString(),
            present ? TimeText(version.mtime) : QString(),
            present ? ui::ToQString(
                          PointText(points_.Points()[static_cast<std::size_t>(version.point)]))
                    : QString("not at this point")});
        item->setData(0, kFileRole, static_cast<qulonglong>(file));
        found.push_back(item);
    }
    tvwFiles->addTopLevelItems(found);
    tvwFiles->setUpdatesEnabled(true);
    SetStatus(std::to_string(found.size()) + (found.size() == 1 ? " file found" : " files found"));
}

std::optional<std::uint32_t> frmRestoreFiles::SelectedFile() const {
    const QTreeWidgetItem* item = tvwFiles->currentItem();
    if (!item || !item->data(0, kFileRole).isValid())
        return std::nullopt;
    return static_cast<std::uint32_t>(item->data(0, kFileRole).toULongLong());
}

void frmRestoreFiles::ShowVersions() {
    lstVersions->clear();
    const std::optional<std::uint32_t> file = SelectedFile();
    if (!file)
        return;
    FileVersion atPoint;
    const bool present = point_ >= 0 && points_.PresentAt(*file, point_, &atPoint);
    QTreeWidgetItem* current = nullptr;
    for (const FileVersion& version : points_.Versions(*file)) {
        const TimePoint& point = points_.Points()[static_cast<std::size_t>(version.point)];
        auto* item = new QTreeWidgetItem(
            QStringList{ui::ToQString(point.archiveName), ui::ToQString(point.when),
                        SizeText(version.size), TimeText(version.mtime)});
        item->setData(0, kPointRole, version.point);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        lstVersions->addTopLevelItem(item);
        if (present && version.point == atPoint.point)
            current = item;
    }
    // The version the file has at the chosen point is the one restored
    // unless the person picks another.
    if (current)
        lstVersions->setCurrentItem(current);
    lstVersions->header()->resizeSections(QHeaderView::ResizeToContents);
}

std::vector<PresentFile> frmRestoreFiles::SelectedFiles(std::vector<std::string>& folders) const {
    std::vector<PresentFile> files;
    folders.clear();
    const QTreeWidgetItem* item = tvwFiles->currentItem();
    if (!item || point_ < 0)
        return files;
    if (const std::optional<std::uint32_t> file = SelectedFile()) {
        // The version picked in the versions list, else the one at the point.
        PresentFile chosen{*file, {}};
        bool have = false;
        if (const QTreeWidgetItem* version = lstVersions->currentItem()) {
            const int point = version->data(0, kPointRole).toInt();
            for (const FileVersion& held : points_.Versions(*file))
                if (held.point == point) {
                    chosen.version = held;
                    have = true;
                }
        }
        if (!have)
            have = points_.PresentAt(*file, point_, &chosen.version);
        if (have)
            files.push_back(chosen);
        return files;
    }
    const std::string folder = ui::FromQString(item->data(0, kFolderRole).toString());
    folders.push_back(folder);
    for (const PresentFile& present : points_.TreeAt(point_))
        if (points_.FileName(present.file).starts_with(folder))
            files.push_back(present);
    return files;
}

void frmRestoreFiles::RestoreSelection() {
    std::vector<std::string> folders;
    const std::vector<PresentFile> files = SelectedFiles(folders);
    if (files.empty() && SelectedFile()) {
        ui::MsgBox("\"" + points_.FileName(*SelectedFile()) +
                       "\" is not there at this point in time. Choose one of its versions.",
                   ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    if (files.empty()) {
        ui::MsgBox("Choose a file or folder to restore.", ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    Restore(files, folders);
}

void frmRestoreFiles::RestoreEverything() {
    if (point_ < 0)
        return;
    Restore(points_.TreeAt(point_), {std::string()});
}

ExistingFiles frmRestoreFiles::Choice() const {
    if (optReplace->isChecked())
        return ExistingFiles::Replace;
    if (optSkip->isChecked())
        return ExistingFiles::Skip;
    return ExistingFiles::KeepBoth;
}

void frmRestoreFiles::ChooseDestination() {
    const std::optional<std::string> current =
        platform::ToHostPath(ui::FromQString(txtDestination->text()));
    const std::optional<std::string> chosen = ui::Current().FolderDialog(
        this, "Choose the folder to restore to", current.value_or(std::string()));
    if (chosen) {
        txtDestination->setText(ui::ToQString(platform::ToWindowsPath(*chosen)));
        optChosenFolder->setChecked(true);
    }
}

void frmRestoreFiles::Restore(const std::vector<PresentFile>& files,
                              const std::vector<std::string>& folders) {
    if (running_)
        return;
    // Where each file goes: the chosen folder, or the drive its source
    // folder is on.
    std::map<std::string, std::vector<PresentFile>> byDestination;
    if (optChosenFolder->isChecked()) {
        const std::string destination = Trim(ui::FromQString(txtDestination->text()));
        if (destination.empty()) {
            ui::MsgBox("Choose a folder to restore to.", ui::Buttons::OK, ui::Icon::Exclamation);
            return;
        }
        byDestination[destination] = files;
    } else {
        const std::vector<std::string> sources = JobSourceFolders(jobFolder_);
        for (const PresentFile& file : files) {
            const std::optional<std::string> root =
                OriginRoot(points_.FileName(file.file), sources);
            if (!root) {
                ui::MsgBox("Where \"" + points_.FileName(file.file) +
                               "\" came from is not among the job's source folders. Restore it "
                               "to a folder you choose.",
                           ui::Buttons::OK, ui::Icon::Exclamation);
                return;
            }
            byDestination[*root].push_back(file);
        }
    }

    // "Restore as it was": the files of the restored folders that were not
    // there at the point, listed and asked about before anything changes.
    std::vector<std::string> extras;
    if (chkAsItWas->isChecked() && optChosenFolder->isChecked()) {
        const std::string& destination = byDestination.begin()->first;
        std::set<std::string> present;
        for (const PresentFile& file : points_.TreeAt(point_))
            present.insert(points_.FileName(file.file));
        extras = FilesNotAtPoint(destination, folders, present);
        if (!extras.empty()) {
            std::string question = "These files were not there at " +
                                   PointText(points_.Points()[static_cast<std::size_t>(point_)]) +
                                   ". Remove them from \"" + destination + "\"?\n";
            for (std::size_t i = 0; i < extras.size() && i < kMostNamesAsked; ++i)
                question += "\n" + extras[i];
            if (extras.size() > kMostNamesAsked)
                question +=
                    "\n... and " + std::to_string(extras.size() - kMostNamesAsked) + " more";
            const ui::Answer answer =
                ui::MsgBox(question, ui::Buttons::YesNoCancel, ui::Icon::Question, ui::Answer::No);
            if (answer == ui::Answer::Cancel)
                return;
            if (answer == ui::Answer::No)
                extras.clear();
        }
    }

    PlacedRestoreDetails total;
    for (const auto& [destination, group] : byDestination)
        if (!RestoreInto(group, destination, extras, total))
            return;
    std::string summary =
        "Restored " + std::to_string(total.placed + total.keptBoth + total.replaced) +
        (total.placed + total.keptBoth + total.replaced == 1 ? " file" : " files");
    if (total.keptBoth > 0)
        summary += ", " + std::to_string(total.keptBoth) + " beside a file of the same name";
    if (total.replaced > 0)
        summary += ", " + std::to_string(total.replaced) + " replacing a file";
    if (total.skipped > 0)
        summary += "; " + std::to_string(total.skipped) + " skipped (a file of the name is there)";
    if (!extras.empty())
        summary += "; " + std::to_string(extras.size()) + " removed";
    SetStatus(summary);
}

bool frmRestoreFiles::RestoreInto(const std::vector<PresentFile>& files,
                                  const std::string& destination,
                                  const std::vector<std::string>& extras,
                                  PlacedRestoreDetails& total) {
    const PlacedRestoreResult result = Busy("Restoring to " + destination, [&] {
        return RestoreWithChoice(installation_, jobFolder_, points_, files, destination, Choice(),
                                 [this](std::size_t done, std::size_t all) {
                                     prgProgress->setRange(0, static_cast<int>(all));
                                     prgProgress->setValue(static_cast<int>(done));
                                 });
    });
    switch (result.status) {
    case RunStatus::Cancelled:
        SetStatus("Cancelled; nothing replaced");
        return false;
    case RunStatus::Failed:
    case RunStatus::Refused: {
        SetStatus("Could not complete last action");
        std::string text = result.reason;
        for (const std::string& line : result.utilityLines)
            text += "\n" + line;
        ui::MsgBox(text, ui::Buttons::OK, ui::Icon::Critical);
        return false;
    }
    case RunStatus::Partial:
    case RunStatus::Done:
        break;
    }
    total.placed += result.details.placed;
    total.keptBoth += result.details.keptBoth;
    total.replaced += result.details.replaced;
    total.skipped += result.details.skipped;
    if (!extras.empty())
        if (const std::vector<std::string> left = RemoveRestoredExtras(destination, extras);
            !left.empty()) {
            std::string text = "These files could not be removed:\n";
            for (const std::string& name : left)
                text += "\n" + name;
            ui::MsgBox(text, ui::Buttons::OK, ui::Icon::Exclamation);
        }
    if (result.status == RunStatus::Partial) {
        std::string text = result.reason;
        for (const std::string& line : result.utilityLines)
            text += "\n" + line;
        ui::MsgBox(text, ui::Buttons::OK, ui::Icon::Exclamation);
    }
    return true;
}

void frmRestoreFiles::ShowPreview() {
    const std::optional<std::uint32_t> file = SelectedFile();
    if (!file)
        return;
    std::vector<std::string> unused;
    const std::vector<PresentFile> chosen = SelectedFiles(unused);
    if (chosen.empty())
        return;
    const std::optional<std::string> stored = StoredNameOf(points_.FileName(*file));
    PreviewFolder folder;
    if (!folder.made() || !stored) {
        ui::MsgBox("No private temporary folder for the preview: " + TempFolderProblem(),
                   ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    const PointRestoreResult extracted = Busy("Extracting the preview", [&] {
        return RestoreVersions(installation_, jobFolder_, points_, chosen, folder.windows());
    });
    const fs::path path = fs::path(folder.host()) / fs::path(*stored);
    if (extracted.status != RunStatus::Done) {
        SetStatus(extracted.status == RunStatus::Cancelled ? "Cancelled" : "No preview");
        if (extracted.status != RunStatus::Cancelled)
            ui::MsgBox(extracted.reason, ui::Buttons::OK, ui::Icon::Exclamation);
        return;
    }
    const QString hostPath = QString::fromStdString(path.string());
    if (!QImageReader::imageFormat(hostPath).isEmpty()) {
        imgPreview->setPixmap(QPixmap(hostPath).scaled(stkPreview->size(), Qt::KeepAspectRatio,
                                                       Qt::SmoothTransformation));
        stkPreview->setCurrentWidget(imgPreview);
        SetStatus("Preview of " + points_.FileName(*file));
        return;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kMostPreviewBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    const bool text = bytes.find('\0') == std::string::npos;
    txtPreview->setPlainText(text ? ui::ToQString(bytes)
                                  : QString("No preview for this kind of file."));
    stkPreview->setCurrentWidget(txtPreview);
    SetStatus("Preview of " + points_.FileName(*file));
}

QTreeWidgetItem* frmRestoreFiles::ItemOf(const std::string& listedName) const {
    const QString wanted = ui::ToQString(listedName);
    for (QTreeWidgetItemIterator it(tvwFiles); *it; ++it) {
        QTreeWidgetItem* item = *it;
        if (item->data(0, kFolderRole).toString() == wanted)
            return item;
        if (item->data(0, kFileRole).isValid() &&
            points_.FileName(static_cast<std::uint32_t>(item->data(0, kFileRole).toULongLong())) ==
                listedName)
            return item;
    }
    return nullptr;
}

} // namespace rk::restore
