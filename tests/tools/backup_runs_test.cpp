// Root and incremental backup runs of rkzip, with the command lines the
// backup run uses, on real files in a sandbox.

#include "tool_fixture.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kArchive1 = "C:\\Backups\\My Job\\rk_2002_03_05_14_07_09.zip";
const std::string kArchive2 = "C:\\Backups\\My Job\\rk_2002_03_06_14_07_09.zip";
const std::string kArchive3 = "C:\\Backups\\My Job\\rk_2002_03_07_14_07_09.zip";
const std::string kExclusions = "C:\\Backups\\My Job\\excl.ini";
const std::string kList = "C:\\rk3F.TMP";

class BackupRuns : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(C("Backups/My Job"));
        WriteLines(C("Backups/My Job/excl.ini"), {"*.tmp", "*\\cache\\*"});
        WriteLines(C("rk3F.TMP"), {"C:\\Data\\*.*"});
    }
    fs::path Archive(const std::string& windows) const {
        return C("Backups/My Job") / windows.substr(windows.rfind('\\') + 1);
    }
};

TEST_F(BackupRuns, IncrementalTakesExactlyTheChangedFiles) {
    sandbox.write(C("Data/same.txt"), "unchanged");
    sandbox.write(C("Data/content.txt"), "first");
    sandbox.write(C("Data/touched.txt"), "1111");
    sandbox.write(C("Data/renamed.txt"), "original");
    sandbox.write(C("Data/sub/Données été.txt"), "unicode");
    sandbox.write(C("Data/skip.tmp"), "excluded");
    sandbox.write(C("Data/cache/blob.bin"), "excluded too");

    const RunResult root = Backup("-a+", kArchive1, kExclusions, kList);
    ASSERT_EQ(root.exitCode, 0) << root.err;
    EXPECT_TRUE(IsSound(Archive(kArchive1)));
    EXPECT_EQ(NamesIn(Archive(kArchive1)),
              (Names{"Data/content.txt", "Data/renamed.txt", "Data/same.txt",
                     "Data/sub/Données été.txt", "Data/touched.txt"}));
    EXPECT_TRUE(fs::exists(C("Backups/My Job/.rkzip-state")));

    // Every kind of change, after the root's stamps were taken.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sandbox.write(C("Data/new.txt"), "new");
    sandbox.write(C("Data/content.txt"), "second");
    const auto touchedTime = fs::last_write_time(C("Data/touched.txt"));
    sandbox.write(C("Data/touched.txt"), "2222");
    fs::last_write_time(C("Data/touched.txt"), touchedTime); // as "touch -r" puts it back
    const auto renamedTime = fs::last_write_time(C("Data/renamed.txt"));
    sandbox.write(C("Data/renamed.new"), "replaced");
    fs::last_write_time(C("Data/renamed.new"), renamedTime);
    fs::rename(C("Data/renamed.new"), C("Data/renamed.txt"));
    sandbox.write(C("Data/another.tmp"), "excluded");

    const RunResult incremental = Backup("-i", kArchive2, kExclusions, kList);
    ASSERT_EQ(incremental.exitCode, 0) << incremental.err;
    EXPECT_TRUE(IsSound(Archive(kArchive2)));
    EXPECT_EQ(NamesIn(Archive(kArchive2)),
              (Names{"Data/content.txt", "Data/new.txt", "Data/renamed.txt", "Data/touched.txt"}));

    // Nothing changed since: still an archive, holding nothing.
    const RunResult nothing = Backup("-i", kArchive3, kExclusions, kList);
    ASSERT_EQ(nothing.exitCode, 0) << nothing.err;
    ASSERT_TRUE(fs::exists(Archive(kArchive3)));
    EXPECT_TRUE(IsSound(Archive(kArchive3)));
    EXPECT_TRUE(NamesIn(Archive(kArchive3)).empty());
}

