// The controls of the main window, its menus and toolbar, their layout and
// the wiring of every control to its event handler.

#include "core/text.h"
#include "jobs/command_numbers.h"
#include "jobs/frm_main.h"
#include "jobs/main_pictures.h"
#include "ui/accessible_names.h"
#include "ui/help.h"
#include "ui/host_path_hint.h"
#include "ui/qt_text.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace rk::jobs {

namespace {

template <typename Widget, typename... Args> Widget* Named(const char* name, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(name);
    return widget;
}

struct MenuItem {
    std::int16_t index;
    const char* caption;
};

// Adds the items to the menu in order; "-" makes a separator.
void AddItems(QMenu& menu, const char* arrayName, MenuArray& items,
              const std::vector<MenuItem>& captions) {
    for (const MenuItem& item : captions) {
        QAction* action = std::string_view(item.caption) == "-" ? menu.addSeparator()
                                                                : menu.addAction(item.caption);
        action->setObjectName(QString("%1(%2)").arg(arrayName).arg(item.index));
        items[item.index] = action;
    }
}

} // namespace

void frmMain::BuildControls() {
    setObjectName("frmMain");
    setWindowTitle(ui::ToQString(ProgramTitle));
    setWindowIcon(ProgramIcon());

    lblBackupJobs = Named<QLabel>("lblBackupJobs", "Backup jobs:");
    lstBackupJobs = Named<QListWidget>("lstBackupJobs");
    lstBackupJobs->setSelectionMode(QAbstractItemView::SingleSelection);
    Frame2 = Named<QFrame>("Frame2");
    Frame2->setFrameShape(QFrame::StyledPanel);
    grpJob = Named<QGroupBox>("grpJob", "Job properties:");
    lblSource = Named<QLabel>("lblSource", "Folder to backup (source):");
    txtSource = Named<QLineEdit>("txtSource");
    txtSource->setReadOnly(true);
    QPalette buttonFace = txtSource->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    txtSource->setPalette(buttonFace);
    cmdChooseSource = Named<QPushButton>("cmdChooseSource", "...");
    cmdChooseSource->setToolTip("Choose source folders");
    cmdChooseSource->setFixedWidth(32);
    cmdExclude = Named<QPushButton>("cmdExclude", "Exclude...");
    ui::NameAfterLabel(*lstBackupJobs, *lblBackupJobs);
    ui::NameAfterLabel(*txtSource, *lblSource);
    ui::ShowHostPathHint(*txtSource);
    cmdChooseSource->setAccessibleName("Choose source folders");
    cmdSchedule = Named<QPushButton>("cmdSchedule", "Schedule...");
    cmdSchedule->setToolTip("Make incremental backups of this job by themselves");
    cmdKeep = Named<QPushButton>("cmdKeep", "Keep...");
    cmdKeep->setToolTip("Which backups of this job to keep as they grow old");

    const std::array<QIcon, 3> pictures = ActionPictures();
    const std::array<const char*, 3> captions = {"Create Root Backup", "Create Incremental Backup",
                                                 "View, Extract, or Consolidate Files"};
    for (std::size_t i = 0; i < cmdAction.size(); ++i) {
        cmdAction[i] = new QPushButton(pictures[i], captions[i]);
        cmdAction[i]->setObjectName(QString("cmdAction(%1)").arg(i));
        cmdAction[i]->setIconSize(QSize(24, 24));
        cmdAction[i]->setStyleSheet("text-align: left; padding: 4px 8px;");
    }
    lblInfo = Named<QLabel>("lblInfo");
    lblInfo->setTextFormat(Qt::PlainText);
    lblInfo->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    lblInfo->setMinimumHeight(lblInfo->fontMetrics().lineSpacing() * 3 + 4);
    lblLastBackup = Named<QLabel>("lblLastBackup");
    lblLastBackup->setTextFormat(Qt::PlainText);
    lblLastBackup->setWordWrap(true);
    // A label speaks its own text: what it is for is its description, so a
    // screen reader reads the location, count and size themselves.
    lblInfo->setAccessibleDescription("Job information");
    lblLastBackup->setAccessibleDescription("Last backup");
    lblSchedule = Named<QLabel>("lblSchedule");
    lblSchedule->setTextFormat(Qt::PlainText);
    lblSchedule->setWordWrap(true);
    lblSchedule->setAccessibleDescription("Schedule");

    axStatusBar = Named<QStatusBar>("axStatusBar");
    statusPanel_ = Named<QLabel>("StatusText");
    axProgressBar = Named<QProgressBar>("axProgressBar");
    axProgressBar->setTextVisible(false);
    axProgressBar->setMaximumWidth(200);
    axStatusBar->addWidget(statusPanel_, 1);
    axStatusBar->addPermanentWidget(axProgressBar);
    axProgressBar->setAccessibleName("Progress");
    axProgressBar->hide();
    cmdCancelRun = Named<QPushButton>("cmdCancelRun", "Cancel");
    cmdCancelRun->setAccessibleName("Cancel the backup");
    cmdCancelRun->hide();
    axStatusBar->addPermanentWidget(cmdCancelRun);
    setStatusBar(axStatusBar);

    axFolderGatherer = new FolderGatherer(this);
    axImageList = ToolbarPictures();
}

