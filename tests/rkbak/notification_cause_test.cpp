// The notification of a failed or incomplete windowless backup carries its
// cause: the zip utility's lines (the missing source folder) and the files
// it left out, as the run recorded them; when no desktop can be told, a line
// on standard error says so.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class NotificationCause : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "prog";
    fs::path job = box.c() / "Store" / "Daily";
    fs::path notifications = box.root() / "notifications.log";

    void SetUp() override {
        InstallProgramCopy(box, program, "C:\\prog", "C:\\Store");
        box.write(job / "excl.ini", "*.tmp\r\n");
        box.write(box.c() / "Data" / "a.txt", "alpha");
    }

    void Folders(const std::string& lines) {
        box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\n" + lines);
    }

    RunResult OnSessionBus(const std::string& argument) const {
        return rk::test::Run(
            {"/usr/bin/dbus-run-session", "--", (ProgramDir() / "rk_fake_notifier").string(),
             notifications.string(), (program / "rkbak").string(), argument},
            {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"});
    }
};

TEST_F(NotificationCause, AFailedRunNamesTheMissingSourceFolder) {
    Folders("foldercount=1\r\nfolder1=C:\\Gone Folder\r\n");
    const RunResult failed = OnSessionBus("/ib/Daily");
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    // The zip utility's line reaches standard error once, as it wrote it.
    const std::string cause = "the source folder C:\\Gone Folder does not exist";
    const std::size_t first = failed.err.find(cause);
    ASSERT_NE(first, std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find(cause, first + 1), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("rkbak: job \"Daily\": The backup rk_"), std::string::npos);

    const std::string sent = box.read(notifications);
    EXPECT_NE(sent.find("summary=The backup of \"Daily\" failed\nbody=job \"Daily\": The backup "
                        "rk_"),
              std::string::npos)
        << sent;
    EXPECT_NE(sent.find(" could not be made: rkzip: nothing added to zip archive "),
              std::string::npos)
        << sent;
    EXPECT_NE(sent.find(cause + "\nurgency=2"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("said why, above"), std::string::npos) << sent;
}

TEST_F(NotificationCause, AnIncompleteRunNamesWhatItLeftOut) {
    Folders("foldercount=2\r\nfolder1=C:\\Data\r\nfolder2=C:\\Unplugged\r\n");
    const RunResult partial = OnSessionBus("/ib/Daily");
    EXPECT_EQ(partial.exitCode, 1) << partial.err;
    const std::string sent = box.read(notifications);
    EXPECT_NE(sent.find("summary=The backup of \"Daily\" is incomplete\nbody=job \"Daily\": The "
                        "backup rk_"),
              std::string::npos)
        << sent;
    EXPECT_NE(sent.find(" was made, but some files could not be read and were left out (1 in "
                        "all): | C:\\Unplugged\nurgency=2"),
              std::string::npos)
        << sent;
    const std::string settings = box.read(job / "rkjob.ini");
    EXPECT_NE(settings.find("\r\noutcome=partial\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\r\nleftcount=1\r\nleft1=C:\\Unplugged\r\n"), std::string::npos)
        << settings;
}

TEST_F(NotificationCause, WithoutADesktopALineSaysSo) {
    Folders("foldercount=1\r\nfolder1=C:\\Gone Folder\r\n");
    // The sandbox's bus address names no bus.
    const RunResult failed = rk::test::Run({(program / "rkbak").string(), "/ib/Daily"},
                                           {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(failed.exitCode, 1) << failed.err;
    const std::string said = "\nrkbak: the desktop was not told (cannot connect to the session bus";
    EXPECT_NE(failed.err.find(said), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.back(), '\n');

    // A run that went well tells nobody, and says nothing.
    Folders("foldercount=1\r\nfolder1=C:\\Data\r\n");
    const RunResult made = rk::test::Run({(program / "rkbak").string(), "/ib/Daily"},
                                         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.err, "");
}

} // namespace
} // namespace rk::test