TEST_F(BackupRuns, FullAndRelativePathStyles) {
    sandbox.write(C("Data/sub/f.txt"), "f");
    sandbox.write(C("Restore/rk_1/Data/sub/f.txt"), "f");
    ASSERT_EQ(Backup("-a+", kArchive1, kExclusions, kList).exitCode, 0);
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/sub/f.txt"}));

    // The consolidation line stores paths below the pattern's folder, so the
    // consolidated archive restores to the same names.
    const RunResult consolidated =
        Zip({"-a", "-p", "-r", "-whs", "-yp", "-^^", "C:\\Backups\\My Job\\rk_1_C.zip",
             "C:\\Restore\\rk_1\\*.*"});
    ASSERT_EQ(consolidated.exitCode, 0) << consolidated.err;
    EXPECT_EQ(NamesIn(C("Backups/My Job/rk_1_C.zip")), (Names{"Data/sub/f.txt"}));
}

TEST_F(BackupRuns, HiddenAndSystemFilesOnlyWithWhs) {
    sandbox.write(C("Data/plain.txt"), "p");
    sandbox.write(C("Data/.dotted"), "h");
    sandbox.write(C("Data/.dotfolder/inside.txt"), "h");
    sandbox.write(C("Data/marked.txt"), "h");
    const bool dosBits = setxattr(C("Data/marked.txt").c_str(), "user.DOSATTRIB", "0x2", 3, 0) == 0;

    ASSERT_EQ(Zip({"-a", "-p", "-r", "-yp", "C:\\Backups\\without.zip", "C:\\Data\\*.*"}).exitCode,
              0);
    Names without{"plain.txt"};
    if (!dosBits)
        without.insert(without.begin(), "marked.txt");
    EXPECT_EQ(NamesIn(C("Backups/without.zip")), without);

    ASSERT_EQ(Zip({"-a", "-p", "-r", "-whs", "C:\\Backups\\with.zip", "C:\\Data\\*.*"}).exitCode,
              0);
    EXPECT_EQ(NamesIn(C("Backups/with.zip")),
              (Names{".dotfolder/inside.txt", ".dotted", "marked.txt", "plain.txt"}));
}

// A source folder that holds a job store: the folders receiving archives
// (they hold the attribute record) are named and left out, the rest stored.
TEST_F(BackupRuns, FoldersOfBackupsAreLeftOutWithANotice) {
    sandbox.write(C("Data/notes.txt"), "data");
    sandbox.write(C("Data/Backups/Other Job/rk_2001_01_01_00_00_00.zip"), "an earlier archive");
    sandbox.write(C("Data/Backups/Other Job/.rkzip-state"), "its record");
    const RunResult root = Backup("-a+", kArchive1, kExclusions, kList);
    ASSERT_EQ(root.exitCode, 0) << root.err;
    EXPECT_NE(root.err.find("folder of backups, not stored: C:\\Data\\Backups\\Other Job"),
              std::string::npos)
        << root.err;
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/notes.txt"}));
}

