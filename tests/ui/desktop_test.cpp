// Opening in the desktop and the help go through the seam with host paths.

#include "core/program_values.h"
#include "support/sandbox.h"
#include "ui/help.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"
#include "ui/shell_open.h"

#include <gtest/gtest.h>

namespace rk::ui {
namespace {

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureQtApplication(); }
    test::Sandbox sandbox;
    ScriptedSeam seam;
    SeamScope scope{seam};
};

TEST_F(DesktopTest, ShellOpenHandsTheHostPathToTheDesktop) {
    seam.AnswerOpen(true);
    EXPECT_TRUE(ShellOpen("C:\\Backups\\Job one\\excl.ini"));
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].text, (sandbox.c() / "Backups" / "Job one" / "excl.ini").string());
}

TEST_F(DesktopTest, ShellOpenOfAServerPathFailsWithoutAsking) {
    EXPECT_FALSE(ShellOpen("\\\\server\\share\\file.txt"));
    EXPECT_TRUE(seam.Calls().empty());
}

TEST_F(DesktopTest, HelpShowsTheRegisteredFile) {
    RegisterHelpFile("C:\\prog\\rkbak.hlp");
    EXPECT_EQ(HelpFile(), "C:\\prog\\rkbak.hlp");
    seam.AnswerHelp();
    ShowHelp();
    ASSERT_EQ(seam.Calls().size(), 1u);
    EXPECT_EQ(seam.Calls()[0].kind, CallKind::Help);
    EXPECT_EQ(seam.Calls()[0].text, (sandbox.c() / "prog" / "rkbak.hlp").string());
}

} // namespace
} // namespace rk::ui