void frmMain::BuildMenus() {
    tmnuFile = menuBar()->addMenu("&File");
    tmnuFile->setObjectName("tmnuFile");
    AddItems(*tmnuFile, "mnuFile", mnuFile,
             {{FileCommand::Connect, "Connect..."},
              {6, "-"},
              {FileCommand::NewJob, "&New Backup Job..."},
              {FileCommand::DeleteJob, "&Delete Backup Job"},
              {FileCommand::GetJobFromCopy, "Get Job From Copy..."},
              {FileCommand::Refresh, "&Refresh"},
              {35, "-"},
              {FileCommand::Options, "&Options..."},
              {45, "-"},
              {FileCommand::Exit, "E&xit"}});
    tmnuJob = menuBar()->addMenu("&Job");
    tmnuJob->setObjectName("tmnuJob");
    AddItems(*tmnuJob, "mnuJob", mnuJob,
             {{JobCommand::RootBackup, "Create Root Backup"},
              {JobCommand::IncrementalBackup, "Create Incremental Backup"},
              {JobCommand::ViewExtractConsolidate, "View/Extract/Consolidate Files"},
              {JobCommand::RestoreFiles, "Restore Files..."},
              {35, "-"},
              {JobCommand::SourceFolders, "Source folder..."},
              {JobCommand::Exclusions, "Exclude..."},
              {43, "-"},
              {JobCommand::VerifyBackups, "Verify Backups"},
              {JobCommand::Encryption, "Encrypt New Backups..."},
              {JobCommand::Schedule, "Schedule..."},
              {JobCommand::Keep, "Keep..."},
              {JobCommand::ThinNow, "Thin Backups Now"},
              {49, "-"},
              {JobCommand::CopyTo, "Copy Backups To..."},
              {JobCommand::CopyNow, "Copy Now"}});
    tmnuHelp = menuBar()->addMenu("&Help");
    tmnuHelp->setObjectName("tmnuHelp");
    AddItems(*tmnuHelp, "mnuHelp", mnuHelp,
             {{HelpCommand::Contents, "&Help Topics"},
              {15, "-"},
              {HelpCommand::UpgradeNotes, "&Upgrade Notes"},
              {17, "-"},
              {HelpCommand::About, "&About Ravelkeep"}});
}

void frmMain::BuildToolbar() {
    // The title is what the window's context menu shows for the toolbar.
    Toolbar1 = addToolBar("Toolbar");
    Toolbar1->setObjectName("Toolbar1");
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const std::array<const char*, 3> captions = {"New", "Delete", "Refresh"};
    for (std::size_t i = 0; i < captions.size(); ++i) {
        QAction* button = Toolbar1->addAction(axImageList[i], captions[i]);
        button->setObjectName(QString("Toolbar1(%1)").arg(i + 1));
        button->setToolTip(captions[i]);
        Toolbar1Buttons[i + 1] = button;
    }
}

