#include "platform/file_system.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using namespace rk::platform;

std::vector<std::string> Names(const std::vector<FoundEntry>& entries) {
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const auto& e : entries)
        names.push_back(e.name);
    return names;
}

TEST(WildcardMatch, FollowsWindowsRulesWithoutCase) {
    EXPECT_TRUE(WildcardMatch("README", "*.*"));
    EXPECT_TRUE(WildcardMatch("rk_2026_01_02_03_04_05.zip", "RK_*.ZIP"));
    EXPECT_FALSE(WildcardMatch("rk_1.zip.bak", "rk_*.zip"));
    EXPECT_TRUE(WildcardMatch("rkjob.ini", "RKJOB.INI"));
    EXPECT_TRUE(WildcardMatch("abc", "a?c"));
    EXPECT_FALSE(WildcardMatch("ac", "a?c"));
    EXPECT_TRUE(WildcardMatch("notes", "notes.*"));
    EXPECT_TRUE(WildcardMatch("a.b.c", "*.c"));
}

TEST(Enumerate, AttributeMasksAdmitWhatTheyName) {
    rk::test::Sandbox box;
    const auto store = box.c() / "Backups";
    box.write(store / "plain.txt", "x");
    box.write(store / "locked.txt", "x");
    chmod((store / "locked.txt").c_str(), 0444);
    box.write(store / ".hidden", "x");
    std::filesystem::create_directories(store / "JobB");
    std::filesystem::create_directories(store / "jobA");

    EXPECT_EQ(Names(Enumerate("C:\\Backups\\*.*", kAttrNormal)),
              (std::vector<std::string>{"locked.txt", "plain.txt"}));
    EXPECT_EQ(Names(Enumerate("C:\\Backups\\*.*", kAttrDirectory)),
              (std::vector<std::string>{".", "..", "jobA", "JobB", "locked.txt", "plain.txt"}));
    EXPECT_EQ(Names(Enumerate("C:\\Backups\\*", kAttrNormal | kAttrHidden | kAttrSystem)),
              (std::vector<std::string>{".hidden", "locked.txt", "plain.txt"}));
    EXPECT_EQ(Names(Enumerate("C:\\Backups\\PLAIN.TXT", kAttrNormal)),
              (std::vector<std::string>{"plain.txt"}));
    EXPECT_TRUE(Enumerate("C:\\Missing\\*.*", kAttrDirectory).empty());
    EXPECT_TRUE(Names(Enumerate("C:\\*.*", kAttrDirectory)).front() != ".")
        << "a drive root has no . and .. entries";

    const auto locked = GetAttributes("C:\\Backups\\locked.txt");
    ASSERT_TRUE(locked);
    EXPECT_EQ(*locked & kAttrReadOnly, kAttrReadOnly);
    EXPECT_EQ(GetAttributes("C:\\Backups\\jobA").value_or(0) & kAttrDirectory, kAttrDirectory);

    // The DOS hidden bit, where the file system keeps user attributes.
    if (SetAttributes("C:\\Backups\\plain.txt", kAttrHidden)) {
        EXPECT_EQ(Names(Enumerate("C:\\Backups\\*.*", kAttrNormal)),
                  (std::vector<std::string>{"locked.txt"}));
        EXPECT_TRUE(SetAttributes("C:\\Backups\\plain.txt", kAttrNormal));
        EXPECT_EQ(GetAttributes("C:\\Backups\\plain.txt").value_or(99), kAttrNormal);
    }
    EXPECT_TRUE(SetAttributes("C:\\Backups\\locked.txt", kAttrNormal));
    EXPECT_EQ(GetAttributes("C:\\Backups\\locked.txt").value_or(99) & kAttrReadOnly, 0u);
}

TEST(FindAnyEntry, BehavesLikeAFirstFileLookup) {
    rk::test::Sandbox box;
    box.write(box.c() / "Data" / "report.txt", "x");
    EXPECT_TRUE(FindAnyEntry("C:\\Data"));
    EXPECT_TRUE(FindAnyEntry("C:\\Data\\report.txt"));
    EXPECT_TRUE(FindAnyEntry("C:\\Data\\report.txt."));
    EXPECT_TRUE(FindAnyEntry("C:\\Data\\*.TXT"));
    EXPECT_FALSE(FindAnyEntry("C:\\Data\\*.doc"));
    EXPECT_FALSE(FindAnyEntry("C:\\"));
    EXPECT_FALSE(FindAnyEntry("C:\\Data\\"));
    EXPECT_FALSE(FindAnyEntry("\\\\server\\share"));
}

