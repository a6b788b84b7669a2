#include "jobs/frm_main.h"

#include "core/program_values.h"
#include "core/text.h"
#include "ui/qt_text.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace rk::jobs {

frmMain::frmMain(QWidget* parent)
    : QMainWindow(parent), axStatusBar(new QStatusBar), axProgressBar(new QProgressBar),
      statusPanel_(new QLabel) {
    setObjectName("frmMain");
    setWindowTitle(ui::ToQString(ProgramTitle));
    setCentralWidget(new QWidget);

    axStatusBar->setObjectName("axStatusBar");
    statusPanel_->setObjectName("StatusText");
    axProgressBar->setObjectName("axProgressBar");
    axProgressBar->setTextVisible(false);
    axProgressBar->setMaximumWidth(200);
    axStatusBar->addWidget(statusPanel_, 1);
    axStatusBar->addPermanentWidget(axProgressBar);
    setStatusBar(axStatusBar);
    resize(640, 420);
}

void frmMain::DataRefresh() {
    setWindowTitle(ui::ToQString(std::string(ProgramTitle) + " - " + JobStoreFolder));
}

std::string frmMain::StatusText() const {
    return ui::FromQString(statusPanel_->text());
}

void frmMain::SetStatusText(std::string_view text) {
    statusPanel_->setText(ui::ToQString(text));
}

} // namespace rk::jobs
