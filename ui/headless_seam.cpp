#include "ui/headless_seam.h"

#include "core/report_lines.h"

#include <QDialog>

#include <ostream>

namespace rk::ui {

namespace {

// The message on one line: its line breaks become spaces.
std::string OneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        if (c == '\r')
            continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

Answer DoNothingAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::OK:
        return Answer::OK;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::OKCancel:
    case Buttons::YesNoCancel:
        break;
    }
    return Answer::Cancel;
}

} // namespace

HeadlessSeam::HeadlessSeam(std::ostream& errors) : errors_(errors) {}

Answer HeadlessSeam::ShowMessage(const Message& message) {
    ReportLine(errors_, OneLine(message.text));
    return DoNothingAnswer(message.buttons);
}

std::optional<std::string> HeadlessSeam::InputBox(std::string_view, std::string_view,
                                                  std::string_view) {
    return std::nullopt;
}

std::optional<std::string> HeadlessSeam::FileDialog(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<std::string> HeadlessSeam::FolderDialog(QWidget*, std::string_view,
                                                      const std::string&) {
    return std::nullopt;
}

int HeadlessSeam::ShowModal(QDialog&) {
    return QDialog::Rejected;
}

bool HeadlessSeam::OpenInDesktop(const std::string&) {
    return false;
}

void HeadlessSeam::ShowHelp(const std::string&) {}

} // namespace rk::ui
