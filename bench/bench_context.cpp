#include "bench_context.h"

#include "support/sandbox.h"

#include <cstdio>
#include <unistd.h>

namespace rk::bench {

Tools FindTools() {
    Tools tools;
    const auto program = rk::test::ProgramDir();
    tools.rkzip = (program / "rkzip").string();
    tools.rkunzip = (program / "rkunzip").string();
    tools.zip = FindOnPath("zip");
    tools.unzip = FindOnPath("unzip");
    tools.sevenZip = FindOnPath("7zz");
    tools.bsdtar = FindOnPath("bsdtar");
    tools.find = FindOnPath("find");
    return tools;
}

std::string Layout::windows(const std::string& relative) {
    std::string text = "C:\\" + relative;
    for (auto& ch : text)
        if (ch == '/')
            ch = '\\';
    return text;
}

std::optional<Measure> Timed(const std::optional<std::string>& tool,
                             std::vector<std::string> arguments,
                             const std::filesystem::path& folder) {
    if (!tool)
        return std::nullopt;
    sync();
    arguments.insert(arguments.begin(), *tool);
    return RunMeasured(arguments, folder);
}

std::string Cell(const std::optional<std::string>& tool, const std::optional<Measure>& measure) {
    return tool ? CellText(measure) : kNotInstalled;
}

void Progress(const std::string& text) {
    std::fprintf(stderr, "rk_zip_bench: %s\n", text.c_str());
}

void ReportFailure(const std::string& what, const std::optional<Measure>& measure) {
    if (!measure || (measure->started && measure->exitCode == 0))
        return;
    std::fprintf(stderr, "rk_zip_bench: %s exited %d: %s\n", what.c_str(), measure->exitCode,
                 measure->errorTail.c_str());
}

} // namespace rk::bench