TEST(WriteFileAtomically, ReplacesWholeOrNotAtAll) {
    rk::test::Sandbox box;
    const auto file = box.c() / "settings.ini";
    EXPECT_TRUE(WriteFileAtomically("C:\\settings.ini", "first\r\n"));
    EXPECT_EQ(box.read(file), "first\r\n");
    EXPECT_TRUE(WriteFileAtomically("C:\\settings.ini", "second\r\n"));
    EXPECT_EQ(box.read(file), "second\r\n");

    chmod(file.c_str(), 0444);
    EXPECT_FALSE(WriteFileAtomically("C:\\settings.ini", "third")) << "read-only file is kept";
    EXPECT_EQ(box.read(file), "second\r\n");
    EXPECT_FALSE(WriteFileAtomically("C:\\missing\\settings.ini", "x"));
    // Nothing but the file itself is left in the folder.
    size_t count = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(box.c()))
        ++count;
    EXPECT_EQ(count, 1u);

    EXPECT_TRUE(CopyFile("C:\\settings.ini", "D:\\copy.ini"));
    EXPECT_EQ(box.read(box.d() / "copy.ini"), "second\r\n");
    EXPECT_EQ(FileLength("D:\\copy.ini"), 8u);
    EXPECT_TRUE(DeleteFile("D:\\copy.ini"));
    EXPECT_FALSE(DeleteFile("D:\\copy.ini"));
}

} // namespace

namespace {

TEST(CreateFileExclusively, NeverOpensANameThatIsThere) {
    rk::test::Sandbox box;
    namespace fs = std::filesystem;
    box.write(box.c() / "victim.txt", "the user's own text");
    fs::create_symlink(box.c() / "victim.txt", box.c() / "planted.tmp");
    fs::create_symlink(box.c() / "nothing-yet.txt", box.c() / "dangling.tmp");

    EXPECT_FALSE(CreateFileExclusively("C:\\planted.tmp", "list"));
    EXPECT_FALSE(CreateFileExclusively("C:\\dangling.tmp", "list"));
    EXPECT_FALSE(CreateFileExclusively("C:\\victim.txt", "list"));
    EXPECT_FALSE(fs::exists(box.c() / "nothing-yet.txt"));
    EXPECT_EQ(box.read(box.c() / "victim.txt"), "the user's own text");

    ASSERT_TRUE(CreateFileExclusively("C:\\new.tmp", "a.txt\r\n"));
    EXPECT_EQ(box.read(box.c() / "new.tmp"), "a.txt\r\n");
    struct stat info {};
    ASSERT_EQ(stat((box.c() / "new.tmp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(ReplaceWithNewFile, RemovesALinkAndNeverWritesWhereItPoints) {
    rk::test::Sandbox box;
    namespace fs = std::filesystem;
    box.write(box.c() / "victim.txt", "the user's own text");
    fs::create_symlink(box.c() / "victim.txt", box.c() / "filelisto.tmp");
    ASSERT_TRUE(ReplaceWithNewFile("C:\\filelisto.tmp", "a.txt\r\n"));
    EXPECT_FALSE(fs::is_symlink(box.c() / "filelisto.tmp"));
    EXPECT_EQ(box.read(box.c() / "filelisto.tmp"), "a.txt\r\n");
    EXPECT_EQ(box.read(box.c() / "victim.txt"), "the user's own text");
    // A stale file of a killed run is replaced; a folder never is.
    ASSERT_TRUE(ReplaceWithNewFile("C:\\filelisto.tmp", "b.txt\r\n"));
    EXPECT_EQ(box.read(box.c() / "filelisto.tmp"), "b.txt\r\n");
    fs::create_directories(box.c() / "folder.tmp");
    EXPECT_FALSE(ReplaceWithNewFile("C:\\folder.tmp", "x"));
    EXPECT_TRUE(fs::is_directory(box.c() / "folder.tmp"));
}

TEST(FolderOnlyUserWrites, AsksOwnerAndWriteBitsOfOthers) {
    rk::test::Sandbox box;
    namespace fs = std::filesystem;
    fs::create_directories(box.c() / "app");
    ASSERT_EQ(chmod((box.c() / "app").c_str(), 0755), 0);
    EXPECT_TRUE(FolderOnlyUserWrites("C:\\app"));
    EXPECT_TRUE(FolderOnlyUserWrites("C:\\app\\"));
    ASSERT_EQ(chmod((box.c() / "app").c_str(), 0775), 0);
    EXPECT_FALSE(FolderOnlyUserWrites("C:\\app"));
    ASSERT_EQ(chmod((box.c() / "app").c_str(), 01777), 0);
    EXPECT_FALSE(FolderOnlyUserWrites("C:\\app"));
    ASSERT_EQ(chmod((box.c() / "app").c_str(), 0700), 0);
    fs::create_directory_symlink(box.c() / "app", box.c() / "link");
    EXPECT_FALSE(FolderOnlyUserWrites("C:\\link"));
    EXPECT_FALSE(FolderOnlyUserWrites("C:\\missing"));
    if (getuid() == 0) {
        ASSERT_EQ(chown((box.c() / "app").c_str(), 65534, 65534), 0);
        EXPECT_FALSE(FolderOnlyUserWrites("C:\\app"));
    }

    ASSERT_TRUE(CreatePrivateFolder("C:\\made"));
    struct stat info {};
    ASSERT_EQ(lstat((box.c() / "made").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_FALSE(CreatePrivateFolder("C:\\made"));
}

} // namespace
