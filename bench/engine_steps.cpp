#include "engine_steps.h"

#include "backup_steps.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace rk::bench {

namespace fs = std::filesystem;

namespace {

enum Task { kFirst, kIncremental, kRestore, kPick, kTaskCount };

// One engine's commands for each task; each runs in the folder given, and
// gives its measure, or nothing when the engine is not installed.
struct Engine {
    std::string name;
    std::optional<std::string> tool;
    // Makes an empty repository (untimed).
    std::function<void()> start;
    std::array<std::function<std::optional<Measure>()>, kTaskCount> tasks;
    fs::path repository;
};

// Bytes of the files below `folder`, each inode counted once (rsync's
// snapshots share unchanged files through hard links).
std::uint64_t StoredBytes(const fs::path& folder) {
    std::uint64_t total = 0;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat info {};
        if (lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (seen.insert({info.st_dev, info.st_ino}).second)
            total += static_cast<std::uint64_t>(info.st_size);
    }
    return total;
}

std::string MegabytesText(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1048576.0);
    return text;
}

void Fresh(const fs::path& folder) {
    fs::remove_all(folder);
    fs::create_directories(folder);
}

std::vector<Engine> MakeEngines(const Tools& tools, const Layout& layout, const std::string& source,
                                const std::string& picked) {
    const fs::path top = layout.host("Engines");
    const fs::path home = layout.host(source);
    const fs::path restored = top / "restored";
    const fs::path pickedTo = top / "picked";
    std::vector<Engine> engines;

    Engine ours;
    ours.name = "Ravelkeep";
    ours.tool = tools.rkzip;
    ours.repository = layout.host("EngineJob");
    ours.start = [&layout, source, repository = ours.repository] {
        fs::remove_all(repository);
        PrepareJob(layout, "EngineJob", source);
    };
    const auto unzipArguments = [](const std::string& archive, std::vector<std::string> names,
                                   const std::string& destination) {
        std::vector<std::string> args = {"-d",  "-Jhrs", "-o-",
                                         "-yo", "-^^",   Layout::windows(archive)};
        args.insert(args.end(), names.begin(), names.end());
        args.push_back(Layout::windows(destination) + "\\");
        return args;
    };
    ours.tasks[kFirst] = [&tools] {
        return Timed(tools.rkzip, BackupArguments("-a+", "EngineJob", "b01.zip"));
    };
    ours.tasks[kIncremental] = [&tools] {
        return Timed(tools.rkzip, BackupArguments("-i", "EngineJob", "b02.zip"));
    };
    // Newest first; what an older archive holds fills in what is missing.
    ours.tasks[kRestore] = [&tools, unzipArguments] {
        Measure total;
        for (const char* archive : {"EngineJob/b02.zip", "EngineJob/b01.zip"})
            Accumulate(total,
                       *Timed(tools.rkunzip, unzipArguments(archive, {}, "Engines/restored")));
        return std::optional<Measure>(total);
    };
    std::string pickedWindows = picked;
    std::replace(pickedWindows.begin(), pickedWindows.end(), '/', '\\');
    ours.tasks[kPick] = [&tools, unzipArguments, pickedWindows] {
        return Timed(tools.rkunzip,
                     unzipArguments("EngineJob/b02.zip", {pickedWindows}, "Engines/picked"));
    };
    engines.push_back(std::move(ours));

    Engine borg;
    borg.name = "borg";
    borg.tool = FindOnPath("borg");
    borg.repository = top / "borg";
    const std::string borgRepo = borg.repository.string();
    borg.start = [=, &layout, tool = borg.tool] {
        fs::remove_all(borgRepo);
        Timed(tool, {"init", "--encryption=none", borgRepo});
    };
    borg.tasks[kFirst] = [=, &layout, tool = borg.tool] {
        return Timed(tool, {"create", "--compression", "lz4", borgRepo + "::one", source},
                     layout.c);
    };
    borg.tasks[kIncremental] = [=, &layout, tool = borg.tool] {
        return Timed(tool, {"create", "--compression", "lz4", borgRepo + "::two", source},
                     layout.c);
    };
    borg.tasks[kRestore] = [=, &layout, tool = borg.tool] {
        return Timed(tool, {"extract", borgRepo + "::two"}, restored);
    };
    borg.tasks[kPick] = [=, &layout, tool = borg.tool] {
        return Timed(tool, {"extract", borgRepo + "::two", picked}, pickedTo);
    };
    engines.push_back(std::move(borg));

    Engine restic;
    restic.name = "restic";
    restic.tool = FindOnPath("restic");
    restic.repository = top / "restic";
    const std::string resticRepo = restic.repository.string();
    restic.start = [tool = restic.tool, resticRepo] {
        fs::remove_all(resticRepo);
        Timed(tool, {"-q", "-r", resticRepo, "init"});
    };
    for (const Task task : {kFirst, kIncremental})
        restic.tasks[task] = [=, &layout, tool = restic.tool] {
            return Timed(tool, {"-q", "-r", resticRepo, "backup", source}, layout.c);
        };
    restic.tasks[kRestore] = [=, &layout, tool = restic.tool] {
        return Timed(tool,
                     {"-q", "-r", resticRepo, "restore", "latest", "--target", restored.string()});
    };
    restic.tasks[kPick] = [=, &layout, tool = restic.tool] {
        return Timed(tool, {"-q", "-r", resticRepo, "restore", "latest", "--target",
                            pickedTo.string(), "--include", (layout.c / picked).string()});
    };
    engines.push_back(std::move(restic));

    Engine rsync;
    rsync.name = "rsync";
    rsync.tool = FindOnPath("rsync");
    rsync.repository = top / "rsync";
    const fs::path snapshots = rsync.repository;
    rsync.start = [snapshots] { Fresh(snapshots); };
    rsync.tasks[kFirst] = [tool = rsync.tool, home, snapshots] {
        return Timed(tool, {"-a", home.string() + "/", (snapshots / "one").string() + "/"});
    };
    rsync.tasks[kIncremental] = [tool = rsync.tool, home, snapshots] {
        return Timed(tool, {"-a", "--link-dest=" + (snapshots / "one").string(),
                            home.string() + "/", (snapshots / "two").string() + "/"});
    };
    rsync.tasks[kRestore] = [tool = rsync.tool, snapshots, restored] {
        return Timed(tool, {"-a", (snapshots / "two").string() + "/", restored.string() + "/"});
    };
    const std::string insideSource = fs::path(picked).lexically_relative(source).string();
    rsync.tasks[kPick] = [tool = rsync.tool, snapshots, pickedTo, insideSource] {
        return Timed(tool,
                     {"-a", (snapshots / "two" / insideSource).string(), pickedTo.string() + "/"});
    };
    engines.push_back(std::move(rsync));

    Engine duplicity;
    duplicity.name = "duplicity";
    duplicity.tool = FindOnPath("duplicity");
    duplicity.repository = top / "duplicity";
    const std::string url = "file://" + duplicity.repository.string();
    const std::string cache = (top / "duplicity-cache").string();
    duplicity.start = [repository = duplicity.repository, cache] {
        Fresh(repository);
        fs::remove_all(cache);
    };
    const std::vector<std::string> plain = {"--no-encryption", "--archive-dir", cache};
    const auto with = [plain](std::vector<std::string> args) {
        args.insert(args.begin() + 1, plain.begin(), plain.end());
        return args;
    };
    duplicity.tasks[kFirst] = [tool = duplicity.tool, with, home, url] {
        return Timed(tool, with({"full", home.string(), url}));
    };
    duplicity.tasks[kIncremental] = [tool = duplicity.tool, with, home, url] {
        return Timed(tool, with({"incremental", home.string(), url}));
    };
    duplicity.tasks[kRestore] = [tool = duplicity.tool, with, url, restored] {
        return Timed(tool, with({"restore", url, (restored / "tree").string()}));
    };
    duplicity.tasks[kPick] = [tool = duplicity.tool, with, url, pickedTo, insideSource] {
        return Timed(tool, with({"restore", "--file-to-restore", insideSource, url,
                                 (pickedTo / "file").string()}));
    };
    engines.push_back(std::move(duplicity));
    return engines;
}

