#include "jobs/busy_window.h"

#include <QApplication>
#include <QWidget>

namespace rk::jobs {

BusyWindow::BusyWindow(QWidget* menuBar, QWidget* toolbar, QWidget* controls)
    : menuBar_(menuBar), toolbar_(toolbar), controls_(controls) {
    for (QWidget* part : {menuBar_, toolbar_, controls_})
        part->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyWindow::~BusyWindow() {
    // Clicks and keys held back during the run reach the disabled window now
    // and are dropped there.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    QApplication::restoreOverrideCursor();
    for (QWidget* part : {menuBar_, toolbar_, controls_})
        part->setEnabled(true);
}

} // namespace rk::jobs
