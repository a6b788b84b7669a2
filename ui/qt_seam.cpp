#include "ui/qt_seam.h"

#include "core/text.h"
#include "platform/shown_host_path.h"
#include "ui/help_window.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QUrl>

namespace rk::ui {

namespace {

QMessageBox::Icon ToQtIcon(Icon icon) {
    switch (icon) {
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(Buttons buttons) {
    switch (buttons) {
    case Buttons::OKCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::OK:
        break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton ToQtButton(Answer answer) {
    switch (answer) {
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::OK:
        break;
    }
    return QMessageBox::Ok;
}

Answer FromQtButton(int button) {
    switch (button) {
    case QMessageBox::Ok:
        return Answer::OK;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

// Windows patterns to Qt's: ";" separates patterns, and "*.*" means every
// name, also one without a dot.
QString ToQtPatterns(const std::string& pattern) {
    QStringList patterns = ToQString(pattern).split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns) {
        p = p.trimmed();
        if (p == "*.*")
            p = "*";
    }
    return patterns.join(' ');
}

QWidget* ActiveOwner() {
    return QApplication::activeWindow();
}

} // namespace

QtSeam::QtSeam() = default;
QtSeam::~QtSeam() = default;

Answer QtSeam::ShowMessage(const Message& message) {
    QString text = ToQString(message.text);
    text.replace("\r\n", "\n");
    QMessageBox box(ToQtIcon(message.icon), ToQString(ProgramTitle), text,
                    ToQtButtons(message.buttons), ActiveOwner());
    box.setTextFormat(Qt::PlainText);
    // The Linux paths of the Windows paths the message names, under it.
    if (const std::string note = platform::HostPathsNote(message.text); !note.empty())
        box.setInformativeText("<span style=\"color: gray\">" +
                               ToQString(note).toHtmlEscaped().replace('\n', "<br>") + "</span>");
    // A short text makes a box narrower than its title, which the window
    // manager then cuts off: room for the title, its icon and buttons.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (message.defaultAnswer)
        box.setDefaultButton(ToQtButton(*message.defaultAnswer));
    return FromQtButton(box.exec());
}

std::optional<std::string> QtSeam::InputBox(std::string_view prompt, std::string_view title,
                                            std::string_view defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(ActiveOwner(), ToQString(title), ToQString(prompt),
                                               QLineEdit::Normal, ToQString(defaultText), &ok);
    if (!ok)
        return std::nullopt;
    return FromQString(text);
}

std::optional<std::string> QtSeam::FileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(request.owner, ToQString(request.title), ToQString(request.initialFolder));
    dialog.setAcceptMode(request.mode == FileDialogMode::Save ? QFileDialog::AcceptSave
                                                              : QFileDialog::AcceptOpen);
    // Like the Windows dialogs without further flags: a typed name need not
    // exist, and a save asks before replacing a file.
    dialog.setFileMode(QFileDialog::AnyFile);
    // The descriptions already name their patterns; Qt reads the patterns
    // from the last parentheses, which the dialog then hides.
    QStringList filters;
    for (const FileFilter& filter : request.filters)
        filters << ToQString(filter.description) + " (" + ToQtPatterns(filter.pattern) + ")";
    if (!filters.isEmpty()) {
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(filters);
        if (request.initialFilter < static_cast<std::size_t>(filters.size()))
            dialog.selectNameFilter(filters[static_cast<qsizetype>(request.initialFilter)]);
    }
    // A suffix holding wildcards cannot be part of a file name.
    const QString suffix = ToQString(request.defaultSuffix);
    if (!suffix.contains('*') && !suffix.contains('?'))
        dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FromQString(dialog.selectedFiles().constFirst());
}

std::optional<std::string> QtSeam::FolderDialog(QWidget* owner, std::string_view title,
                                                const std::string& initialFolder) {
    const QString start = !initialFolder.empty() && QDir(ToQString(initialFolder)).exists()
                              ? ToQString(initialFolder)
                              : QDir::homePath();
    const QString folder =
        QFileDialog::getExistingDirectory(owner != nullptr ? owner : ActiveOwner(),
                                          ToQString(title), start, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return FromQString(folder);
}

int QtSeam::ShowModal(QDialog& form) {
    return form.exec();
}

bool QtSeam::OpenInDesktop(const std::string& hostPath) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(hostPath)));
}

void QtSeam::ShowHelp(const std::string& helpFileHostPath) {
    if (!helpWindow_)
        helpWindow_ = std::make_unique<HelpWindow>();
    if (!helpWindow_->Load(helpFileHostPath)) {
        ShowMessage(Message{"Cannot open the help file " + helpFileHostPath + ".", Buttons::OK,
                            Icon::Exclamation, std::nullopt});
        return;
    }
    helpWindow_->show();
    helpWindow_->raise();
    helpWindow_->activateWindow();
}

} // namespace rk::ui
