// Times rkzip and rkunzip against Info-ZIP's zip and unzip on one generated
// tree: a root backup, an incremental run with nothing changed, and a full
// extraction. Prints wall-clock seconds and archive sizes side by side.

#include "platform/drive_map.h"
#include "support/sandbox.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace fs = std::filesystem;
using rk::test::Run;

namespace {

// Wall-clock seconds of one run; `quiet` is an exit code that is not a
// failure (zip -u says 12 when there is nothing to do).
double Seconds(const std::vector<std::string>& args, const fs::path& folder = {}, int quiet = 0) {
    const auto start = std::chrono::steady_clock::now();
    const auto result = Run(args, {}, folder);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (result.exitCode != 0 && result.exitCode != quiet)
        std::fprintf(stderr, "%s exited %d: %s\n", args[0].c_str(), result.exitCode,
                     result.err.c_str());
    return took.count();
}

// Text-like files that deflate well and random ones that do not, in a few
// levels of folders.
void MakeTree(const fs::path& root, int files) {
    std::mt19937 random(42);
    const std::string words = "backup archive folder restore newest version job ";
    for (int i = 0; i < files; ++i) {
        const fs::path folder =
            root / ("d" + std::to_string(i % 17)) / ("e" + std::to_string(i % 5));
        fs::create_directories(folder);
        std::string content;
        const size_t size = 2000 + random() % 60000;
        if (i % 5 < 2) {
            for (size_t j = 0; j < size; ++j)
                content += static_cast<char>(random());
        } else {
            while (content.size() < size)
                content += words.substr(random() % 20, 25);
        }
        std::FILE* out = std::fopen((folder / ("f" + std::to_string(i) + ".dat")).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), out);
        std::fclose(out);
    }
}

} // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 4000;
    rk::test::Sandbox box;
    const fs::path data = box.c() / "Data";
    MakeTree(data, files);
    const fs::path program = rk::test::ProgramDir();
    const std::string rkzip = (program / "rkzip").string();
    const std::string rkunzip = (program / "rkunzip").string();
    fs::create_directories(box.c() / "Job");
    fs::create_directories(box.c() / "Peer");
    box.write(box.c() / "list.txt", "C:\\Data\\*.*\r\n");

    const double rkRoot = Seconds({rkzip, "-a+", "-P", "-r", "-whs", "-yp", "-^^",
                                   "-x@C:\\Job\\excl.ini", "C:\\Job\\root.zip", "@C:\\list.txt"});
    const double zipRoot = Seconds(
        {"/usr/bin/zip", "-q", "-r", (box.c() / "Peer" / "root.zip").string(), "Data"}, box.c());
    const double rkNone = Seconds({rkzip, "-i", "-P", "-r", "-whs", "-yp", "-^^",
                                   "-x@C:\\Job\\excl.ini", "C:\\Job\\inc.zip", "@C:\\list.txt"});
    const double zipNone = Seconds(
        {"/usr/bin/zip", "-q", "-r", "-u", (box.c() / "Peer" / "root.zip").string(), "Data"},
        box.c(), 12);
    const double rkOut =
        Seconds({rkunzip, "-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Job\\root.zip", "C:\\RkOut\\"});
    fs::create_directories(box.c() / "PeerOut");
    const double unzipOut =
        Seconds({"/usr/bin/unzip", "-q", "-n", (box.c() / "Peer" / "root.zip").string(), "-d",
                 (box.c() / "PeerOut").string()});

    std::printf("%d files\n", files);
    std::printf("%-34s %12s %12s\n", "", "Ravelkeep", "Info-ZIP");
    std::printf("%-34s %11.2fs %11.2fs\n", "root backup", rkRoot, zipRoot);
    std::printf("%-34s %11.2fs %11.2fs\n", "nothing changed (rkzip -i / zip -u)", rkNone, zipNone);
    std::printf("%-34s %11.2fs %11.2fs\n", "extract all", rkOut, unzipOut);
    std::printf("%-34s %11.1fM %11.1fM\n", "archive size",
                static_cast<double>(fs::file_size(box.c() / "Job" / "root.zip")) / 1048576.0,
                static_cast<double>(fs::file_size(box.c() / "Peer" / "root.zip")) / 1048576.0);
    return 0;
}