void frmMain::ArrangeControls() {
    auto* source = new QHBoxLayout;
    source->addWidget(txtSource, 1);
    source->addWidget(cmdChooseSource);
    source->addWidget(cmdExclude);
    source->addWidget(cmdSchedule);
    source->addWidget(cmdKeep);

    auto* job = new QVBoxLayout(grpJob);
    job->addWidget(lblSource);
    job->addLayout(source);
    job->addSpacing(8);
    for (QPushButton* button : cmdAction)
        job->addWidget(button);
    job->addSpacing(8);
    job->addWidget(lblInfo);
    job->addWidget(lblLastBackup);
    job->addWidget(lblSchedule);
    job->addStretch();

    auto* list = new QVBoxLayout;
    list->addWidget(lblBackupJobs);
    list->addWidget(lstBackupJobs, 1);

    auto* frame = new QHBoxLayout(Frame2);
    frame->addLayout(list, 2);
    frame->addWidget(grpJob, 3);

    auto* centre = new QWidget;
    centre->setObjectName("Centre");
    auto* layout = new QVBoxLayout(centre);
    layout->addWidget(Frame2);
    setCentralWidget(centre);
    resize(680, 440);
}

void frmMain::ConnectControls() {
    for (auto& [index, action] : mnuFile)
        connect(action, &QAction::triggered, this, [this, i = index] { mnuFile_Click(i); });
    for (auto& [index, action] : mnuJob)
        connect(action, &QAction::triggered, this, [this, i = index] { mnuJob_Click(i); });
    for (auto& [index, action] : mnuHelp)
        connect(action, &QAction::triggered, this, [this, i = index] { mnuHelp_Click(i); });
    for (std::size_t i = 0; i < cmdAction.size(); ++i)
        connect(cmdAction[i], &QPushButton::clicked, this,
                [this, index = static_cast<std::int16_t>(i)] { cmdAction_Click(index); });
    for (std::size_t i = 1; i < Toolbar1Buttons.size(); ++i)
        connect(Toolbar1Buttons[i], &QAction::triggered, this,
                [this, index = static_cast<std::int16_t>(i)] { Toolbar1_ButtonClick(index); });
    connect(cmdChooseSource, &QPushButton::clicked, this, [this] { cmdChooseSource_Click(); });
    connect(cmdExclude, &QPushButton::clicked, this, [this] { cmdExclude_Click(); });
    connect(cmdSchedule, &QPushButton::clicked, this, [this] { cmdSchedule_Click(); });
    connect(cmdKeep, &QPushButton::clicked, this, [this] { mnuJob_Click(JobCommand::Keep); });
    connect(cmdCancelRun, &QPushButton::clicked, this, [this] {
        cancelRequested_ = true;
        cmdCancelRun->setEnabled(false);
    });
    connect(lstBackupJobs, &QListWidget::itemSelectionChanged, this,
            [this] { lstBackupJobs_Click(); });
    axFolderGatherer->RequestNewItem = [this](std::optional<FolderItem>& item) {
        axFolderGatherer_RequestNewItem(item);
    };

    // F1 opens the help from every window of the program.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setObjectName("HelpKey");
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, [] { ui::ShowHelp(); });

    // The usual keys beside the menus' accelerators; the captions stay as
    // they are, the menus show the keys beside them.
    mnuFile[FileCommand::NewJob]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    mnuFile[FileCommand::Refresh]->setShortcut(QKeySequence(Qt::Key_F5));
    mnuFile[FileCommand::Exit]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Delete removes the selected job only from the job list, with the same
    // two questions; elsewhere the key keeps its own meaning.
    auto* deleteJob = new QShortcut(QKeySequence(Qt::Key_Delete), lstBackupJobs);
    deleteJob->setObjectName("DeleteJobKey");
    deleteJob->setContext(Qt::WidgetShortcut);
    connect(deleteJob, &QShortcut::activated, this,
            [this] { mnuFile_Click(FileCommand::DeleteJob); });
}

} // namespace rk::jobs
