// Source folders backed up as themselves by the windowless backup run
// ("rkbak /ib" with the real rkzip in a sandbox): a path longer than the
// 511 characters of ordinary settings, and a folder whose name ends in a dot
// beside the folder of the same name without it.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class SourceFolderBackupTest : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "Program Files" / "rk";
    fs::path job = box.c() / "Store" / "Weekly";

    void SetUp() override {
        InstallProgramCopy(box, program, "C:\\Program Files\\rk", "C:\\Store");
        fs::create_directories(job);
        fs::copy_file(program / "excl.txt", job / "excl.ini");
    }

    void Folders(const std::vector<std::string>& folders) const {
        std::string settings = "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount= " +
                               std::to_string(folders.size()) + "\r\n";
        for (std::size_t n = 0; n < folders.size(); ++n)
            settings += "folder" + std::to_string(n + 1) + "=" + folders[n] + "\r\n";
        box.write(job / "rkjob.ini", settings);
    }

    RunResult Backup() const {
        return rk::test::Run({(program / "rkbak").string(), "/ib/Weekly"},
                             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"});
    }

    // The names stored in the job's only archive.
    std::vector<std::string> Stored() const {
        std::vector<fs::path> archives;
        for (const auto& entry : fs::directory_iterator(job))
            if (entry.path().extension() == ".zip")
                archives.push_back(entry.path());
        EXPECT_EQ(archives.size(), 1u);
        if (archives.size() != 1)
            return {};
        return ArchiveNamesInOrder(archives[0]);
    }

    // "proj." beside "proj", the job listing it by `value`: only "proj." is
    // backed up.
    void ExpectOnlyTheDottedFolderBackedUp(const std::string& value) {
        box.write(box.c() / "proj." / "dotted.txt", "chosen");
        box.write(box.c() / "proj" / "plain.txt", "its sibling");
        Folders({value});
        const RunResult run = Backup();
        ASSERT_EQ(run.exitCode, 0) << value << run.out << run.err;
        EXPECT_EQ(Stored(), (std::vector<std::string>{"proj./", "proj./dotted.txt"})) << value;
    }
};

// A 600-character folder is backed up whole; the folder named by its first
// 511 characters, which a cut value would name, is left alone.
TEST_F(SourceFolderBackupTest, ALongFolderPathIsBackedUpAsItself) {
    std::string relative;
    while (relative.size() < 597)
        relative += (relative.empty() ? "" : "/") + std::string(39, 'd');
    relative.resize(597);
    const std::string windows = "C:\\" + [&] {
        std::string text = relative;
        for (char& c : text)
            if (c == '/')
                c = '\\';
        return text;
    }();
    ASSERT_EQ(windows.size(), 600u);
    box.write(box.c() / relative / "deep.txt", "the folder chosen");
    const std::string cut = relative.substr(0, 511 - 3);
    box.write(box.c() / cut / "decoy.txt", "a folder never chosen");
    Folders({windows});

    const RunResult run = Backup();
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<std::string> names = Stored();
    EXPECT_NE(std::find(names.begin(), names.end(), relative + "/deep.txt"), names.end())
        << run.out;
    for (const std::string& name : names)
        EXPECT_EQ(name.find("decoy"), std::string::npos) << name;
}

// "proj." is backed up as itself beside "proj", whether its value was kept
// as the folder list editor keeps it now or as plain text.
TEST_F(SourceFolderBackupTest, AFolderEndingInADotIsNotItsSibling) {
    ExpectOnlyTheDottedFolderBackedUp("\\\\?\\C:\\proj.");
}

TEST_F(SourceFolderBackupTest, AFolderEndingInADotKeptAsPlainTextIsNotItsSibling) {
    ExpectOnlyTheDottedFolderBackedUp("C:\\proj.");
}

// A folder whose name ends in a space, kept by the editor before a
// backslash, is backed up as itself beside the folder without the space.
TEST_F(SourceFolderBackupTest, AFolderEndingInASpaceIsNotItsSibling) {
    box.write(box.c() / "data " / "spaced.txt", "chosen");
    box.write(box.c() / "data" / "plain.txt", "its sibling");
    Folders({"\\\\?\\C:\\data \\"});
    const RunResult run = Backup();
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(Stored(), (std::vector<std::string>{"data /", "data /spaced.txt"}));
}

// Once "proj." is gone, the value the editor keeps names no other folder:
// the run fails instead of backing up "proj".
TEST_F(SourceFolderBackupTest, AGoneDottedFolderIsNotReplacedByItsSibling) {
    box.write(box.c() / "proj" / "plain.txt", "its sibling");
    Folders({"\\\\?\\C:\\proj."});
    const RunResult run = Backup();
    EXPECT_NE(run.exitCode, 0) << run.out << run.err;
    for (const auto& entry : fs::directory_iterator(job))
        EXPECT_NE(entry.path().extension(), ".zip") << entry.path();
}

} // namespace
} // namespace rk::test
