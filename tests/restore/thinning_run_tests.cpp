// Thinning a job of real archives (made by the real rkzip, read back by the
// real rkunzip) spread over 14 months: what remains, what each kept point in
// time restores, a killed run, a full disk.

#include "engine/job.h"
#include "engine/last_thin.h"
#include "platform/clock.h"
#include "restore/thinning_run.h"
#include "restore_fixture.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// The restore of a range newest first: each file as the newest archive that
// holds it has it.
using State = Files;

std::string NameOf(sys_days day, int hour) {
    const CalendarDay date{day};
    char text[64];
    std::snprintf(text, sizeof text, "rk_%04d_%02u_%02u_%02d_00_00.zip",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), hour);
    return text;
}

// The time stamp part of an archive name, which orders kept points in time.
std::string Stamp(const std::string& name) {
    return name.substr(3, 19);
}

class ThinningRun : public RestoreFixture {
  protected:
    fs::path program = box.c() / "prog";
    CalendarDay today = restore::LocalToday();
    std::vector<std::string> made;     // the archives, oldest first
    std::map<std::string, Files> held; // what each holds

    void SetUp() override {
        RestoreFixture::SetUp();
        box.write(job / "rkjob.ini",
                  "[settings]\r\ncreated=today\r\n[keep]\r\ndays=2\r\nweeks=4\r\nmonths=6\r\n"
                  "years=-1\r\n");
    }

    // Archives every `step` days over 14 months up to today, and three a
    // day on the last four days. The first holds every file; each later one
    // two changed files; each content names its archive.
    void MakeArchives(int step) {
        std::vector<std::pair<sys_days, int>> when;
        const sys_days now{today};
        for (sys_days day = sys_days{CalendarDay{today} - months{14}}; day < now - days{3};
             day += days{step})
            when.push_back({day, 12});
        for (sys_days day = now - days{3}; day <= now; day += days{1})
            for (const int hour : {1, 2, 3})
                when.push_back({day, hour});
        for (std::size_t i = 0; i < when.size(); ++i) {
            const std::string name = NameOf(when[i].first, when[i].second);
            Files files;
            for (int f = 0; f < 10; ++f)
                if (i == 0 || f == static_cast<int>(i % 10) || f == static_cast<int>(i * 3 % 10))
                    files["dir" + std::to_string(f % 3) + "/f" + std::to_string(f) + ".txt"] =
                        name + " f" + std::to_string(f);
            MakeArchive(name, files);
            made.push_back(name);
            held[name] = files;
        }
    }

    // The state a newest-first restore of every archive up to the stamp gives,
    // from what the archives were made with.
    State ExpectedAt(const std::string& stamp) const {
        State state;
        for (const std::string& name : made)
            if (Stamp(name) <= stamp)
                for (const auto& [file, content] : held.at(name))
                    state[file] = content;
        return state;
    }

    // The same state from the archives now in the job folder, read back by
    // the real rkunzip: newest first, a file written once.
    std::map<std::string, State> ReadBack() const {
        std::map<std::string, State> contents;
        for (const std::string& name : JobArchives()) {
            const fs::path into = box.root() / "readback" / name;
            fs::create_directories(into);
            const RunResult run =
                rk::test::Run({(ProgramDir() / "rkunzip").string(), "-d", "-o-", "-^^",
                               platform::ToWindowsPath((job / name).string()),
                               platform::ToWindowsPath(into.string()) + "\\"});
            EXPECT_EQ(run.exitCode, 0) << run.err;
            contents[name] = FilesIn(into);
            fs::remove_all(into);
        }
        return contents;
    }
    static State RestoredAt(const std::map<std::string, State>& archives,
                            const std::string& stamp) {
        State state;
        for (auto it = archives.rbegin(); it != archives.rend(); ++it)
            if (Stamp(it->first) <= stamp)
                for (const auto& [file, content] : it->second)
                    state.emplace(file, content);
        return state;
    }

    // Every point in time the policy keeps restores as before thinning.
    void ExpectKeptPointsRestore(const std::vector<std::string>& keptPoints) const {
        const auto archives = ReadBack();
        for (const std::string& kept : keptPoints)
            EXPECT_EQ(RestoredAt(archives, Stamp(kept)), ExpectedAt(Stamp(kept))) << kept;
    }

    std::vector<std::string> PlannedRemaining() const {
        return PlanThinning(made, KeepPolicy{}, today).remaining;
    }

