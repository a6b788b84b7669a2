#include "platform/drive_map.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace rk::platform;

TEST(TempFiles, AreUniqueEmptyAndInThePrivateFolder) {
    rk::test::Sandbox box;
    const std::string temp = TempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(ToHostPath(temp), (box.root() / "tmp").string());

    const std::string a = TempFileName(temp, "rkfoo");
    const std::string b = TempFileName(temp, "rkfoo");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(temp + "rkf", 0), 0u) << a;
    EXPECT_EQ(a.substr(a.size() - 4), ".TMP");
    EXPECT_EQ(FileLength(a), 0u);
    EXPECT_EQ(FileLength(b), 0u);
    EXPECT_EQ(TempFileName("C:\\no such folder", "rk"), "");

    // Without TMPDIR the folder is private to this user.
    unsetenv("TMPDIR");
    const auto host = ToHostPath(TempPath());
    ASSERT_TRUE(host);
    struct stat info {};
    ASSERT_EQ(stat(host->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, getuid());
}

TEST(TempFiles, APrivateFolderThatIsALinkOrNoFolderIsRefused) {
    rk::test::Sandbox box;
    namespace fs = std::filesystem;
    const fs::path made = box.root() / "private";
    EXPECT_EQ(EnsurePrivateFolder(made.string()).reason(), "");
    EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all);
    fs::permissions(made, fs::perms::all);
    EXPECT_EQ(EnsurePrivateFolder(made.string()).reason(), "");
    EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all);

    fs::create_directory_symlink(made, box.root() / "link");
    EXPECT_EQ(EnsurePrivateFolder((box.root() / "link").string()).reason(), "is a symbolic link");
    box.write(box.root() / "file", "x");
    EXPECT_EQ(EnsurePrivateFolder((box.root() / "file").string()).reason(), "is not a folder");
    if (getuid() == 0) {
        // Root can hand a folder to someone else, as another user would own it.
        fs::create_directories(box.root() / "theirs");
        ASSERT_EQ(chown((box.root() / "theirs").c_str(), 65534, 65534), 0);
        EXPECT_EQ(EnsurePrivateFolder((box.root() / "theirs").string()).reason(),
                  "belongs to another user");
    }
    // Without a safe folder, nothing in it is offered.
    setenv("TMPDIR", (box.root() / "file").c_str(), 1);
    EXPECT_EQ(TempPath(), "");
    EXPECT_NE(TempPathProblem().find("it is not a folder"), std::string::npos) << TempPathProblem();
}

