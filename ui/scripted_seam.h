#pragma once
// A seam that plays a script instead of asking a person: every call is
// recorded, and each is answered by the next step of the script. A call the
// script does not expect (no step left, or a step of another kind) is
// recorded as a failure and answered by cancelling. Tests read the calls and
// the failures afterwards.

#include "ui/seam.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rk::ui {

enum class CallKind { Message, Input, File, Folder, Form, Open, Help };

// What one call asked for.
struct RecordedCall {
    CallKind kind = CallKind::Message;
    // Message text, input prompt, form name, or the path opened.
    std::string text;
    // The window title: always the program title for message boxes.
    std::string title;
    Buttons buttons = Buttons::OK;
    Icon icon = Icon::None;
    std::optional<Answer> defaultAnswer;
    // Input box default text; the folder dialog's initial folder.
    std::string defaultText;
    // File dialogs only.
    std::optional<FileDialogRequest> fileRequest;
    // The answer given.
    std::string answer;
};

class ScriptedSeam final : public Seam {
  public:
    using FormAction = std::function<void(QDialog&)>;

    // Script steps, answered in the order they were added.
    void AnswerMessage(Answer answer);
    void AnswerInput(std::optional<std::string> text);
    void AnswerFile(std::optional<std::string> hostPath);
    void AnswerFolder(std::optional<std::string> hostPath);
    // The form is shown (not modally); `action` then acts on it as a person
    // would (typing, clicking). The result is the form's result once closed;
    // a form still open afterwards is a failure and is rejected.
    void AnswerForm(FormAction action);
    void AnswerOpen(bool opened = true);
    void AnswerHelp();

    const std::vector<RecordedCall>& Calls() const { return calls_; }
    const std::vector<std::string>& Failures() const { return failures_; }
    // Steps of the script not yet used.
    std::size_t Remaining() const { return script_.size(); }
    // Empty when every step was used and nothing failed; else what went wrong.
    std::string Problems() const;

    Answer ShowMessage(const Message& message) override;
    std::optional<std::string> InputBox(std::string_view prompt, std::string_view title,
                                        std::string_view defaultText) override;
    std::optional<std::string> FileDialog(const FileDialogRequest& request) override;
    std::optional<std::string> FolderDialog(QWidget* owner, std::string_view title,
                                            const std::string& initialFolder) override;
    int ShowModal(QDialog& form) override;
    bool OpenInDesktop(const std::string& hostPath) override;
    void ShowHelp(const std::string& helpFileHostPath) override;

  private:
    struct Step {
        CallKind kind;
        std::optional<Answer> answer;
        std::optional<std::string> text;
        FormAction action;
        bool opened = true;
    };
    std::deque<Step> script_;
    std::vector<RecordedCall> calls_;
    std::vector<std::string> failures_;

    // The next step when it is of this kind; else records a failure.
    std::optional<Step> Take(CallKind kind, const std::string& what);
};

// "message", "input box", ... for failure texts.
std::string CallKindName(CallKind kind);

} // namespace rk::ui
