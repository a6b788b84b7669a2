// A job's copy over the real network path: rclone's own WebDAV server
// ("rclone serve webdav" on 127.0.0.1, a port it picks itself), started and
// stopped by PID, and the built program's windowless runs copying to it
// through a private rclone configuration: the runs' archives copied, a
// server stopped mid-copy caught up by the next run, consolidation and
// thinning deleting from the copy only once the replacement is there, a
// corrupted copy found by /verify, and a job brought back into an empty job
// store restoring every file exactly.

#include "core/program_values.h"
#include "engine/backup_run.h"
#include "engine/copy_record.h"
#include "engine/job.h"
#include "engine/job_archives.h"
#include "engine/job_copy.h"
#include "engine/keep_policy.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "restore/run/restore_run.h"
#include "restore/silent_run.h"
#include "support/rclone_config.h"
#include "system_fixture.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <thread>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using Files = std::map<std::string, std::string>;

// Every file under `folder`, by its path inside it.
Files FilesUnder(const fs::path& folder, const Sandbox& box) {
    Files files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file())
            files[fs::relative(it->path(), folder).string()] = box.read(it->path());
    return files;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// "yyyy-mm-dd" of today, as "/c" takes it.
std::string TodayText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

class CopySystemTest : public SystemTest {
  protected:
    std::optional<PrivateRcloneConfig> rclone;
    StartedProcess server;
    fs::path served = box.root() / "served";
    fs::path serverLog = box.root() / "webdav.log";
    std::string port = "0";
    fs::path data = box.c() / "Data";
    std::string jobFolder;
    fs::path copy;

    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        if (!HaveRclone())
            GTEST_SKIP() << "rclone is not installed";
        rclone.emplace(box.root() / "rclone" / "rclone.conf");
        fs::create_directories(served);
        StartServer();
        InstallProgram();
        box.write(data / "a.txt", "alpha");
        box.write(data / "sub" / "b.bin", RandomBytes(100000, 1));
        AddJob("Docs", "C:\\Data");
        jobFolder = storeText + "\\Docs";
        copy = served / "jobs" / "Docs";
        ASSERT_TRUE(WriteCopyRemote(jobFolder, "dav:jobs/Docs"));
    }
    void TearDown() override {
        server.Stop();
        SystemTest::TearDown();
    }

    // The server on 127.0.0.1; the first start takes a free port, a restart
    // the same one, so the remote's address stays.
    void StartServer() {
        fs::remove(serverLog);
        ASSERT_EQ(server.Start({"/usr/bin/rclone", "serve", "webdav", "--addr", "127.0.0.1:" + port,
                                served.string()},
                               {{}, serverLog, {}}),
                  std::nullopt);
        std::string log;
        ASSERT_TRUE(Eventually(15s, [&] {
            log = box.read(serverLog);
            return !rk::test::ServedPort(log).empty();
        })) << log;
        port = rk::test::ServedPort(log);
        rclone->AddWebDavRemote("dav", "http://127.0.0.1:" + port + "/");
    }

    RunResult Rkbak(const std::string& argument, const std::vector<std::string>& env = {}) {
        std::vector<std::string> all = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                                        "RAVELKEEP_UNATTENDED=1"};
        all.insert(all.end(), env.begin(), env.end());
        return rk::test::Run({(program / "rkbak").string(), argument}, all);
    }
    std::vector<std::string> LocalArchives() const {
        std::vector<std::string> names;
        for (const fs::path& archive : Archives("Docs"))
            names.push_back(archive.filename().string());
        return names;
    }
    std::vector<std::string> CopiedArchives() const {
        std::vector<std::string> names;
        for (const std::string& name : Names(copy))
            if (name.rfind("rk_", 0) == 0)
                names.push_back(name);
        return names;
    }
    // Archive names carry the second of their run.
    static void NextSecond() { std::this_thread::sleep_for(1100ms); }
    void ExpectCopyHoldsTheArchives() const {
        ASSERT_EQ(CopiedArchives(), LocalArchives());
        for (const std::string& name : LocalArchives())
            EXPECT_EQ(box.read(copy / name), box.read(store / "Docs" / name)) << name;
        EXPECT_TRUE(box.read(copy / ".rkzip-state") == box.read(store / "Docs" / ".rkzip-state"))
            << "the record differs: " << box.read(copy / ".rkzip-state").size()
            << " bytes on the copy, " << box.read(store / "Docs" / ".rkzip-state").size()
            << " here";
    }
    Installation Installed() const {
        return {"C:\\Program Files\\rk\\", storeText + "\\", "C:\\Program Files\\rk\\rkzip",
                "C:\\Program Files\\rk\\rkunzip"};
    }
};