// TMPDIR serves as it is only when nobody else can write into it; a shared
// one holds the user's own private folder; one that others can rearrange is
// refused with the reason.
TEST(TempFiles, ASharedTmpdirHoldsThePrivateFolderOfTheUser) {
    rk::test::Sandbox box;
    namespace fs = std::filesystem;
    const std::string own = "ravelkeep-" + std::to_string(getuid());
    const auto modeOf = [](const fs::path& path) {
        struct stat info {};
        return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };

    const fs::path privateFolder = box.root() / "mine";
    fs::create_directories(privateFolder);
    fs::permissions(privateFolder, fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    setenv("TMPDIR", privateFolder.c_str(), 1);
    EXPECT_EQ(ToHostPath(TempPath()), privateFolder.string());
    EXPECT_EQ(modeOf(privateFolder), 0755u); // the user's own folder is left as it is

    // Shared as /tmp is: writable by all, with the sticky bit.
    const fs::path shared = box.root() / "shared";
    fs::create_directories(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    setenv("TMPDIR", shared.c_str(), 1);
    EXPECT_EQ(ToHostPath(TempPath()), (shared / own).string());
    EXPECT_EQ(modeOf(shared / own), 0700u);
    EXPECT_EQ(TempPathProblem(), "");
    // Reached through a link, the folder it names counts.
    fs::create_directory_symlink(shared, box.root() / "shared-link");
    setenv("TMPDIR", (box.root() / "shared-link").c_str(), 1);
    EXPECT_EQ(ToHostPath(TempPath()), (shared / own).string());

    // Writable by others without the sticky bit: they could move the private
    // folder away and put theirs in its place.
    const fs::path open = box.root() / "open";
    fs::create_directories(open);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);
    setenv("TMPDIR", open.c_str(), 1);
    EXPECT_EQ(TempPath(), "");
    EXPECT_NE(TempPathProblem().find(open.string() + " can be written by other users"),
              std::string::npos)
        << TempPathProblem();
    EXPECT_FALSE(fs::exists(open / own));
    // Below such a folder nothing is private either.
    fs::create_directories(open / "below");
    ASSERT_EQ(chmod((open / "below").c_str(), 0700), 0);
    setenv("TMPDIR", (open / "below").c_str(), 1);
    EXPECT_EQ(TempPath(), "");

    if (getuid() == 0) {
        // Someone else's folder, even a sticky one: its owner could rename
        // what is in it.
        const fs::path theirs = box.root() / "theirs";
        fs::create_directories(theirs);
        ASSERT_EQ(chmod(theirs.c_str(), 01777), 0);
        ASSERT_EQ(chown(theirs.c_str(), 65534, 65534), 0);
        setenv("TMPDIR", theirs.c_str(), 1);
        EXPECT_EQ(TempPath(), "");
        EXPECT_NE(TempPathProblem().find(theirs.string() + " belongs to another user"),
                  std::string::npos)
            << TempPathProblem();
    }
}

TEST(Registry, StoreOverridesTheBuiltInAnswers) {
    rk::test::Sandbox box;
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    const std::string shell =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    // No store: the documents folder of the (sandboxed) home.
    EXPECT_EQ(RegistryValue(RegistryRoot::CurrentUser, shell, "Personal"),
              ToWindowsPath((box.home() / "Documents").string()));
    EXPECT_EQ(RegistryValue(RegistryRoot::CurrentUser, shell, "Desktop"), std::nullopt);
    EXPECT_EQ(RegistryValue(RegistryRoot::LocalMachine, appPaths + "notepad.exe", ""),
              std::nullopt);

    box.write(box.registry(), "[HKEY_LOCAL_MACHINE\\" + appPaths +
                                  "wzzip.exe]\n"
                                  "@=C:\\Tools\\rkzip\n"
                                  "[HKEY_CURRENT_USER\\" +
                                  shell +
                                  "]\r\n"
                                  "personal = D:\\My Documents \r\n");
    EXPECT_EQ(RegistryValue(RegistryRoot::LocalMachine, appPaths + "WZZIP.EXE", ""),
              "C:\\Tools\\rkzip");
    EXPECT_EQ(RegistryValue(RegistryRoot::CurrentUser, shell, "Personal"), "D:\\My Documents");
    EXPECT_EQ(RegistryValue(RegistryRoot::CurrentUser, shell + "x", "Personal"), std::nullopt);
}

TEST(ShortPath, GivesASpaceFreeAliasForExistingPaths) {
    rk::test::Sandbox box;
    box.write(box.c() / "My Jobs" / "Weekly" / "excl.ini", "*.tmp\r\n");
    EXPECT_EQ(ShortPath("C:\\NoSpaces\\x"), "C:\\NoSpaces\\x");
    EXPECT_EQ(ShortPath("C:\\Missing Folder\\x"), "C:\\Missing Folder\\x");

    const std::string file = ShortPath("C:\\My Jobs\\Weekly\\excl.ini");
    EXPECT_EQ(file.find(' '), std::string::npos) << file;
    EXPECT_EQ(ReadFile(file), std::optional<std::string>("*.tmp\r\n"));
    EXPECT_EQ(ShortPath("C:\\My Jobs\\Weekly\\excl.ini"), file) << "stable alias";

    const std::string folder = ShortPath("C:\\My Jobs\\");
    EXPECT_EQ(folder.find(' '), std::string::npos);
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(FindAnyEntry(folder + "Weekly\\excl.ini"));
}

TEST(Process, SplitsWithoutAShellAndReportsTheOutcome) {
    EXPECT_EQ(SplitCommandLine(R"(C:\rk\rkzip -a+ -x@C:\j\excl.ini "C:\My Jobs\a.zip" @C:\l)"),
              (std::vector<std::string>{"C:\\rk\\rkzip", "-a+", "-x@C:\\j\\excl.ini",
                                        "C:\\My Jobs\\a.zip", "@C:\\l"}));
    EXPECT_EQ(SplitCommandLine(R"(a -@"C:\x y\f" "" b\\c)"),
              (std::vector<std::string>{"a", "-@C:\\x y\\f", "", "b\\\\c"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());

    rk::test::Sandbox box;
    const auto missing = RunProcess({"C:\\no-such-program"});
    EXPECT_FALSE(missing.started);
    EXPECT_FALSE(missing.startError.empty());

    int ticks = 0;
    const auto listing = RunProcess({"Z:\\bin\\ls", "/no/such/file"}, [&] { ++ticks; });
    EXPECT_TRUE(listing.started);
    EXPECT_NE(listing.exitCode, 0);
    EXPECT_NE(listing.stderrTail.find("/no/such/file"), std::string::npos);
    EXPECT_GE(ticks, 1);
    EXPECT_EQ(RunProcess({"Z:\\bin\\true"}).exitCode, 0);
}

} // namespace
