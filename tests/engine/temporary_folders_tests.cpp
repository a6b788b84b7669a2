#include "engine/temporary_folders.h"
#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace rk;

TEST(TemporaryFolders, TempFolderNamesTheFirstFreeNumber) {
    rk::test::Sandbox box;
    const std::string temp = GetTempFolder();
    EXPECT_EQ(temp.back() == '\\', temp.size() == 3) << temp;
    EXPECT_EQ(GetTempFolder("rk"), temp + "\\rk0");
    std::filesystem::create_directories(box.root() / "tmp" / "rk0");
    EXPECT_EQ(GetTempFolder("rk"), temp + "\\rk1");
    EXPECT_FALSE(std::filesystem::exists(box.root() / "tmp" / "rk1")) << "not created";
    EXPECT_EQ(GetShortPath("C:\\not there\\x"), "C:\\not there\\x");
}

} // namespace
