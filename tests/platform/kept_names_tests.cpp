// Names ending in a dot or a space: Windows text drops those ends, a host
// folder may still hold both "proj." and "proj". Text is read onto the entry
// it names as written when the host has one, and a chosen host folder is kept
// as text that names it alone.

#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using rk::platform::NormalizeWindowsPath;
using rk::platform::ToHostPath;
using rk::platform::ToWindowsPath;
using rk::platform::ToWindowsPathKept;

TEST(KeptNames, TextIsReadOntoTheEntryNamedAsWrittenWhenItExists) {
    rk::test::Sandbox box;
    const std::string c = box.c().string();
    fs::create_directories(box.c() / "proj");
    // Only "proj" exists: the text means it, as on Windows.
    EXPECT_EQ(ToHostPath("C:\\proj."), c + "/proj");
    EXPECT_EQ(ToHostPath("C:\\proj. \\x"), c + "/proj/x");
    fs::create_directories(box.c() / "proj." / "sub ");
    EXPECT_EQ(ToHostPath("C:\\proj."), c + "/proj.");
    EXPECT_EQ(ToHostPath("C:\\proj.\\sub \\f.txt"), c + "/proj./sub /f.txt");
    EXPECT_EQ(ToHostPath("C:\\proj.\\sub\\f.txt"), c + "/proj./sub/f.txt");
    EXPECT_EQ(ToHostPath("C:\\proj"), c + "/proj");
    // Names of dots alone still resolve; nothing leaves the drive.
    EXPECT_EQ(ToHostPath("C:\\proj.\\..\\proj"), c + "/proj");
    EXPECT_EQ(NormalizeWindowsPath("C:\\proj."), "C:\\proj") << "text alone is normalised";
}

TEST(KeptNames, LiteralTextNamesTheEntryAsWritten) {
    rk::test::Sandbox box;
    const std::string c = box.c().string();
    fs::create_directories(box.c() / "proj");
    // "proj." does not exist: the literal text still never means "proj".
    EXPECT_EQ(ToHostPath("\\\\?\\C:\\proj."), c + "/proj.");
    EXPECT_EQ(ToHostPath("\\\\?\\c:\\a \\b.\\"), c + "/a /b.");
    EXPECT_EQ(ToHostPath("\\\\?\\C:\\..\\..\\etc"), c + "/etc");
    EXPECT_EQ(ToHostPath("\\\\?\\E:\\x"), std::nullopt) << "unmapped drive";
    EXPECT_EQ(NormalizeWindowsPath("\\\\?\\C:\\proj.\\\\x "), "\\\\?\\C:\\proj.\\x ");
    EXPECT_EQ(NormalizeWindowsPath("\\\\?\\C:\\proj."), NormalizeWindowsPath("\\\\?\\C:\\proj.\\"));
    EXPECT_NE(NormalizeWindowsPath("\\\\?\\C:\\proj."), NormalizeWindowsPath("C:\\proj"));
}

TEST(KeptNames, AChosenFolderIsKeptAsTextThatNamesItAlone) {
    rk::test::Sandbox box;
    const std::string c = box.c().string();
    EXPECT_EQ(ToWindowsPathKept(c + "/Data Folder"), "C:\\Data Folder");
    EXPECT_EQ(ToWindowsPathKept(c + "/a.b/c"), "C:\\a.b\\c");
    EXPECT_EQ(ToWindowsPathKept(c), "C:\\");
    for (const std::string name : {"proj.", "proj ", "x/proj../y", "...", "a/ ."}) {
        const std::string host = c + "/" + name;
        const std::string kept = ToWindowsPathKept(host);
        EXPECT_EQ(kept, "\\\\?\\" + ToWindowsPath(host)) << name;
        // It means the folder, whether or not it exists, and not its sibling.
        EXPECT_EQ(ToHostPath(kept), fs::path(host).lexically_normal().string()) << name;
        fs::create_directories(host);
        EXPECT_EQ(ToHostPath(kept), fs::path(host).lexically_normal().string()) << name;
    }
}

} // namespace