TEST_F(BackupRuns, ABroadTreeIsStoredInNameOrderWithItsNoticesInOrder) {
    // More folders than wait for a walker at once, walked on every core:
    // entries and notices still come in the order of one walk by name.
    std::vector<std::string> expected = {"Data/"};
    std::vector<std::string> fifos;
    std::vector<std::string> tops;
    tops.reserve(12);
    for (int t = 0; t < 12; ++t)
        tops.push_back((t % 2 == 0 ? "Top " : "top\\") + std::to_string(t));
    std::sort(tops.begin(), tops.end());
    for (const auto& top : tops) {
        expected.push_back("Data/" + top + "/");
        std::vector<std::string> subs;
        subs.reserve(9);
        for (int s = 0; s < 9; ++s)
            subs.push_back(std::string(s % 3 == 0 ? "B" : "a") + std::to_string(s));
        std::sort(subs.begin(), subs.end());
        for (const auto& sub : subs) {
            const std::string folder = "Data/" + top + "/" + sub;
            expected.push_back(folder + "/");
            for (const char* file : {"Z.txt", "m.txt", "x y.txt"}) {
                sandbox.write(C(folder + "/" + file), folder);
                expected.push_back(folder + "/" + file);
            }
            if (sub == "a4") {
                ASSERT_EQ(mkfifo(C(folder + "/pipe").c_str(), 0600), 0);
                std::string windows = "C:\\" + folder + "\\pipe";
                std::replace(windows.begin() + 3, windows.end(), '/', '\\');
                fifos.push_back("not a regular file, not stored: " + windows);
            }
        }
    }
    const RunResult root = Backup("-a+", kArchive1, kExclusions, kList);
    ASSERT_EQ(root.exitCode, 0) << root.err;
    EXPECT_EQ(ArchiveNamesInOrder(Archive(kArchive1)), expected);
    std::vector<std::string> notices;
    std::istringstream errors(root.err);
    for (std::string line; std::getline(errors, line);)
        if (line.find("not a regular file") != std::string::npos)
            notices.push_back(line.substr(line.find(": ") + 2));
    EXPECT_EQ(notices, fifos);
    EXPECT_TRUE(IsSound(Archive(kArchive1)));
}

TEST_F(BackupRuns, LinksStoredAsLinksAndFoldersTakenOnce) {
    sandbox.write(C("Data/sub/f.txt"), "f");
    sandbox.write(C("Outside/secret.txt"), "never followed");
    fs::create_directory_symlink(C("Outside"), C("Data/to-outside"));
    fs::create_symlink("sub/f.txt", C("Data/to-file"));
    // The same folder named twice, once directly and once below Data.
    WriteLines(C("rk3F.TMP"), {"C:\\Data\\*.*", "C:\\Data\\sub\\*.*", "C:\\Data\\"});

    const RunResult root = Backup("-a+", kArchive1, kExclusions, kList);
    ASSERT_EQ(root.exitCode, 0) << root.err;
    EXPECT_EQ(NamesIn(Archive(kArchive1)),
              (Names{"Data/sub/f.txt", "Data/to-file", "Data/to-outside"}));
    const RunResult info = rk::test::Run({"/usr/bin/unzip", "-Z", Archive(kArchive1).string()});
    EXPECT_NE(info.out.find("lrwxrwxrwx"), std::string::npos) << info.out;
}

TEST_F(BackupRuns, NamesThatRepeatAreStoredOnce) {
    // A file name holding a backslash is not the path of a file below a
    // folder: both are stored, each under its own name.
    sandbox.write(C("Data/a/b"), "in the folder");
    sandbox.write(C("Data/a\\b"), "backslash in the name");
    const RunResult full = Backup("-a+", kArchive1, kExclusions, kList);
    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/a/b", "Data/a\\b"}));

    // Paths relative to each pattern's folder repeat across patterns.
    sandbox.write(C("One/f.txt"), "one");
    sandbox.write(C("One/only.txt"), "one");
    sandbox.write(C("Two/f.txt"), "two");
    sandbox.write(C("Two/sub/g.txt"), "two");
    const RunResult relative = Zip({"-a", "-p", "-r", "-whs", "-yp", "-^^",
                                    "C:\\Backups\\relative.zip", "C:\\One\\*.*", "C:\\Two\\*.*"});
    ASSERT_EQ(relative.exitCode, 0) << relative.err;
    EXPECT_EQ(NamesIn(C("Backups/relative.zip")), (Names{"f.txt", "only.txt", "sub/g.txt"}));
    const RunResult content =
        rk::test::Run({"/usr/bin/unzip", "-p", C("Backups/relative.zip").string(), "f.txt"});
    EXPECT_EQ(content.out, "one");

    // Two full-path patterns reaching the same names store each once.
    const RunResult twice = Zip({"-a", "-P", "-r", "-whs", "-yp", "-^^", "C:\\Backups\\twice.zip",
                                 "C:\\One\\*.*", "C:\\One\\f.txt"});
    ASSERT_EQ(twice.exitCode, 0) << twice.err;
    EXPECT_EQ(NamesIn(C("Backups/twice.zip")), (Names{"One/f.txt", "One/only.txt"}));
}

