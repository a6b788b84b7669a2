#include "core/file_checks.h"

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace rk {
namespace {

namespace fs = std::filesystem;

bool RunningAsRoot() {
    return geteuid() == 0;
}

// The host path of Windows path text on drive C: of the sandbox.
fs::path OnC(const test::Sandbox& box, std::string_view relative) {
    return box.c() / relative;
}

TEST(CoreFileChecks, PathExistsFindsFilesAndFoldersWithOrWithoutTrailingBackslash) {
    test::Sandbox box;
    box.write(OnC(box, "Data/report.txt"), "x");
    EXPECT_TRUE(PathExists("C:\\Data"));
    EXPECT_TRUE(PathExists("C:\\Data\\"));
    EXPECT_TRUE(PathExists("C:\\Data\\report.txt"));
    EXPECT_TRUE(PathExists("C:\\Data\\*.txt"));
    EXPECT_FALSE(PathExists("C:\\Data\\*.doc"));
    EXPECT_FALSE(PathExists("C:\\Missing"));
    EXPECT_FALSE(PathExists("C:\\Missing\\"));
    EXPECT_FALSE(PathExists(""));
    // A drive root has no entry of its own.
    EXPECT_FALSE(PathExists("C:\\"));
}

TEST(CoreFileChecks, FolderExistsLooksUpEntriesButProbesRoots) {
    test::Sandbox box;
    box.write(OnC(box, "Data/report.txt"), "x");
    EXPECT_TRUE(FolderExists("C:\\Data"));
    EXPECT_TRUE(FolderExists("C:\\Data\\"));
    // The lookup does not tell files from folders.
    EXPECT_TRUE(FolderExists("C:\\Data\\report.txt"));
    EXPECT_FALSE(FolderExists("C:\\Missing"));
    // Roots answer whether a file can be written there.
    EXPECT_TRUE(FolderExists("C:"));
    EXPECT_TRUE(FolderExists("C:\\"));
    EXPECT_TRUE(FolderExists("D:\\"));
    EXPECT_FALSE(FolderExists("Q:\\"));
    EXPECT_FALSE(FolderExists("\\\\server\\share"));
    EXPECT_FALSE(FolderExists("\\\\server"));
    // The probes leave nothing behind.
    EXPECT_TRUE(fs::is_empty(box.d()));
}

TEST(CoreFileChecks, FolderExistsIsFalseForTheRootOfAReadOnlyDrive) {
    if (RunningAsRoot())
        GTEST_SKIP() << "permissions do not bind the superuser";
    test::Sandbox box;
    fs::permissions(box.d(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(FolderExists("D:\\"));
    EXPECT_FALSE(IsFolderWritable("D:\\"));
    fs::permissions(box.d(), fs::perms::owner_all);
}

TEST(CoreFileChecks, IsFolderWritableLeavesNoFileBehind) {
    test::Sandbox box;
    fs::create_directories(OnC(box, "Out"));
    EXPECT_TRUE(IsFolderWritable("C:\\Out"));
    EXPECT_TRUE(IsFolderWritable("C:\\Out\\"));
    EXPECT_TRUE(fs::is_empty(OnC(box, "Out")));
    EXPECT_FALSE(IsFolderWritable("C:\\Nowhere"));
    EXPECT_FALSE(IsFolderWritable("\\\\server\\share"));
    EXPECT_FALSE(fs::exists(OnC(box, "Nowhere")));
}

TEST(CoreFileChecks, MakeTempFileNameMakesNewEmptyFiles) {
    test::Sandbox box;
    fs::create_directories(OnC(box, "T"));
    const std::string first = MakeTempFileName("rk", "C:\\T");
    const std::string second = MakeTempFileName("rk", "C:\\T\\");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind("C:\\T\\rk", 0), 0U) << name;
        EXPECT_EQ(name.substr(name.size() - 4), ".TMP") << name;
        const fs::path host = OnC(box, "T") / name.substr(5);
        ASSERT_TRUE(fs::exists(host)) << host;
        EXPECT_EQ(fs::file_size(host), 0U);
    }
    // Only the first three characters of the prefix are used.
    const std::string longPrefix = MakeTempFileName("tstlong", "C:\\T");
    EXPECT_EQ(longPrefix.rfind("C:\\T\\tst", 0), 0U) << longPrefix;
    EXPECT_EQ(longPrefix.find("tstl"), std::string::npos) << longPrefix;
}

TEST(CoreFileChecks, MakeTempFileNameUsesTheTemporaryFolderAndFailsQuietly) {
    test::Sandbox box;
    const std::string name = MakeTempFileName("abc");
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(name.find(' '), std::string::npos);
    const fs::path host = box.root() / "tmp" / name.substr(name.rfind('\\') + 1);
    EXPECT_TRUE(fs::exists(host)) << name;
    EXPECT_EQ(MakeTempFileName("rk", "C:\\Missing"), "");
    EXPECT_EQ(MakeTempFileName("rk", "\\\\server\\share"), "");
}

TEST(CoreFileChecks, RegReadStringReadsTheStoreAndCutsLongValues) {
    test::Sandbox box;
    const std::string longValue(300, 'v');
    box.write(box.registry(), "[HKEY_LOCAL_MACHINE\\Software\\Test]\n"
                              "@=default text\n"
                              "Path=C:\\Tools\\x.exe\n"
                              "Long=" +
                                  longValue +
                                  "\n"
                                  "[HKEY_CURRENT_USER\\Software\\Test]\n"
                                  "Path=user value\n");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, "Software\\Test", "Path"),
              "C:\\Tools\\x.exe");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, "Software\\Test", ""),
              "default text");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_CURRENT_USER, "Software\\Test", "Path"),
              "user value");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, "Software\\Test", "Long"),
              longValue.substr(0, 254));
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, "Software\\Test", "Missing"), "");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_LOCAL_MACHINE, "Software\\Nothing", "Path"), "");
}

} // namespace
} // namespace rk
