#include "bench_context.h"

#include "support/sandbox.h"

#include <algorithm>
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

std::optional<Measure> MedianRun(const std::function<std::optional<Measure>()>& once,
                                 const std::function<void()>& prepare) {
    std::vector<Measure> runs;
    for (int i = 0; i < kRunsPerFigure; ++i) {
        if (prepare)
            prepare();
        std::optional<Measure> run = once();
        if (!run)
            return std::nullopt;
        // A failed run is the figure: it is reported, not hidden by others.
        if (!run->started || run->exitCode != 0)
            return run;
        runs.push_back(*run);
    }
    std::sort(runs.begin(), runs.end(),
              [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
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