TEST_F(CopySystemTest, RootAndIncrementalRunsAreCopiedOverWebDav) {
    // The root backup as the window makes it: the run, then the copy.
    const Installation installation = Installed();
    const BackupOutcome root = RunBackup(installation, Job(installation, "Docs"), BackupMode::Root);
    ASSERT_EQ(root.status, RunStatus::Done) << root.reason;
    const CopyEnd copied = CopyJob(jobFolder, {}, std::time(nullptr));
    ASSERT_TRUE(copied.complete) << copied.reason;
    ExpectCopyHoldsTheArchives();

    NextSecond();
    box.write(data / "c.txt", "gamma");
    const RunResult incremental = Rkbak("/ib/Docs");
    EXPECT_EQ(incremental.exitCode, 0) << incremental.err;
    EXPECT_EQ(incremental.err.find("pending"), std::string::npos) << incremental.err;
    ASSERT_EQ(LocalArchives().size(), 2u);
    ExpectCopyHoldsTheArchives();
    EXPECT_EQ(box.read(copy / "rkjob.ini"), box.read(store / "Docs" / "rkjob.ini"));
    EXPECT_FALSE(ReadCopyRecord(jobFolder).pending());
}

TEST_F(CopySystemTest, AServerStoppedMidCopyLeavesTheCopyPendingAndTheNextRunCompletesIt) {
    box.write(data / "big.bin", RandomBytes(6'000'000, 2));
    StartedProcess run;
    const fs::path runLog = box.root() / "run.log";
    // Sent slowly, so the server can be stopped while the archive is on its way.
    ASSERT_EQ(run.Start({(program / "rkbak").string(), "/ib/Docs"},
                        {{"RCLONE_BWLIMIT=1M", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                          "RAVELKEEP_UNATTENDED=1"},
                         runLog,
                         {}}),
              std::nullopt);
    const fs::path incoming = served / "jobs" / ".rk-incoming-Docs";
    ASSERT_TRUE(Eventually(60s, [&] {
        for (const std::string& name : Names(incoming)) {
            std::error_code error;
            if (name.rfind("rk_", 0) == 0 && fs::file_size(incoming / name, error) > 0)
                return true;
        }
        return false;
    })) << box.read(runLog);
    server.Stop();
    const std::optional<int> exitCode = run.WaitForExit(120s);
    ASSERT_TRUE(exitCode) << box.read(runLog);
    const std::string err = box.read(runLog);
    EXPECT_EQ(*exitCode, 0) << "the backup was made: " << err;
    EXPECT_NE(err.find("rkbak: job \"Docs\": Copy to dav:jobs/Docs pending: "), std::string::npos)
        << err;
    EXPECT_EQ(LastOutcome("Docs"), "made");
    EXPECT_TRUE(CopiedArchives().empty());
    const CopyRecord pending = ReadCopyRecord(jobFolder);
    EXPECT_TRUE(pending.pending());
    EXPECT_FALSE(pending.pendingReason.empty());

    StartServer();
    NextSecond();
    box.write(data / "d.txt", "delta");
    const RunResult next = Rkbak("/ib/Docs");
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(next.err.find("pending"), std::string::npos) << next.err;
    ASSERT_EQ(LocalArchives().size(), 2u);
    ExpectCopyHoldsTheArchives();
    EXPECT_TRUE(Names(incoming).empty()) << "what the stopped send left is gone";
    EXPECT_FALSE(ReadCopyRecord(jobFolder).pending());
}

