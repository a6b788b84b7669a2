#pragma once
// A sandbox with the real zip and unzip utilities configured as the
// program's utilities, and a job folder "C:\Backups\Weekly Job" to hold
// backups made by rkzip. Header only: the tests that take it link the
// program's values (core/) themselves.

#include "core/program_values.h"
#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace rk::test {

using Files = std::map<std::string, std::string>;

class ArchiveJobFixture : public ::testing::Test {
  protected:
    Sandbox box;
    std::filesystem::path job = box.c() / "Backups" / "Weekly Job";

    void SetUp() override {
        std::filesystem::create_directories(box.c() / "App");
        std::filesystem::create_directories(job);
        AppFolder = "C:\\App\\";
        JobStoreFolder = "C:\\Backups\\";
        ZipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkzip").string());
        UnzipUtilPath = platform::ToWindowsPath((ProgramDir() / "rkunzip").string());
    }

    // Windows path of the job folder.
    static std::string JobFolder() { return "C:\\Backups\\Weekly Job"; }

    // An archive in the job folder holding the files (names relative, "/"
    // between folders), made by the real zip utility.
    void MakeArchive(const std::string& name, const Files& files) {
        const std::filesystem::path staging = box.root() / "staging" / name;
        for (const auto& [path, content] : files)
            box.write(staging / path, content);
        const RunResult made =
            rk::test::Run({(ProgramDir() / "rkzip").string(), "-a", "-p", "-r", "-whs", "-^^",
                           platform::ToWindowsPath((job / name).string()),
                           platform::ToWindowsPath(staging.string()) + "\\*.*"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
};

} // namespace rk::test
