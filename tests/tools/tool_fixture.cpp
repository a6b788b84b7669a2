#include "tool_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace rk::test {

ToolTest::ToolTest() = default;

RunResult ToolTest::Zip(const std::vector<std::string>& args) const {
    std::vector<std::string> full{(ProgramDir() / "rkzip").string()};
    full.insert(full.end(), args.begin(), args.end());
    return rk::test::Run(full);
}

RunResult ToolTest::Unzip(const std::vector<std::string>& args) const {
    std::vector<std::string> full{(ProgramDir() / "rkunzip").string()};
    full.insert(full.end(), args.begin(), args.end());
    return rk::test::Run(full);
}

std::vector<std::string> ToolTest::NamesIn(const std::filesystem::path& archive) const {
    return ArchiveNames(archive, false);
}

bool ToolTest::IsSound(const std::filesystem::path& archive) const {
    const RunResult tested = rk::test::Run({"/usr/bin/unzip", "-tq", archive.string()});
    // unzip reports an archive without entries as a warning (exit 1).
    return tested.exitCode == 0 ||
           (tested.exitCode == 1 && tested.out.find("zipfile is empty") != std::string::npos);
}

RunResult ToolTest::Backup(const std::string& mode, const std::string& archiveWindows,
                           const std::string& exclusionWindows,
                           const std::string& listWindows) const {
    return Zip({mode, "-P", "-r", "-whs", "-yp", "-^^", "-x@" + exclusionWindows, archiveWindows,
                "@" + listWindows});
}

void ToolTest::WriteLines(const std::filesystem::path& file,
                          const std::vector<std::string>& lines) const {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    sandbox.write(file, text);
}

} // namespace rk::test