TEST_F(CopySystemTest, AConsolidationDeletesFromTheCopyOnlyOnceItsArchiveIsThere) {
    for (int run = 0; run < 3; ++run) {
        box.write(data / ("run" + std::to_string(run) + ".txt"), std::to_string(run));
        const RunResult made = Rkbak("/ib/Docs");
        ASSERT_EQ(made.exitCode, 0) << made.err;
        NextSecond();
    }
    const std::vector<std::string> before = LocalArchives();
    ASSERT_EQ(before.size(), 3u);
    ExpectCopyHoldsTheArchives();

    // The server is gone while the consolidation runs: the consolidated
    // archive cannot go, so the copy keeps the archives it replaces.
    server.Stop();
    const RunResult consolidated = Rkbak("/c/" + TodayText() + "/" + TodayText() + "/" + jobFolder);
    EXPECT_EQ(consolidated.exitCode, 0) << consolidated.err;
    EXPECT_NE(consolidated.err.find("Copy to dav:jobs/Docs pending: "), std::string::npos)
        << consolidated.err;
    ASSERT_EQ(LocalArchives().size(), 1u);
    EXPECT_EQ(CopiedArchives(), before);
    EXPECT_EQ(ReadCopyRecord(jobFolder).replaced, before);

    StartServer();
    NextSecond();
    const RunResult next = Rkbak("/ib/Docs");
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(next.err.find("pending"), std::string::npos) << next.err;
    ASSERT_EQ(LocalArchives().size(), 2u);
    ExpectCopyHoldsTheArchives();
    EXPECT_TRUE(ReadCopyRecord(jobFolder).replaced.empty());
}

TEST_F(CopySystemTest, AThinningDeletesFromTheCopyOnlyOnceItsArchiveIsThere) {
    // Archives of a day 40 days ago, made by the real zip utility.
    const auto day = std::chrono::year_month_day{
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()) -
        std::chrono::days{40}};
    std::vector<std::string> old;
    for (int hour : {1, 2, 3}) {
        char name[64];
        std::snprintf(name, sizeof name, "rk_%04d_%02u_%02u_%02d_00_00.zip",
                      static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                      static_cast<unsigned>(day.day()), hour);
        const fs::path staging = box.root() / "staging" / name;
        box.write(staging / "f.txt", "version " + std::to_string(hour));
        const RunResult made =
            rk::test::Run({(program / "rkzip").string(), "-a", "-p", "-r", "-^^",
                           platform::ToWindowsPath((store / "Docs" / name).string()),
                           platform::ToWindowsPath(staging.string()) + "\\*.*"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        old.emplace_back(name);
    }
    WriteKeepPolicy(Job(storeText + "\\", "Docs"), kProposedKeepPolicy);
    ASSERT_TRUE(CopyJob(jobFolder, {}, std::time(nullptr)).complete);
    EXPECT_EQ(CopiedArchives(), old);

    server.Stop();
    const RunResult thinned = Rkbak("/thin/Docs");
    EXPECT_EQ(thinned.exitCode, 0) << thinned.err;
    EXPECT_NE(thinned.err.find("Copy to dav:jobs/Docs pending: "), std::string::npos)
        << thinned.err;
    ASSERT_EQ(LocalArchives().size(), 1u);
    EXPECT_EQ(CopiedArchives(), old) << "nothing deleted before the replacement is there";

    StartServer();
    const RunResult next = Rkbak("/thin/Docs");
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(next.err.find("pending"), std::string::npos) << next.err;
    EXPECT_EQ(CopiedArchives(), LocalArchives());
    EXPECT_EQ(box.read(copy / LocalArchives().front()),
              box.read(store / "Docs" / LocalArchives().front()));
}

TEST_F(CopySystemTest, VerifyFindsACorruptedFileOfTheCopy) {
    const RunResult made = Rkbak("/ib/Docs");
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const RunResult sound = Rkbak("/verify/Docs");
    EXPECT_EQ(sound.exitCode, 0) << sound.err;

    const std::string archive = LocalArchives().front();
    std::string bytes = box.read(copy / archive);
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x20);
    box.write(copy / archive, bytes);
    const RunResult verified = Rkbak("/verify/Docs");
    EXPECT_EQ(verified.exitCode, 1) << verified.err;
    EXPECT_NE(verified.err.find("rkbak: job \"Docs\": the copy of the backup " + archive +
                                " on dav:jobs/Docs differs from the local file"),
              std::string::npos)
        << verified.err;
}

