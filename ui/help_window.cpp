#include "ui/help_window.h"

#include "core/text.h"
#include "ui/accessible_names.h"
#include "ui/qt_text.h"

#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace rk::ui {

HelpWindow::HelpWindow() : browser_(new QTextBrowser(this)) {
    setObjectName("HelpWindow");
    setWindowTitle(ToQString(ProgramTitle) + " Help");
    browser_->setOpenExternalLinks(true);
    browser_->setObjectName("txtHelp");
    NameControl(*browser_, "Help text");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    resize(640, 520);
}

bool HelpWindow::Load(const std::string& helpFileHostPath) {
    QFile file(QString::fromStdString(helpFileHostPath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    browser_->setMarkdown(QString::fromUtf8(file.readAll()));
    return true;
}

} // namespace rk::ui
