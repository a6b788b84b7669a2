#include "ui/help_window.h"

#include "core/text.h"
#include "ui/accessible_names.h"
#include "ui/qt_text.h"

#include <QFile>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
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

QString HeadingAnchor(const QString& heading) {
    QString anchor;
    bool gap = false;
    for (const QChar c : heading.trimmed().toLower()) {
        if (c.isLetterOrNumber()) {
            if (gap && !anchor.isEmpty())
                anchor += '-';
            anchor += c;
            gap = false;
        } else if (c.isSpace() || c == '-') {
            gap = true;
        }
    }
    return anchor;
}

bool HelpWindow::Load(const std::string& helpFileHostPath) {
    QFile file(QString::fromStdString(helpFileHostPath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    browser_->setMarkdown(QString::fromUtf8(file.readAll()));
    // Markdown headings carry no anchors of their own.
    QTextDocument* document = browser_->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || block.length() <= 1)
            continue;
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextCharFormat anchor;
        anchor.setAnchor(true);
        anchor.setAnchorNames({HeadingAnchor(block.text())});
        cursor.mergeCharFormat(anchor);
    }
    return true;
}

} // namespace rk::ui
