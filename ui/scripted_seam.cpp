#include "ui/scripted_seam.h"

#include "core/text.h"
#include "ui/qt_text.h"

#include <QDialog>

namespace rk::ui {

namespace {

bool ButtonsOffer(Buttons buttons, Answer answer) {
    switch (buttons) {
    case Buttons::OK:
        return answer == Answer::OK;
    case Buttons::OKCancel:
        return answer == Answer::OK || answer == Answer::Cancel;
    case Buttons::YesNo:
        return answer == Answer::Yes || answer == Answer::No;
    case Buttons::YesNoCancel:
        return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
    }
    return false;
}

std::string AnswerName(Answer answer) {
    switch (answer) {
    case Answer::OK:
        return "OK";
    case Answer::Cancel:
        return "Cancel";
    case Answer::Yes:
        return "Yes";
    case Answer::No:
        return "No";
    }
    return "?";
}

std::string TextOrCancel(const std::optional<std::string>& text) {
    return text ? *text : std::string("(cancelled)");
}

} // namespace

std::string CallKindName(CallKind kind) {
    switch (kind) {
    case CallKind::Message:
        return "message box";
    case CallKind::Input:
        return "input box";
    case CallKind::File:
        return "file dialog";
    case CallKind::Folder:
        return "folder dialog";
    case CallKind::Form:
        return "form";
    case CallKind::Open:
        return "desktop open";
    case CallKind::Help:
        return "help";
    }
    return "?";
}

void ScriptedSeam::AnswerMessage(Answer answer) {
    script_.push_back(Step{CallKind::Message, answer, std::nullopt, {}, true});
}

void ScriptedSeam::AnswerInput(std::optional<std::string> text) {
    script_.push_back(Step{CallKind::Input, std::nullopt, std::move(text), {}, true});
}

void ScriptedSeam::AnswerFile(std::optional<std::string> hostPath) {
    script_.push_back(Step{CallKind::File, std::nullopt, std::move(hostPath), {}, true});
}

void ScriptedSeam::AnswerFolder(std::optional<std::string> hostPath) {
    script_.push_back(Step{CallKind::Folder, std::nullopt, std::move(hostPath), {}, true});
}

void ScriptedSeam::AnswerForm(FormAction action) {
    script_.push_back(Step{CallKind::Form, std::nullopt, std::nullopt, std::move(action), true});
}

void ScriptedSeam::AnswerOpen(bool opened) {
    script_.push_back(Step{CallKind::Open, std::nullopt, std::nullopt, {}, opened});
}

void ScriptedSeam::AnswerHelp() {
    script_.push_back(Step{CallKind::Help, std::nullopt, std::nullopt, {}, true});
}

std::string ScriptedSeam::Problems() const {
    std::string problems;
    for (const std::string& failure : failures_)
        problems += failure + "\n";
    for (const Step& step : script_)
        problems += "expected a " + CallKindName(step.kind) + " that never came\n";
    return problems;
}

std::optional<ScriptedSeam::Step> ScriptedSeam::Take(CallKind kind, const std::string& what) {
    if (script_.empty()) {
        failures_.push_back("unexpected " + CallKindName(kind) + ": " + what);
        return std::nullopt;
    }
    if (script_.front().kind != kind) {
        failures_.push_back("expected a " + CallKindName(script_.front().kind) + " but got a " +
                            CallKindName(kind) + ": " + what);
        return std::nullopt;
    }
    Step step = std::move(script_.front());
    script_.pop_front();
    return step;
}

Answer ScriptedSeam::ShowMessage(const Message& message) {
    RecordedCall call;
    call.kind = CallKind::Message;
    call.text = message.text;
    call.title = std::string(ProgramTitle);
    call.buttons = message.buttons;
    call.icon = message.icon;
    call.defaultAnswer = message.defaultAnswer;
    Answer answer = Answer::Cancel;
    if (auto step = Take(CallKind::Message, message.text)) {
        answer = *step->answer;
        if (!ButtonsOffer(message.buttons, answer)) {
            failures_.push_back("the answer " + AnswerName(answer) +
                                " is not a button of the message box: " + message.text);
            answer = Answer::Cancel;
        }
    }
    call.answer = AnswerName(answer);
    calls_.push_back(std::move(call));
    return answer;
}

std::optional<std::string> ScriptedSeam::InputBox(std::string_view prompt, std::string_view title,
                                                  std::string_view defaultText) {
    RecordedCall call;
    call.kind = CallKind::Input;
    call.text = std::string(prompt);
    call.title = std::string(title);
    call.defaultText = std::string(defaultText);
    std::optional<std::string> answer;
    if (auto step = Take(CallKind::Input, call.text))
        answer = step->text;
    call.answer = TextOrCancel(answer);
    calls_.push_back(std::move(call));
    return answer;
}

std::optional<std::string> ScriptedSeam::FileDialog(const FileDialogRequest& request) {
    RecordedCall call;
    call.kind = CallKind::File;
    call.title = request.title;
    call.fileRequest = request;
    std::optional<std::string> answer;
    if (auto step = Take(CallKind::File, request.title))
        answer = step->text;
    call.answer = TextOrCancel(answer);
    calls_.push_back(std::move(call));
    return answer;
}

std::optional<std::string> ScriptedSeam::FolderDialog(QWidget*, std::string_view title,
                                                      const std::string& initialFolder) {
    RecordedCall call;
    call.kind = CallKind::Folder;
    call.title = std::string(title);
    call.defaultText = initialFolder;
    std::optional<std::string> answer;
    if (auto step = Take(CallKind::Folder, call.title))
        answer = step->text;
    call.answer = TextOrCancel(answer);
    calls_.push_back(std::move(call));
    return answer;
}

int ScriptedSeam::ShowModal(QDialog& form) {
    const std::size_t index = calls_.size();
    RecordedCall call;
    call.kind = CallKind::Form;
    call.text = FromQString(form.objectName());
    call.title = FromQString(form.windowTitle());
    calls_.push_back(call);
    auto step = Take(CallKind::Form, call.text);
    if (!step) {
        calls_[index].answer = "Rejected";
        return QDialog::Rejected;
    }
    form.setResult(QDialog::Rejected);
    form.show();
    if (step->action)
        step->action(form);
    if (form.isVisible()) {
        failures_.push_back("the form " + call.text + " was left open by its script");
        form.reject();
    }
    const int result = form.result();
    calls_[index].answer = result == QDialog::Accepted ? "Accepted" : "Rejected";
    return result;
}

bool ScriptedSeam::OpenInDesktop(const std::string& hostPath) {
    RecordedCall call;
    call.kind = CallKind::Open;
    call.text = hostPath;
    bool opened = false;
    if (auto step = Take(CallKind::Open, hostPath))
        opened = step->opened;
    call.answer = opened ? "opened" : "not opened";
    calls_.push_back(std::move(call));
    return opened;
}

void ScriptedSeam::ShowHelp(const std::string& helpFileHostPath) {
    RecordedCall call;
    call.kind = CallKind::Help;
    call.text = helpFileHostPath;
    Take(CallKind::Help, helpFileHostPath);
    calls_.push_back(std::move(call));
}

} // namespace rk::ui
