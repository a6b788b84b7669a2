#include "core/file_checks.h"

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace rk {
namespace {

namespace fs = std::filesystem;

TEST(CoreFileChecks, ExistenceTests) {
    test::Sandbox box;
    box.write(box.c() / "Data" / "report.txt", "x");
    for (const char* path : {"C:\\Data", "C:\\Data\\", "C:\\Data\\report.txt", "C:\\Data\\*.txt"})
        EXPECT_TRUE(PathExists(path)) << path;
    for (const char* path : {"C:\\Missing\\", "C:\\Data\\*.doc", "C:\\", ""})
        EXPECT_FALSE(PathExists(path)) << path;

    // Folders are looked up like any entry; roots are probed by writing.
    for (const char* path : {"C:\\Data\\", "C:\\Data\\report.txt", "C:", "D:\\"})
        EXPECT_TRUE(FolderExists(path)) << path;
    for (const char* path : {"C:\\Missing", "Q:\\", "\\\\server\\share", "\\\\server"})
        EXPECT_FALSE(FolderExists(path)) << path;
    EXPECT_TRUE(fs::is_empty(box.d())) << "the probe of a root leaves nothing behind";

    if (geteuid() != 0) { // permissions do not bind the superuser
        fs::permissions(box.d(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(FolderExists("D:\\")) << "the root of a read-only drive";
        fs::permissions(box.d(), fs::perms::owner_all);
    }
}

TEST(CoreFileChecks, IsFolderWritableLeavesNoFileBehind) {
    test::Sandbox box;
    fs::create_directories(box.c() / "Out");
    EXPECT_TRUE(IsFolderWritable("C:\\Out\\"));
    EXPECT_TRUE(fs::is_empty(box.c() / "Out"));
    EXPECT_FALSE(IsFolderWritable("C:\\Nowhere"));
    EXPECT_FALSE(fs::exists(box.c() / "Nowhere"));
}

TEST(CoreFileChecks, MakeTempFileNameMakesNewEmptyFiles) {
    test::Sandbox box;
    fs::create_directories(box.c() / "T");
    const std::string first = MakeTempFileName("rk", "C:\\T");
    const std::string second = MakeTempFileName("rk", "C:\\T\\");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        ASSERT_EQ(name.rfind("C:\\T\\rk", 0), 0U) << name;
        EXPECT_TRUE(name.ends_with(".TMP")) << name;
        EXPECT_EQ(fs::file_size(box.c() / "T" / name.substr(5)), 0U) << name;
    }
    const std::string longPrefix = MakeTempFileName("tstlong", "C:\\T");
    EXPECT_EQ(longPrefix.substr(5, 3), "tst") << longPrefix;
    EXPECT_NE(longPrefix.substr(5, 4), "tstl") << longPrefix;
    // Without a folder: the temporary folder of the user.
    const std::string inTemp = MakeTempFileName("abc");
    EXPECT_TRUE(fs::exists(box.root() / "tmp" / inTemp.substr(inTemp.rfind('\\') + 1))) << inTemp;
    EXPECT_EQ(MakeTempFileName("rk", "C:\\Missing"), "");
}

TEST(CoreFileChecks, RegReadStringReadsTheStoreAndCutsLongValues) {
    test::Sandbox box;
    const std::string longValue(300, 'v');
    box.write(box.registry(), "[HKEY_LOCAL_MACHINE\\Software\\Test]\n@=default text\nLong=" +
                                  longValue + "\n[HKEY_CURRENT_USER\\Software\\Test]\nPath=mine\n");
    const auto machine = RegistryRootKey::HKEY_LOCAL_MACHINE;
    EXPECT_EQ(RegReadString(machine, "Software\\Test", ""), "default text");
    EXPECT_EQ(RegReadString(RegistryRootKey::HKEY_CURRENT_USER, "Software\\Test", "Path"), "mine");
    EXPECT_EQ(RegReadString(machine, "Software\\Test", "Long"), longValue.substr(0, 254));
    EXPECT_EQ(RegReadString(machine, "Software\\Test", "Path"), "");
    EXPECT_EQ(RegReadString(machine, "Software\\Nothing", ""), "");
}

} // namespace
} // namespace rk
