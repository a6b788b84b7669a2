// The scripted seam is what every dialog test stands on: it must record each
// call faithfully and refuse anything its script did not foresee.

#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"
#include "ui/seam.h"

#include <QDialog>
#include <QPushButton>

#include <gtest/gtest.h>

namespace rk::ui {
namespace {

class ScriptedSeamTest : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureQtApplication(); }
    ScriptedSeam seam;
    SeamScope scope{seam};
};

TEST_F(ScriptedSeamTest, MessageBoxIsRecordedAndAnsweredFromTheScript) {
    seam.AnswerMessage(Answer::No);
    const Answer answer = MsgBox("Delete it?", Buttons::YesNo, Icon::Question, Answer::No);
    EXPECT_EQ(answer, Answer::No);
    ASSERT_EQ(seam.Calls().size(), 1u);
    const RecordedCall& call = seam.Calls()[0];
    EXPECT_EQ(call.kind, CallKind::Message);
    EXPECT_EQ(call.text, "Delete it?");
    EXPECT_EQ(call.title, "Ravelkeep");
    EXPECT_EQ(call.buttons, Buttons::YesNo);
    EXPECT_EQ(call.icon, Icon::Question);
    EXPECT_EQ(call.defaultAnswer, Answer::No);
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(ScriptedSeamTest, UnforeseenCallsAreFailuresAnsweredByCancelling) {
    EXPECT_EQ(MsgBox("nobody expects this"), Answer::Cancel);
    seam.AnswerFolder("/tmp");
    EXPECT_EQ(seam.InputBox("Name?", "New", ""), std::nullopt);
    // The wrong-kind call must not consume the folder step.
    EXPECT_EQ(seam.FolderDialog(nullptr, "Pick", ""), std::optional<std::string>("/tmp"));
    ASSERT_EQ(seam.Failures().size(), 2u);
    EXPECT_NE(seam.Failures()[0].find("nobody expects this"), std::string::npos);
    EXPECT_NE(seam.Failures()[1].find("expected a folder dialog but got a input box"),
              std::string::npos);
    EXPECT_EQ(seam.Calls().size(), 3u);
}

TEST_F(ScriptedSeamTest, AnAnswerThatIsNotAButtonIsAFailure) {
    seam.AnswerMessage(Answer::Yes);
    EXPECT_EQ(MsgBox("Only OK here"), Answer::Cancel);
    ASSERT_EQ(seam.Failures().size(), 1u);
    EXPECT_NE(seam.Failures()[0].find("not a button"), std::string::npos);
}

TEST_F(ScriptedSeamTest, UnusedStepsAreReported) {
    seam.AnswerMessage(Answer::OK);
    seam.AnswerHelp();
    EXPECT_EQ(seam.Remaining(), 2u);
    EXPECT_EQ(seam.Problems(),
              "expected a message box that never came\nexpected a help that never came\n");
}

TEST_F(ScriptedSeamTest, FormsAreActedOnAndGiveTheirResult) {
    QDialog form;
    form.setObjectName("frmSample");
    form.setWindowTitle("Sample");
    auto* ok = new QPushButton("OK", &form);
    QObject::connect(ok, &QPushButton::clicked, &form, &QDialog::accept);

    seam.AnswerForm([](QDialog& shown) {
        EXPECT_TRUE(shown.isVisible());
        shown.findChild<QPushButton*>()->click();
    });
    EXPECT_EQ(seam.ShowModal(form), QDialog::Accepted);

    seam.AnswerForm([](QDialog& shown) { shown.close(); });
    EXPECT_EQ(seam.ShowModal(form), QDialog::Rejected);

    ASSERT_EQ(seam.Calls().size(), 2u);
    EXPECT_EQ(seam.Calls()[0].kind, CallKind::Form);
    EXPECT_EQ(seam.Calls()[0].text, "frmSample");
    EXPECT_EQ(seam.Calls()[0].title, "Sample");
    EXPECT_EQ(seam.Calls()[0].answer, "Accepted");
    EXPECT_EQ(seam.Calls()[1].answer, "Rejected");
    EXPECT_EQ(seam.Problems(), "");
}

TEST_F(ScriptedSeamTest, AFormLeftOpenIsAFailureAndRejected) {
    QDialog form;
    form.setObjectName("frmSample");
    seam.AnswerForm([](QDialog&) {});
    EXPECT_EQ(seam.ShowModal(form), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(seam.Failures().size(), 1u);
    EXPECT_NE(seam.Failures()[0].find("left open"), std::string::npos);
}

TEST_F(ScriptedSeamTest, AFormWithoutAStepIsNeverShown) {
    QDialog form;
    EXPECT_EQ(seam.ShowModal(form), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(seam.Failures().size(), 1u);
}

TEST(SeamScopeTest, RestoresThePreviousSeam) {
    ScriptedSeam outer;
    ScriptedSeam inner;
    SeamScope outerScope(outer);
    {
        SeamScope innerScope(inner);
        EXPECT_EQ(&Current(), &inner);
    }
    EXPECT_EQ(&Current(), &outer);
}

} // namespace
} // namespace rk::ui
