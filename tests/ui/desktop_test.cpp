// Opening in the desktop and the help go through the seam with host paths.

#include "core/program_values.h"
#include "support/sandbox.h"
#include "ui/help.h"
#include "ui/help_window.h"
#include "ui/qt_test_app.h"
#include "ui/scripted_seam.h"
#include "ui/shell_open.h"

#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <set>

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

// The contents of the shipped help file are links, and each leads to a
// heading of the file.
TEST_F(DesktopTest, HelpContentsLinkToTheirSections) {
    EXPECT_EQ(HeadingAnchor("Running from a scheduler"), "running-from-a-scheduler");
    EXPECT_EQ(HeadingAnchor(" Upgrading from Ravelkeep 1 "), "upgrading-from-ravelkeep-1");
    HelpWindow help;
    ASSERT_TRUE(help.Load((test::ProgramDir() / "rkbak.hlp").string()));
    std::set<QString> links;
    std::set<QString> anchors;
    const QTextDocument* document = help.Browser()->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.anchorHref().startsWith('#'))
                links.insert(format.anchorHref().mid(1));
            for (const QString& name : format.anchorNames())
                anchors.insert(name);
        }
    EXPECT_EQ(links.size(), 10u);
    for (const QString& link : links)
        EXPECT_TRUE(anchors.count(link)) << link.toStdString();
}

} // namespace
} // namespace rk::ui
