#include "platform/drive_map.h"
#include "platform/shown_host_path.h"
#include "support/sandbox.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using rk::platform::NormalizeWindowsPath;
using rk::platform::ToHostPath;
using rk::platform::ToWindowsPath;

TEST(DriveMap, NormalizesLikeWin32) {
    const struct {
        const char* in;
        const char* out;
    } rows[] = {
        {"C:\\Data\\report.txt", "C:\\Data\\report.txt"},
        {"c:/Data//sub/", "C:\\Data\\sub"},
        {"C:\\Data\\.\\a\\..\\b", "C:\\Data\\b"},
        {"C:\\..\\..\\x", "C:\\x"},
        {"C:\\Data. \\file.txt.", "C:\\Data\\file.txt"},
        {"C:", "C:\\"},
        {"\\\\server\\share\\f.txt", "\\\\server\\share\\f.txt"},
        {"a\\..\\..\\b", "..\\b"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(NormalizeWindowsPath(row.in), row.out) << row.in;
}

TEST(DriveMap, MapsBothWaysThroughTheSandboxDrives) {
    rk::test::Sandbox box;
    const std::string c = box.c().string();
    EXPECT_EQ(ToHostPath("C:\\Backups\\Weekly"), c + "/Backups/Weekly");
    EXPECT_EQ(ToHostPath("c:\\"), c);
    EXPECT_EQ(ToHostPath("D:\\My Files\\x.txt "), box.d().string() + "/My Files/x.txt");
    EXPECT_EQ(ToHostPath("Z:\\srv\\data"), "/srv/data");
    EXPECT_EQ(ToHostPath("E:\\nothing"), std::nullopt) << "unmapped drive";
    EXPECT_EQ(ToHostPath("\\\\server\\share\\f"), std::nullopt) << "shares have no mapping";

    EXPECT_EQ(ToWindowsPath(c + "/Backups/Weekly"), "C:\\Backups\\Weekly");
    EXPECT_EQ(ToWindowsPath(c), "C:\\");
    EXPECT_EQ(ToWindowsPath(box.d().string() + "/x/"), "D:\\x");
    EXPECT_EQ(ToWindowsPath("/srv/data"), "Z:\\srv\\data");
    // A sibling whose name only starts like a mapped root is not under it.
    EXPECT_EQ(ToWindowsPath(c + "x/y").substr(0, 3), "Z:\\");
    EXPECT_EQ(ToHostPath(ToWindowsPath(c + "/Ünïcode dir/ä.txt")), c + "/Ünïcode dir/ä.txt");
}

TEST(DriveMap, MalformedVariableIsReportedAndMapsNothing) {
    rk::test::Sandbox box;
    for (const char* bad : {"C:/tmp", "C=relative", "CC=/x", "C=/a;C=/b", "=/"}) {
        setenv("RAVELKEEP_DRIVES", bad, 1);
        std::string error;
        EXPECT_FALSE(rk::platform::ReloadDriveMap(&error)) << bad;
        EXPECT_NE(error.find("RAVELKEEP_DRIVES"), std::string::npos) << bad;
        EXPECT_EQ(rk::platform::DriveMapError(), error);
        EXPECT_EQ(ToHostPath("C:\\x"), std::nullopt) << bad;
    }
    setenv("RAVELKEEP_DRIVES", "c=/srv;;", 1);
    EXPECT_TRUE(rk::platform::ReloadDriveMap());
    EXPECT_EQ(ToHostPath("C:\\a"), "/srv/a");
    EXPECT_EQ(ToHostPath("Z:\\a"), std::nullopt) << "a drive left out has no mapping";
}

} // namespace

namespace {

// The home folder is written "~"; other paths stay whole; text that is no
// path on a mapped drive shows nothing.
TEST(ShownHostPath, WritesTheHomeFolderAsTilde) {
    rk::test::Sandbox box;
    setenv("HOME", (box.c().string() + "/").c_str(), 1);
    const std::string d = box.d().string();
    const struct {
        const char* in;
        std::string out;
    } rows[] = {
        {"C:\\Backups", "~/Backups"},
        {"c:\\", "~"},
        {"C:", "~"},
        {"D:\\Daten\\IMG 1.jpg", d + "/Daten/IMG 1.jpg"},
        {"Q:\\unmapped", ""},
        {"relative\\path", ""},
        {"", ""},
        {"\\\\server\\share", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(rk::platform::ShownHostPath(row.in), row.out) << row.in;
    // A folder whose name only starts like the home folder is not in it.
    setenv("HOME", (box.c().string() + "/Back").c_str(), 1);
    EXPECT_EQ(rk::platform::ShownHostPath("C:\\Backups"), box.c().string() + "/Backups");
}

} // namespace

namespace {

// The paths a message names, ended at a quote or the line's end, and where
// spaces make it unclear, at the longest part that exists.
TEST(ShownHostPath, FindsThePathsAMessageNames) {
    rk::test::Sandbox box;
    std::filesystem::create_directories(box.c() / "My Files" / "Sub");
    setenv("HOME", box.c().string().c_str(), 1);
    using rk::platform::WindowsPathsIn;
    using Paths = std::vector<std::string>;
    EXPECT_EQ(WindowsPathsIn("Could not start the zip utility \"C:\\prog\\my zip\": gone"),
              Paths{"C:\\prog\\my zip"});
    EXPECT_EQ(WindowsPathsIn("The folder C:\\My Files\\Sub holds the job store C:\\Backups\\."),
              (Paths{"C:\\My Files\\Sub", "C:\\Backups\\"}));
    EXPECT_EQ(WindowsPathsIn("the source folder D:\\Gone Folder does not exist"),
              Paths{"D:\\Gone"});
    EXPECT_EQ(WindowsPathsIn("C:\\a, C:\\a and XC:\\b"), Paths{"C:\\a"});
    EXPECT_EQ(WindowsPathsIn("no paths here: 10:30"), Paths{});
    // In single quotes the path ends at its closing quote, which may follow
    // a quote of its own.
    EXPECT_EQ(WindowsPathsIn("The backup 'C:\\Backups\\Job\\rk_1.zip' was not made."),
              Paths{"C:\\Backups\\Job\\rk_1.zip"});
    EXPECT_EQ(WindowsPathsIn("rkzip: can't read 'C:\\My Files\\it's.txt': gone (not stored)"),
              Paths{"C:\\My Files\\it's.txt"});
    EXPECT_EQ(rk::platform::HostPathsNote("Kept in 'C:\\My Files'."),
              "C:\\My Files is ~/My Files on this computer.");
    EXPECT_EQ(rk::platform::HostPathsNote("Saved in C:\\My Files.\nAlso Q:\\x."),
              "C:\\My Files is ~/My Files on this computer.");
}

} // namespace