    bool ExtractionLeftBehind() const {
        for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
            if (entry.path().filename().string().rfind("rkthin", 0) == 0)
                return true;
        return false;
    }

    restore::ThinningEnd Thin() {
        return restore::ThinJob(CurrentInstallation(), Job(CurrentInstallation(), "Weekly Job"),
                                progress, today);
    }
};

TEST_F(ThinningRun, TheDefaultPolicyLeavesExactlyItsArchivesAndEveryKeptPointRestores) {
    MakeArchives(5);
    const std::vector<std::string> remaining = PlannedRemaining();
    ASSERT_LT(remaining.size(), made.size());
    const restore::ThinningEnd end = Thin();
    EXPECT_EQ(end.record.outcome, "thinned") << end.record.reason;
    EXPECT_EQ(JobArchives(), remaining);
    // The last two days are there as they were, every one of them.
    for (const std::string& name : made) {
        if (sys_days{*ArchiveDate(name)} > sys_days{today} - days{2}) {
            EXPECT_TRUE(fs::exists(job / name)) << name;
        }
    }
    ExpectKeptPointsRestore(remaining);
    EXPECT_FALSE(ExtractionLeftBehind());
    const std::optional<LastThin> record = ReadLastThin(Job(CurrentInstallation(), "Weekly Job"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->before, static_cast<long long>(made.size()));
    EXPECT_EQ(record->after, static_cast<long long>(remaining.size()));
    EXPECT_GT(record->bytesFreed, 0);
    // Thinned once, the job has nothing more to thin today.
    EXPECT_EQ(Thin().record.outcome, "nothing");
    EXPECT_EQ(JobArchives(), remaining);
}

TEST_F(ThinningRun, AJobWithoutAPolicyIsLeftAlone) {
    box.write(job / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
    MakeArchives(30);
    EXPECT_FALSE(Thin().hasPolicy);
    EXPECT_EQ(JobArchives(), made);
}

TEST_F(ThinningRun, AFullDiskDeletesNothing) {
    MakeArchives(20);
    // Every file any process of this run writes is cut at 64 bytes: the
    // extraction, the zip run and the check cannot complete.
    struct rlimit before {};
    getrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    const restore::ThinningEnd end = Thin();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(end.record.outcome, "failed");
    EXPECT_FALSE(end.record.reason.empty());
    EXPECT_EQ(JobArchives(), made);
    EXPECT_FALSE(ExtractionLeftBehind());
}

TEST_F(ThinningRun, AKillAtAnyPointLosesNoKeptPointInTime) {
    fs::create_directories(program);
    for (const char* file : {"rkbak", "rkzip", "rkunzip", "rkbak.hlp", "excl.txt"})
        if (fs::exists(ProgramDir() / file))
            fs::copy_file(ProgramDir() / file, program / file);
    box.write(program / "rkbak.ini", "[settings]\r\njobs=C:\\Backups\r\nziputil=C:\\prog\\rkzip"
                                     "\r\nunziputil=C:\\prog\\rkunzip\r\n"
                                     "UpgradePromptShown=-1\r\nautopromptshown=-1\r\n");
    MakeArchives(9);
    const std::vector<std::string> remaining = PlannedRemaining();
    const std::vector<std::string> argv = {(program / "rkbak").string(), "/thin/Weekly Job"};
    const std::vector<std::string> env = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen",
                                          "RAVELKEEP_UNATTENDED=1", "DBUS_SESSION_BUS_ADDRESS"};
    // The child's argument vector is made before any fork: the child only
    // sets its environment and runs the program.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 5; ++attempt) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (const std::string& name : env)
                if (name.find('=') == std::string::npos)
                    unsetenv(name.c_str());
                else
                    putenv(const_cast<char*>(name.c_str()));
            execv(args[0], args.data());
            _exit(127);
        }
        std::this_thread::sleep_for(
            milliseconds(std::uniform_int_distribution<int>(50, 1500)(random)));
        kill(child, SIGKILL);
        // A utility the run started finishes on its own (it comes to this
        // process, the subreaper): then the folder is looked at.
        int status = 0;
        while (waitpid(-1, &status, 0) > 0) {
        }
        ExpectKeptPointsRestore(remaining);
    }
    // The next run finishes the work and leaves no copy behind, also none
    // of the killed runs.
    const RunResult finished = rk::test::Run(argv, env);
    EXPECT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_EQ(JobArchives().size(), remaining.size());
    ExpectKeptPointsRestore(remaining);
    EXPECT_FALSE(ExtractionLeftBehind());
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

} // namespace
} // namespace rk::test
