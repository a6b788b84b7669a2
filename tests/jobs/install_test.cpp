// `cmake --install` of this build into a sandbox: a self-contained program
// folder under the chosen prefix, and the desktop entry with its icon in the
// XDG data folder, starting the installed program.

#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

TEST(Install, ProgramFolderDesktopEntryAndIcon) {
    Sandbox sandbox;
    const fs::path prefix = sandbox.root() / "opt" / "my $rk prog";
    const fs::path dataHome = sandbox.root() / "data home";
    const RunResult result = rk::test::Run(
        {RK_CMAKE_COMMAND, "--install", RK_BUILD_DIR, "--prefix", prefix.string()},
        {"HOME=" + sandbox.home().string(), "XDG_DATA_HOME=" + dataHome.string(), "DESTDIR"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;

    for (const char* name : {"rkbak", "rkzip", "rkunzip"}) {
        const fs::path program = prefix / name;
        ASSERT_TRUE(fs::is_regular_file(program)) << name;
        EXPECT_NE(fs::status(program).permissions() & fs::perms::owner_exec, fs::perms::none);
    }
    EXPECT_EQ(sandbox.read(prefix / "excl.txt"), sandbox.read(ProgramDir() / "excl.txt"));
    EXPECT_EQ(sandbox.read(prefix / "rkbak.hlp"), sandbox.read(ProgramDir() / "rkbak.hlp"));
    const std::string icon = sandbox.read(prefix / "icons" / "ravelkeep.svg");
    EXPECT_NE(icon.find("<svg"), std::string::npos);

    EXPECT_EQ(sandbox.read(dataHome / "icons" / "hicolor" / "scalable" / "apps" / "ravelkeep.svg"),
              icon);
    const std::string entry = sandbox.read(dataHome / "applications" / "ravelkeep.desktop");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    // Quoted for the space, "$" escaped inside the quotes, that escape's
    // backslash doubled for the desktop-entry string.
    const std::string exec =
        "\nExec=\"" + (sandbox.root() / "opt").string() + "/my \\\\$rk prog/rkbak\"\n";
    EXPECT_NE(entry.find(exec), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=ravelkeep\n"), std::string::npos);
    EXPECT_NE(entry.find("\nName=Ravelkeep\n"), std::string::npos);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(sandbox.home() / ".local")) << "XDG_DATA_HOME is honoured";
}

} // namespace
} // namespace rk::test
