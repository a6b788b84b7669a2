#pragma once
// Runs the built rkzip and rkunzip inside a sandbox, and reads archives back
// with Info-ZIP's unzip as an independent reader.

#include "support/sandbox.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace rk::test {

class ToolTest : public ::testing::Test {
  protected:
    ToolTest();

    Sandbox sandbox;

    // Host path below drive C:.
    std::filesystem::path C(const std::string& relative) const { return sandbox.c() / relative; }

    RunResult Zip(const std::vector<std::string>& args) const;
    RunResult Unzip(const std::vector<std::string>& args) const;
    // Starts "rkzip" or "rkunzip" without waiting for it, its output thrown
    // away; -1 when it cannot be started. The stop signals take their default
    // action in it, as they do when a timer or a shutdown starts it.
    pid_t Start(const std::string& tool, const std::vector<std::string>& args) const;

    // The names of the files and links an archive holds (not its folders),
    // sorted, as Info-ZIP's "unzip -Z1" lists them (none for an empty or
    // unreadable archive).
    std::vector<std::string> NamesIn(const std::filesystem::path& archive) const;
    // True when "unzip -tq" finds the archive sound.
    bool IsSound(const std::filesystem::path& archive) const;

    // A root (-a+) or incremental (-i) backup run of the list file's folders
    // into the archive, with the exclusion file, as the backup run starts it.
    RunResult Backup(const std::string& mode, const std::string& archiveWindows,
                     const std::string& exclusionWindows, const std::string& listWindows) const;

    // Writes a list file (CR LF lines) at a host path.
    void WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines) const;
};

} // namespace rk::test