TEST_F(BackupRuns, ArchiveAndRecordNeverStoredIntoThemselves) {
    sandbox.write(C("Data/f.txt"), "f");
    const std::string inside = "C:\\Data\\rk_1.zip";
    ASSERT_EQ(Backup("-a+", inside, kExclusions, kList).exitCode, 0);
    // A second run into the same folder finds the first archive (a file like
    // any other) but never the one it writes, nor the record.
    ASSERT_EQ(Backup("-a+", "C:\\Data\\rk_2.zip", kExclusions, kList).exitCode, 0);
    EXPECT_EQ(NamesIn(C("Data/rk_1.zip")), (Names{"Data/f.txt"}));
    EXPECT_EQ(NamesIn(C("Data/rk_2.zip")), (Names{"Data/f.txt", "Data/rk_1.zip"}));
}

TEST_F(BackupRuns, UnreadableFilesNamedAndKeepTheirAttribute) {
    sandbox.write(C("Data/good.txt"), "good");
    ASSERT_EQ(mkfifo(C("Data/pipe").c_str(), 0644), 0);
    // /proc/self/mem of the reading process answers every read at offset 0
    // with an error, even for root: a file that cannot be read.
    WriteLines(C("rk3F.TMP"), {"C:\\Data\\*.*", "P:\\mem"});
    const std::string drives = "RAVELKEEP_DRIVES=C=" + sandbox.c().string() + ";P=/proc/self";

    const RunResult root =
        rk::test::Run({(ProgramDir() / "rkzip").string(), "-a+", "-P", "-r", "-whs", "-yp", "-^^",
                       "-x@" + kExclusions, kArchive1, "@" + kList},
                      {drives});
    EXPECT_EQ(root.exitCode, 1) << root.err;
    EXPECT_NE(root.err.find("P:\\mem"), std::string::npos) << root.err;
    EXPECT_NE(root.err.find("C:\\Data\\pipe"), std::string::npos) << root.err;
    EXPECT_TRUE(IsSound(Archive(kArchive1)));
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/good.txt"}));

    // The next incremental tries the unreadable file again, and only it.
    const RunResult incremental =
        rk::test::Run({(ProgramDir() / "rkzip").string(), "-i", "-P", "-r", "-whs", "-yp", "-^^",
                       "-x@" + kExclusions, kArchive2, "@" + kList},
                      {drives});
    EXPECT_EQ(incremental.exitCode, 1) << incremental.err;
    EXPECT_NE(incremental.err.find("P:\\mem"), std::string::npos) << incremental.err;
    EXPECT_TRUE(NamesIn(Archive(kArchive2)).empty());
}

TEST_F(BackupRuns, PermissionDeniedForOrdinaryUsers) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads every file; the /proc case covers unreadable files";
    sandbox.write(C("Data/locked.txt"), "x");
    sandbox.write(C("Data/open.txt"), "y");
    fs::permissions(C("Data/locked.txt"), fs::perms::none);
    const RunResult root = Backup("-a+", kArchive1, kExclusions, kList);
    EXPECT_EQ(root.exitCode, 1);
    EXPECT_NE(root.err.find("C:\\Data\\locked.txt"), std::string::npos) << root.err;
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/open.txt"}));
}

