#include "engine/picker/frm_view_files.h"

#include "core/program_values.h"
#include "core/text.h"
#include "engine/extract_plan.h"
#include "ui/centre.h"
#include "ui/qt_text.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace rk {

namespace {

// The smallest size the dialog can take (3030 by 3525 twips).
constexpr int kMinimumWidth = 202;
constexpr int kMinimumHeight = 235;

constexpr int kSourcesRole = Qt::UserRole;

QString ShortDate(const CalendarDay& day) {
    const QDate date(static_cast<int>(day.year()), static_cast<int>(unsigned(day.month())),
                     static_cast<int>(unsigned(day.day())));
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace

std::string VersionsText(const std::vector<std::string>& archiveNames) {
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
        if (const std::string time = ArchiveTimeOfDay(name); !time.empty())
            text += " " + time;
    }
    return text;
}

frmViewFiles::frmViewFiles(QWidget* parent)
    : QDialog(parent), txtInfo(new QPlainTextEdit), lblFiles(new QLabel), lstFiles(new QListWidget),
      lblVersions(new QLabel), cmdOK(new QPushButton("OK")), cmdCancel(new QPushButton("Cancel")) {
    setObjectName("frmViewFiles");
    setWindowTitle("Select Files");

    txtInfo->setObjectName("txtInfo");
    txtInfo->setReadOnly(true);
    txtInfo->setMaximumHeight(60);
    lblFiles->setObjectName("lblFiles");
    lblFiles->setWordWrap(true);
    lblFiles->setText("These are the files contained in the selected backups. Hold down CTRL to "
                      "select multiple files. Ravelkeep will extract the latest version of these "
                      "files contained in the selected backups.");
    lstFiles->setObjectName("lstFiles");
    lstFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lblVersions->setObjectName("lblVersions");
    lblVersions->setWordWrap(true);
    cmdOK->setObjectName("cmdOK");
    cmdCancel->setObjectName("cmdCancel");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtInfo);
    layout->addWidget(lblFiles);
    layout->addWidget(lstFiles, 1);
    layout->addWidget(lblVersions);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] {
        STATUS = true;
        accept();
    });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(lstFiles, &QListWidget::currentItemChanged, this, [this] { ShowVersions(); });

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
    MergedFileList files;
    const GatherOutcome gathered = GatherFileLists(
        sSourceFolder, archiveNames, ProgramListFilePath(ListingFileName), progress, files);
    if (!gathered.complete)
        return gathered;

    progress.SetStatusText("Processing file list");
    progress.SetProgressMinimum(0);
    progress.SetProgressMaximum(static_cast<int>(files.Count()));
    // The list is sorted without regard to case, as the list box of the
    // program sorts.
    std::vector<const CStoredFile*> sorted;
    for (const CStoredFile& entry : files.Entries())
        sorted.push_back(&entry);
    std::stable_sort(sorted.begin(), sorted.end(), [](const CStoredFile* a, const CStoredFile* b) {
        return ui::ToQString(a->FileName())
                   .compare(ui::ToQString(b->FileName()), Qt::CaseInsensitive) < 0;
    });
    int n = 0;
    for (const CStoredFile* entry : sorted) {
        QStringList sources;
        for (std::int16_t i = 0; i < entry->ZipSourcesCount(); ++i)
            sources << ui::ToQString(GetPathPart(entry->ZipSources(i), PathPartFileName));
        auto* item = new QListWidgetItem(ui::ToQString(entry->FileName()));
        item->setData(kSourcesRole, sources);
        lstFiles->addItem(item);
        progress.SetProgressValue(++n);
    }
    progress.SetStatusText("Done");
    progress.SetProgressValue(0);
    return gathered;
}

std::vector<std::string> frmViewFiles::SelectedNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < lstFiles->count(); ++i)
        if (lstFiles->item(i)->isSelected())
            names.push_back(ui::FromQString(lstFiles->item(i)->text()));
    return names;
}

void frmViewFiles::ShowVersions() {
    const QListWidgetItem* item = lstFiles->currentItem();
    if (item == nullptr || item->data(kSourcesRole).toStringList().isEmpty()) {
        lblVersions->clear();
        return;
    }
    std::vector<std::string> names;
    // An archive that lists a name twice holds one version of it.
    for (const QString& name : item->data(kSourcesRole).toStringList())
        if (names.empty() || names.back() != ui::FromQString(name))
            names.push_back(ui::FromQString(name));
    lblVersions->setText(ui::ToQString(VersionsText(names)));
}

} // namespace rk
