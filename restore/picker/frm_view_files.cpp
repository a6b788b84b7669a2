#include "restore/picker/frm_view_files.h"

#include "core/program_values.h"
#include "core/text.h"
#include "engine/extract_plan.h"
#include "engine/job.h"
#include "restore/picker/natural_order.h"
#include "ui/accessible_names.h"
#include "ui/centre.h"
#include "ui/qt_text.h"

#include <QAction>
#include <QDate>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>

namespace rk {

namespace {

// The smallest size the dialog can take (3030 by 3525 twips).
constexpr int kMinimumWidth = 202;
constexpr int kMinimumHeight = 235;

QString ShortDate(const CalendarDay& day) {
    const QDate date(static_cast<int>(day.year()), static_cast<int>(unsigned(day.month())),
                     static_cast<int>(unsigned(day.day())));
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

// The seconds of an archive's time of day: field 7 of the name split at "_",
// up to its extension ("rk_2002_05_01_12_07_09.zip" gives "09"), when that is
// a number of one or two digits; else empty text.
std::string ArchiveSeconds(std::string_view archiveName) {
    std::string field = GetToken(archiveName, 7, "_");
    field = field.substr(0, field.find('.'));
    if (field.empty() || field.size() > 2 ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return field;
}

} // namespace

std::string VersionsText(const std::vector<std::string>& archiveNames) {
    // Versions made on whole minutes are told apart by hours and minutes
    // alone; once one carries seconds, all of the line's times show them, so
    // that two made within one minute differ and the times read alike.
    const bool withSeconds =
        std::any_of(archiveNames.begin(), archiveNames.end(), [](const std::string& name) {
            const std::string seconds = ArchiveSeconds(name);
            return !seconds.empty() && seconds != "0" && seconds != "00";
        });
    std::string text = archiveNames.size() == 1
                           ? "1 version, in the backup of "
                           : std::to_string(archiveNames.size()) + " versions, in the backups of ";
    bool first = true;
    for (const std::string& name : archiveNames) {
        if (!first)
            text += ", ";
        first = false;
        const auto date = ArchiveDate(name);
        if (!date) {
            text += name;
            continue;
        }
        text += ui::FromQString(ShortDate(*date));
        if (const std::string time = ArchiveTimeOfDay(name); !time.empty()) {
            text += " " + time;
            if (const std::string seconds = ArchiveSeconds(name); withSeconds && !seconds.empty())
                text += ":" + seconds;
        }
    }
    return text;
}

frmViewFiles::frmViewFiles(QWidget* parent)
    : QDialog(parent), txtInfo(new QPlainTextEdit), lblFiles(new QLabel),
      lblFilter(new QLabel("&Filter:")), txtFilter(new QLineEdit), lstFiles(new QListWidget),
      lblVersions(new QLabel), lblSelected(new QLabel), cmdOK(new QPushButton("OK")),
      cmdCancel(new QPushButton("Cancel")) {
    setObjectName("frmViewFiles");
    setWindowTitle("Select Files");

    txtInfo->setObjectName("txtInfo");
    txtInfo->setReadOnly(true);
    ui::NameControl(*txtInfo, "Selected backups");
    txtInfo->setMaximumHeight(60);
    lblFiles->setObjectName("lblFiles");
    lblFiles->setWordWrap(true);
    lblFiles->setText("These are the files contained in the selected backups. Hold down CTRL to "
                      "select multiple files. Ravelkeep will extract the latest version of these "
                      "files contained in the selected backups.");
    lblFilter->setObjectName("lblFilter");
    lblFilter->setBuddy(txtFilter);
    txtFilter->setObjectName("txtFilter");
    txtFilter->setPlaceholderText("Filter");
    txtFilter->setAccessibleName("Filter");
    txtFilter->setToolTip("Show only the files whose name contains this text");
    txtFilter->setClearButtonEnabled(true);
    // The clear button Qt adds to the box is named for screen readers too.
    for (QAction* action : txtFilter->actions()) {
        action->setText("Clear the filter");
        action->setToolTip("Clear the filter");
    }
    for (QToolButton* button : txtFilter->findChildren<QToolButton*>())
        button->setAccessibleName("Clear the filter");
    lstFiles->setObjectName("lstFiles");
    ui::NameControl(*lstFiles, "Files");
    lstFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Every entry is one line of text; uniform sizes keep long lists quick
    // to lay out and to filter.
    lstFiles->setUniformItemSizes(true);
    lblVersions->setObjectName("lblVersions");
    lblVersions->setWordWrap(true);
    lblSelected->setObjectName("lblSelected");
    cmdOK->setObjectName("cmdOK");
    cmdCancel->setObjectName("cmdCancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* filter = new QHBoxLayout;
    filter->addWidget(lblFilter);
    filter->addWidget(txtFilter, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtInfo);
    layout->addWidget(lblFiles);
    layout->addLayout(filter);
    layout->addWidget(lstFiles, 1);
    layout->addWidget(lblVersions);
    layout->addWidget(lblSelected);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        STATUS = true;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(lstFiles, &QListWidget::currentItemChanged, this, [this] { ShowVersions(); });
    connect(txtFilter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(lstFiles->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                DeselectHidden(selected);
                ShowSelectedCount();
            });
    ShowSelectedCount();

    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(420, 400);
    ui::CentreOnScreen(*this);
}

void frmViewFiles::reject() {
    STATUS = false;
    QDialog::reject();
}

GatherOutcome frmViewFiles::DataRefresh(const std::string& sSourceFolder,
                                        const std::vector<std::string>& archiveNames,
                                        ProgressDisplay& progress) {
    lstFiles->clear();
    lblVersions->clear();
    files_ = {};
    entries_.clear();
    folded_.clear();
    hidden_.clear();
    MergedFileList files;
    const Installation installation = CurrentInstallation();
    GatherOutcome gathered =
        GatherFileLists(installation, sSourceFolder, archiveNames,
                        ProgramListFilePath(installation, ListingFileName), progress, files);
    if (gathered.status != RunStatus::Done)
        return gathered;
    ShowFiles(std::move(files), progress);
    return gathered;
}

void frmViewFiles::ShowFiles(MergedFileList files, ProgressDisplay& progress) {
    lstFiles->clear();
    lblVersions->clear();
    files_ = std::move(files);
    progress.SetStatusText("Processing file list");
    progress.SetProgressMinimum(0);
    progress.SetProgressMaximum(static_cast<int>(files_.Count()));

    // Each name's key is made once; equal keys (names differing only in
    // leading zeros) fall back on the names themselves, so the order does
    // not depend on the order of the listings.
    struct Sorted {
        QString key;
        std::uint32_t index;
    };
    const std::vector<CStoredFile>& entries = files_.Entries();
    std::vector<QString> texts(entries.size());
    std::vector<QString> folded(entries.size());
    std::vector<Sorted> sorted;
    sorted.reserve(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
        texts[i] = ui::ToQString(entries[i].FileName());
        folded[i] = texts[i].toCaseFolded();
        sorted.push_back({NaturalOrderKey(folded[i]), i});
    }
    std::sort(sorted.begin(), sorted.end(), [&texts](const Sorted& a, const Sorted& b) {
        if (const int order = a.key.compare(b.key); order != 0)
            return order < 0;
        return texts[a.index] < texts[b.index];
    });

    QStringList shown;
    shown.reserve(static_cast<qsizetype>(sorted.size()));
    entries_.resize(sorted.size());
    folded_.resize(sorted.size());
    hidden_.assign(sorted.size(), 0);
    int n = 0;
    for (std::size_t row = 0; row < sorted.size(); ++row) {
        const std::uint32_t i = sorted[row].index;
        entries_[row] = &entries[i];
        folded_[row] = std::move(folded[i]);
        shown << std::move(texts[i]);
        progress.SetProgressValue(++n);
    }
    // One insertion for the whole list, rather than one per entry.
    lstFiles->addItems(shown);
    ApplyFilter();
    progress.SetStatusText("Done");
    progress.SetProgressValue(0);
}

std::vector<std::string> frmViewFiles::SelectedNames() const {
    std::vector<int> rows;
    for (const QModelIndex& index : lstFiles->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<std::string> names;
    names.reserve(rows.size());
    for (const int row : rows)
        names.push_back(ui::FromQString(lstFiles->item(row)->text()));
    return names;
}

void frmViewFiles::ShowVersions() {
    const int row = lstFiles->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size() ||
        hidden_[static_cast<std::size_t>(row)] ||
        entries_[static_cast<std::size_t>(row)]->ZipSourcesCount() == 0) {
        lblVersions->clear();
        return;
    }
    const CStoredFile& entry = *entries_[static_cast<std::size_t>(row)];
    std::vector<std::string> names;
    // An archive that lists a name twice holds one version of it.
    for (int i = 0; i < entry.ZipSourcesCount(); ++i)
        if (std::string name = GetPathPart(entry.ZipSources(i), PathPartFileName);
            names.empty() || names.back() != name)
            names.push_back(std::move(name));
    lblVersions->setText(ui::ToQString(VersionsText(names)));
}

void frmViewFiles::ApplyFilter() {
    // Names are kept with backslashes; a person on Linux types "/".
    const QString wanted = txtFilter->text().toCaseFolded().replace(u'/', u'\\');
    bool changed = false;
    for (std::size_t row = 0; row < folded_.size(); ++row) {
        const auto hide = static_cast<char>(!wanted.isEmpty() && !folded_[row].contains(wanted));
        if (hide != hidden_[row]) {
            hidden_[row] = hide;
            lstFiles->setRowHidden(static_cast<int>(row), hide);
            changed = true;
        }
    }
    if (changed)
        lstFiles->doItemsLayout();
    ShowVersions();
}

void frmViewFiles::ShowSelectedCount() {
    const qsizetype count = lstFiles->selectionModel()->selectedIndexes().size();
    lblSelected->setText(QString::number(count) + " files selected");
}

void frmViewFiles::DeselectHidden(const QItemSelection& selected) {
    // Runs of hidden rows are taken back as one range each.
    QItemSelection hiddenOnes;
    const auto isHidden = [this](int row) {
        return static_cast<std::size_t>(row) < hidden_.size() &&
               hidden_[static_cast<std::size_t>(row)];
    };
    for (const QItemSelectionRange& range : selected)
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (!isHidden(row))
                continue;
            const int first = row;
            while (row < range.bottom() && isHidden(row + 1))
                ++row;
            hiddenOnes.select(lstFiles->model()->index(first, 0), lstFiles->model()->index(row, 0));
        }
    if (!hiddenOnes.isEmpty())
        lstFiles->selectionModel()->select(hiddenOnes, QItemSelectionModel::Deselect);
}

} // namespace rk