// The fastest peer's time against Ravelkeep's, and whether Ravelkeep leads.
void SetLead(TableRow& row, const std::optional<Measure>& ours,
             const std::vector<std::optional<Measure>>& peers, const std::vector<Engine>& engines) {
    std::optional<std::size_t> fastest;
    for (std::size_t e = 1; e < peers.size(); ++e)
        if (peers[e] && peers[e]->started && peers[e]->exitCode == 0 &&
            (!fastest || peers[e]->seconds < peers[*fastest]->seconds))
            fastest = e;
    if (!fastest || !ours || !ours->started || ours->exitCode != 0 || ours->seconds <= 0)
        return;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f x %s", peers[*fastest]->seconds / ours->seconds,
                  engines[*fastest].name.c_str());
    row.ratio = text;
    row.target = "> 1";
    row.verdict = peers[*fastest]->seconds > ours->seconds ? "leads" : "MISSED";
}

} // namespace

std::array<std::string, kColumnCount> EngineHeadings() {
    return {"Ravelkeep", "borg (lz4)", "restic", "rsync --link-dest", "duplicity"};
}

std::vector<TableRow> EngineRows(const Tools& tools, const Layout& layout,
                                 const std::string& source, const std::vector<fs::path>& files,
                                 std::size_t changes) {
    // Passwords and caches of the engines stay in the sandbox; restic always
    // encrypts, so it is given a key of the benchmark's own.
    setenv("RESTIC_PASSWORD", "rk-bench", 1);
    setenv("RESTIC_CACHE_DIR", layout.host("Engines/restic-cache").c_str(), 1);
    setenv("BORG_BASE_DIR", layout.host("Engines/borg-base").c_str(), 1);
    setenv("BORG_UNKNOWN_UNENCRYPTED_REPO_ACCESS_IS_OK", "yes", 1);
    setenv("BORG_RELOCATED_REPO_ACCESS_IS_OK", "yes", 1);
    fs::create_directories(layout.host("Engines"));

    // The file picked is one the incremental run changed, so the newest
    // backup holds it.
    const fs::path& pickedPath = files[(kRunsPerFigure * 7919u) % files.size()];
    const std::string picked = pickedPath.lexically_relative(layout.c).string();
    std::vector<Engine> engines = MakeEngines(tools, layout, source, picked);

    // Each round starts every engine from an empty repository; the median
    // round of each task is shown.
    std::vector<std::array<std::vector<Measure>, kTaskCount>> runs(engines.size());
    std::vector<std::array<std::optional<Measure>, kTaskCount>> failures(engines.size());
    std::vector<std::uint64_t> sizes(engines.size(), 0);
    for (int round = 0; round < kRunsPerFigure; ++round) {
        for (std::size_t e = 0; e < engines.size(); ++e) {
            Engine& engine = engines[e];
            if (!engine.tool)
                continue;
            Progress("engines, round " + std::to_string(round + 1) + ": " + engine.name);
            engine.start();
            for (int task = 0; task < kTaskCount; ++task) {
                if (task == kIncremental)
                    ChangeFiles(files, changes, static_cast<unsigned>(kRunsPerFigure));
                if (task == kRestore)
                    Fresh(layout.host("Engines/restored"));
                if (task == kPick)
                    Fresh(layout.host("Engines/picked"));
                const std::optional<Measure> run = engine.tasks[task]();
                ReportFailure(engine.name, run);
                if (!run)
                    continue;
                if (!run->started || run->exitCode != 0)
                    failures[e][task] = run;
                else
                    runs[e][task].push_back(*run);
            }
            sizes[e] = StoredBytes(engine.repository);
        }
    }
    const auto median = [&](std::size_t e, int task) -> std::optional<Measure> {
        if (failures[e][task])
            return failures[e][task];
        auto list = runs[e][task];
        if (list.empty())
            return std::nullopt;
        std::sort(list.begin(), list.end(),
                  [](const Measure& a, const Measure& b) { return a.seconds < b.seconds; });
        return list[list.size() / 2];
    };

    const std::array<std::string, kTaskCount> labels = {
        "first backup", "incremental, " + std::to_string(changes) + " changed",
        "full restore of the newest", "one file picked from the newest"};
    std::vector<TableRow> rows;
    for (int task = 0; task < kTaskCount; ++task) {
        TableRow row;
        row.task = labels[task];
        std::vector<std::optional<Measure>> measures;
        for (std::size_t e = 0; e < engines.size() && e < kColumnCount; ++e) {
            measures.push_back(median(e, task));
            row.cells[e] = Cell(engines[e].tool, measures.back());
        }
        SetLead(row, measures[0], measures, engines);
        rows.push_back(row);
        // A backup's memory stays bounded however large the tree's files.
        if (task == kFirst)
            rows.push_back(MemoryLimitRow("  memory of that backup", measures[0], 120));
    }
    TableRow size;
    size.task = "  repository size";
    for (std::size_t e = 0; e < engines.size() && e < kColumnCount; ++e)
        size.cells[e] = engines[e].tool ? MegabytesText(sizes[e]) : kNotInstalled;
    rows.push_back(size);

    // The floors: reading every file, and writing and flushing the same
    // bytes (a copy of the tree, then sync).
    TableRow reading;
    reading.task = "floor: read every file";
    const auto cat = MedianRun([&] {
        return Timed(tools.find, {source, "-type", "f", "-exec", "cat", "{}", "+"}, layout.c);
    });
    reading.cells = {CellText(cat), "-", "-", "-", "-"};
    rows.push_back(reading);
    TableRow writing;
    writing.task = "floor: write and fsync it";
    const auto copy = FindOnPath("cp");
    const auto sync = FindOnPath("sync");
    const auto written = MedianRun(
        [&]() -> std::optional<Measure> {
            auto run = Timed(copy, {"-a", source, "Engines/floor"}, layout.c);
            if (!run)
                return std::nullopt;
            // Run directly: Timed() would flush the copy before timing sync.
            if (sync)
                Accumulate(*run, RunMeasured({*sync}));
            return run;
        },
        [&] { fs::remove_all(layout.host("Engines/floor")); });
    writing.cells = {CellText(written), "-", "-", "-", "-"};
    rows.push_back(writing);
    fs::remove_all(layout.host("Engines/floor"));
    return rows;
}

} // namespace rk::bench