TEST_F(BackupRuns, MissingSourcesAndArchivesThatCannotBeMade) {
    sandbox.write(C("Data/f.txt"), "f");
    WriteLines(C("rk3F.TMP"), {"C:\\Data\\*.*", "C:\\Nowhere\\*.*"});
    const RunResult partly = Backup("-a+", kArchive1, kExclusions, kList);
    EXPECT_EQ(partly.exitCode, 1);
    EXPECT_NE(partly.err.find("C:\\Nowhere\\*.*"), std::string::npos) << partly.err;
    EXPECT_EQ(NamesIn(Archive(kArchive1)), (Names{"Data/f.txt"}));

    WriteLines(C("rk3F.TMP"), {"C:\\Nowhere\\*.*"});
    const RunResult none = Backup("-a+", kArchive2, kExclusions, kList);
    EXPECT_GE(none.exitCode, 3);
    EXPECT_FALSE(fs::exists(Archive(kArchive2)));
    // The last line, which the program shows, names the cause.
    std::string last = none.err.substr(0, none.err.size() - 1);
    last = last.substr(last.rfind('\n') + 1);
    EXPECT_NE(last.find("the source folder C:\\Nowhere does not exist"), std::string::npos)
        << none.err;

    const RunResult noFolder = Zip({"-a", "-p", "C:\\No Folder\\a.zip", "C:\\Data\\*.*"});
    EXPECT_GE(noFolder.exitCode, 3);
    EXPECT_NE(noFolder.err.find("rkzip: can't open zip archive 'C:\\No Folder\\a.zip': "),
              std::string::npos)
        << noFolder.err;

    // An existing file that is no archive is left exactly as it was.
    sandbox.write(C("Backups/not.zip"), "not a zip archive at all");
    const RunResult notZip = Zip({"-a", "-p", "C:\\Backups\\not.zip", "C:\\Data\\*.*"});
    EXPECT_GE(notZip.exitCode, 3);
    EXPECT_NE(notZip.err.find("can't open zip archive 'C:\\Backups\\not.zip'"), std::string::npos);
    EXPECT_EQ(sandbox.read(C("Backups/not.zip")), "not a zip archive at all");

    EXPECT_EQ(Zip({"-a", "-p"}).exitCode, 2);
    EXPECT_EQ(Zip({"-k", "a.zip", "b"}).exitCode, 2);
    const RunResult help = Zip({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("-x@FILE"), std::string::npos);
}

// Kills the run as soon as libzip's temporary archive shows in the folder.
bool KillWhileWriting(pid_t pid, const fs::path& folder, const std::string& archiveName) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            if (name.size() > archiveName.size() + 1 && name.rfind(archiveName + ".", 0) == 0) {
                kill(pid, SIGKILL);
                int status = 0;
                waitpid(pid, &status, 0);
                return WIFSIGNALED(status);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

TEST_F(BackupRuns, KilledRunLeavesNoArchiveAndClearsNothing) {
    sandbox.write(C("Data/small.txt"), "small");
    ASSERT_EQ(Backup("-a+", kArchive1, kExclusions, kList).exitCode, 0);
    const std::string archiveBefore = sandbox.read(Archive(kArchive1));
    const std::string recordBefore = sandbox.read(C("Backups/My Job/.rkzip-state"));

    // Enough text to keep deflate busy for a while.
    std::mt19937 random(7);
    std::string text(48 * 1024 * 1024, ' ');
    for (auto& c : text)
        c = static_cast<char>('a' + random() % 26);
    sandbox.write(C("Data/big.txt"), text);

    const pid_t fresh = Start("rkzip", {"-i", "-P", "-r", "-whs", "-yp", "-^^", "-x@" + kExclusions,
                                        kArchive2, "@" + kList});
    ASSERT_TRUE(KillWhileWriting(fresh, C("Backups/My Job"), Archive(kArchive2).filename()));
    EXPECT_FALSE(fs::exists(Archive(kArchive2)));

    // Adding to an existing archive: killed, the archive is the one before.
    const pid_t adding = Start("rkzip", {"-a+", "-P", "-r", "-whs", "-yp", "-^^",
                                         "-x@" + kExclusions, kArchive1, "@" + kList});
    ASSERT_TRUE(KillWhileWriting(adding, C("Backups/My Job"), Archive(kArchive1).filename()));
    EXPECT_EQ(sandbox.read(Archive(kArchive1)), archiveBefore);
    EXPECT_EQ(sandbox.read(C("Backups/My Job/.rkzip-state")), recordBefore);
}

} // namespace
} // namespace rk::test