TEST_F(CopySystemTest, AJobBroughtBackIntoAnEmptyJobStoreRestoresEveryFileExactly) {
    ASSERT_EQ(Rkbak("/ib/Docs").exitCode, 0);
    NextSecond();
    box.write(data / "a.txt", "alpha, changed");
    box.write(data / "new" / "c.bin", RandomBytes(50000, 3));
    ASSERT_EQ(Rkbak("/ib/Docs").exitCode, 0);
    const Files original = FilesUnder(data, box);

    // A new computer: the job store is empty.
    fs::rename(store, box.root() / "old-store");
    fs::create_directories(store);
    const Result<CopyTarget> jobs = CheckCopyTarget("dav:jobs");
    ASSERT_TRUE(jobs) << jobs.reason();
    const Result<std::vector<std::string>> listed = ListJobsOnCopy(*jobs);
    ASSERT_TRUE(listed) << listed.reason();
    EXPECT_EQ(*listed, std::vector<std::string>{"Docs"});
    const Result<void> fetched = FetchJob(*jobs, "Docs", storeText + "\\", {});
    ASSERT_TRUE(fetched) << fetched.reason();
    EXPECT_EQ(Names(store / "Docs"), Names(box.root() / "old-store" / "Docs"));

    // The ordinary restore of the whole range.
    restore::RestoreRequest request;
    request.silent = true;
    request.source = jobFolder;
    request.destination = "C:\\Restored";
    const std::time_t now = std::time(nullptr);
    const auto today =
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::from_time_t(now));
    request.startDay = std::chrono::year_month_day{today - std::chrono::days{1}};
    request.endDay = std::chrono::year_month_day{today + std::chrono::days{1}};
    request.startText = "start";
    request.endText = "end";
    request.action = ExtractAction::ExtractAll;
    request.archiveNames = JobArchiveNames(jobFolder);
    ASSERT_EQ(request.archiveNames.size(), 2u);
    NoProgress progress;
    restore::NoConversation conversation;
    restore::NoPicker picker;
    const restore::ExtractOutcome outcome =
        restore::RunRestore(Installed(), request, progress, conversation, picker);
    ASSERT_EQ(outcome.status, RunStatus::Done) << outcome.reason;
    const fs::path restored = box.c() / "Restored" / fs::path(request.archiveNames.back()).stem();
    EXPECT_EQ(FilesUnder(restored / "Data", box), original);

    // And the job goes on with incremental runs from the record it brought.
    NextSecond();
    box.write(data / "d.txt", "delta");
    const RunResult next = Rkbak("/ib/Docs");
    EXPECT_EQ(next.exitCode, 0) << next.err;
    ASSERT_EQ(LocalArchives().size(), 3u);
    EXPECT_EQ(ArchiveNames(store / "Docs" / LocalArchives().back()),
              std::vector<std::string>{"Data/d.txt"});
}

} // namespace
} // namespace rk::test
