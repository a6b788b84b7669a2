// Without a display nothing may wait: messages become lines on the error
// stream and questions take the answer that does nothing.

#include "ui/headless_seam.h"
#include "ui/qt_test_app.h"

#include <QDialog>

#include <gtest/gtest.h>

#include <sstream>

namespace rk::ui {
namespace {

TEST(HeadlessSeamTest, MessagesGoToTheErrorStreamAndQuestionsDoNothing) {
    test::EnsureQtApplication();
    std::ostringstream errors;
    HeadlessSeam seam(errors);
    EXPECT_EQ(seam.ShowMessage({"Done.\r\n\r\nAll went well.", Buttons::OK, Icon::None, {}}),
              Answer::OK);
    EXPECT_EQ(seam.ShowMessage({"Create it?", Buttons::YesNo, Icon::Question, Answer::Yes}),
              Answer::No);
    EXPECT_EQ(seam.ShowMessage({"Go on?", Buttons::OKCancel, Icon::Question, {}}), Answer::Cancel);
    EXPECT_EQ(seam.ShowMessage({"Save?", Buttons::YesNoCancel, Icon::Question, {}}),
              Answer::Cancel);
    EXPECT_EQ(errors.str(),
              "rkbak: Done.  All went well.\nrkbak: Create it?\nrkbak: Go on?\nrkbak: Save?\n");

    QDialog form;
    EXPECT_EQ(seam.ShowModal(form), QDialog::Rejected);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(seam.InputBox("Name?", "New", "x"), std::nullopt);
    EXPECT_EQ(seam.FolderDialog(nullptr, "Pick", ""), std::nullopt);
    EXPECT_EQ(seam.FileDialog(FileDialogRequest{}), std::nullopt);
    EXPECT_FALSE(seam.OpenInDesktop("/tmp"));
}

} // namespace
} // namespace rk::ui
