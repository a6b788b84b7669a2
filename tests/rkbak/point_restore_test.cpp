// "rkbak /restore/JOB/ARCHIVE/DESTINATION" through the built program, on a job
// whose backups are made by the real rkzip with the backup runs' options: a
// root and incremental runs in which files are changed, deleted, made again
// under the same name, moved into a new folder, and a file replaced by a
// folder. The source is copied right after each run; restoring each point
// gives exactly that copy, byte for byte in names and contents (names with a
// backslash, a line break, bytes that are not UTF-8), and the deletion record
// never shows as a file. Info-ZIP and 7-Zip test every archive clean, also
// after a consolidation, which carries the deletions of its period.

#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

using Tree = std::map<std::string, std::string>; // "/" path below the root -> content

// Every regular file below `root`, by its path's bytes.
Tree Snapshot(const fs::path& root, const Sandbox& box) {
    Tree tree;
    if (!fs::exists(root))
        return tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            tree[fs::relative(entry.path(), root).string()] = box.read(entry.path());
    return tree;
}

// Every entry name, one a line, as Info-ZIP lists them.
std::string InfoZipNames(const fs::path& archive) {
    return rk::test::Run({"/usr/bin/unzip", "-Z1", archive.string()}).out;
}

class PointRestore : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path program = box.c() / "prog";
    fs::path job = box.c() / "Store" / "Docs";
    fs::path data = box.c() / "Data";
    std::vector<std::string> archives;
    std::vector<Tree> snapshots;

    void SetUp() override {
        InstallProgramCopy(box, program, "C:\\prog", "C:\\Store");
        fs::create_directories(job);
        box.write(job / "excl.ini", "");
        box.write(job / "rkjob.ini",
                  "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n");
        box.write(box.root() / "list.txt", "C:\\Data\\*.*\r\n");
    }

    // One backup run as the backup run starts rkzip: root (-a+) or
    // incremental (-i); then the source is copied.
    void Backup(const std::string& name, bool root) {
        const RunResult made =
            rk::test::Run({(program / "rkzip").string(), root ? "-a+" : "-i", "-P", "-r", "-whs",
                           "-yp", "-^^", "-x@C:\\Store\\Docs\\excl.ini", "C:\\Store\\Docs\\" + name,
                           "@" + platform::ToWindowsPath((box.root() / "list.txt").string())});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        archives.push_back(name);
        snapshots.push_back(Snapshot(data, box));
    }

    RunResult Restore(const std::string& archive, const std::string& destination) const {
        return rk::test::Run(
            {(program / "rkbak").string(), "/restore/Docs/" + archive + "/" + destination},
            {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    }

    // The five runs of the story.
    void MakeHistory() {
        box.write(data / "a.txt", "a one");
        box.write(data / "b.txt", "b one");
        box.write(data / "gone.txt", "deleted in run 2");
        box.write(data / "back\\slash.txt", "backslash in the name");
        box.write(data / "line\nbreak.txt", "line break in the name");
        box.write(data / "caf\xe9.txt", "latin-1 name");
        box.write(data / "sub" / "c.txt", "c moves in run 3");
        box.write(data / "x", "x is a file, then a folder");
        Backup("rk_2026_01_01_10_00_00.zip", true);

        box.write(data / "a.txt", "a two, longer");
        fs::remove(data / "gone.txt");
        fs::remove(data / "b.txt");
        Backup("rk_2026_01_02_10_00_00.zip", false);

        box.write(data / "b.txt", "b made again");
        fs::create_directories(data / "newdir");
        fs::rename(data / "sub" / "c.txt", data / "newdir" / "c.txt");
        fs::remove(data / "x");
        box.write(data / "x" / "inner.txt", "now x is a folder");
        Backup("rk_2026_01_03_10_00_00.zip", false);

        fs::remove(data / "line\nbreak.txt");
        box.write(data / "caf\xe9.txt", "latin-1 name, changed");
        Backup("rk_2026_01_04_10_00_00.zip", false);

        Backup("rk_2026_01_05_10_00_00.zip", false);
    }

    void ExpectEveryPointRestored(const std::string& tag) {
        for (size_t i = 0; i < archives.size(); ++i) {
            const std::string out = "out_" + tag + std::to_string(i);
            const RunResult restored = Restore(archives[i], "C:\\" + out);
            EXPECT_EQ(restored.exitCode, 0) << archives[i] << ": " << restored.err;
            EXPECT_EQ(Snapshot(box.c() / out / "Data", box), snapshots[i]) << archives[i];
            // Nothing but the job's own folder comes back.
            for (const auto& entry : fs::directory_iterator(box.c() / out))
                EXPECT_EQ(entry.path().filename(), "Data") << archives[i];
        }
    }

    void ExpectArchivesTestClean() {
        for (const auto& entry : fs::directory_iterator(job)) {
            if (entry.path().extension() != ".zip")
                continue;
            const RunResult infoZip =
                rk::test::Run({"/usr/bin/unzip", "-t", entry.path().string()});
            EXPECT_EQ(infoZip.exitCode, 0) << entry.path() << infoZip.out << infoZip.err;
            const RunResult sevenZip = rk::test::Run({"/usr/bin/7zz", "t", entry.path().string()});
            EXPECT_EQ(sevenZip.exitCode, 0) << entry.path() << sevenZip.out << sevenZip.err;
            const RunResult own = rk::test::Run({(program / "rkunzip").string(), "-t",
                                                 platform::ToWindowsPath(entry.path().string())});
            EXPECT_EQ(own.exitCode, 0) << entry.path() << own.err;
        }
    }
};

TEST_F(PointRestore, EveryPointGivesBackExactlyTheTreeOfThatRun) {
    MakeHistory();
    // The story really has what the test is about.
    EXPECT_EQ(snapshots[1].count("gone.txt"), 0u);
    EXPECT_EQ(snapshots[0].count("x"), 1u);
    EXPECT_EQ(snapshots[2].count("x/inner.txt"), 1u);
    EXPECT_EQ(snapshots[2].count("sub/c.txt"), 0u);
    ExpectEveryPointRestored("");
    ExpectArchivesTestClean();
}

TEST_F(PointRestore, TheDeletionRecordIsOneSmallEntryOtherToolsSeeButNoRestoreGives) {
    MakeHistory();
    const fs::path second = job / archives[1];
    // Info-ZIP lists it as a file of its own.
    EXPECT_EQ(InfoZipNames(second), "Data/\nData/a.txt\n./ravelkeep-deleted.txt\n");
    // rkunzip lists only the job's files.
    const RunResult listed = rk::test::Run({(program / "rkunzip").string(), "-@C:\\listing.txt",
                                            platform::ToWindowsPath(second.string())});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(box.read(box.c() / "listing.txt"), "Data\\a.txt\r\n");
    // Extracting the whole archive gives no file for it either.
    const RunResult extracted =
        rk::test::Run({(program / "rkunzip").string(), "-d",
                       platform::ToWindowsPath(second.string()), "C:\\whole\\"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    EXPECT_EQ(Snapshot(box.c() / "whole", box), (Tree{{"Data/a.txt", "a two, longer"}}));
}

TEST_F(PointRestore, AConsolidatedPeriodKeepsItsDeletions) {
    MakeHistory();
    // Runs 2 to 4 become one archive: b.txt deleted and made again, gone.txt,
    // sub/c.txt, x and the line-break name deleted within it.
    const RunResult consolidated =
        rk::test::Run({(program / "rkbak").string(), "/c/2026-01-02/2026-01-04/C:\\Store\\Docs"},
                      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(consolidated.exitCode, 0) << consolidated.err;
    archives = {archives[0], "rk_2026_01_04_10_00_00_C.zip", archives[4]};
    snapshots = {snapshots[0], snapshots[3], snapshots[4]};
    ASSERT_TRUE(fs::exists(job / archives[1]));
    // It carries its own deletion record, and no file made of another.
    const std::string names = InfoZipNames(job / archives[1]);
    EXPECT_EQ(names.find("ravelkeep-deleted"), names.rfind("ravelkeep-deleted")) << names;
    EXPECT_NE(names.find("\n./ravelkeep-deleted.txt\n"), std::string::npos) << names;
    ExpectEveryPointRestored("c");
    ExpectArchivesTestClean();
}

TEST_F(PointRestore, ABackupTheJobDoesNotHaveIsABadCommandLine) {
    MakeHistory();
    const RunResult missing = Restore("rk_2030_01_01_00_00_00.zip", "C:\\out");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("rk_2030_01_01_00_00_00.zip"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(box.c() / "out"));
    const RunResult noJob =
        rk::test::Run({(program / "rkbak").string(), "/restore/Nobody/" + archives[0] + "/C:\\out"},
                      {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    EXPECT_EQ(noJob.exitCode, 2) << noJob.err;
}

TEST_F(PointRestore, AFileThatExistsInTheDestinationIsNeverReplaced) {
    MakeHistory();
    box.write(box.c() / "out" / "Data" / "a.txt", "mine");
    const RunResult restored = Restore(archives[4], "C:\\out");
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(box.read(box.c() / "out" / "Data" / "a.txt"), "mine");
    EXPECT_EQ(box.read(box.c() / "out" / "Data" / "b.txt"), "b made again");
}

} // namespace
} // namespace rk::test
