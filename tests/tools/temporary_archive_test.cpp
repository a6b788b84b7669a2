// What a run of rkzip stopped or killed while it writes leaves in the job
// folder: a stopped run removes its temporary archive and its lock, a killed
// one's are removed by the next run into the folder, and what a run still
// going holds is left alone.

#include "tool_fixture.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kJob = "C:\\Backups\\Job";
const std::string kExclusions = "C:\\Backups\\Job\\excl.ini";
const std::string kBigList = "C:\\big.lst";
const std::string kSmallList = "C:\\small.lst";

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; at += sizeof(std::uint32_t)) {
        const auto value = static_cast<std::uint32_t>(random());
        std::memcpy(bytes.data() + at, &value, std::min(sizeof value, size - at));
    }
    return bytes;
}

class TemporaryArchive : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(Job());
        WriteLines(Job() / "excl.ini", {"*.tmp"});
        WriteLines(C("big.lst"), {"C:\\Big\\*.*"});
        WriteLines(C("small.lst"), {"C:\\Small\\*.*"});
        sandbox.write(C("Small/a.txt"), "a");
    }

    fs::path Job() const { return C("Backups/Job"); }
    fs::path Lock(const std::string& archiveName) const {
        return Job() / (".rkzip-state-lock." + archiveName);
    }

    // Random data that deflate works on for a while and gains nothing from.
    void WriteBigTree() const {
        for (unsigned i = 0; i < 8; ++i)
            sandbox.write(C("Big/part" + std::to_string(i) + ".bin"),
                          RandomBytes(8u << 20, 11 + i));
    }

    // The names in the job folder that start with "<archive>.".
    Names TemporariesOf(const std::string& archiveName) const {
        Names names;
        for (const auto& entry : fs::directory_iterator(Job())) {
            const std::string name = entry.path().filename().string();
            if (name.size() > archiveName.size() + 1 && name.rfind(archiveName + ".", 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    // Starts a root backup of the big tree into the job folder, without
    // waiting for it.
    pid_t StartBackup(const std::string& archiveName) const {
        return Start("rkzip", {"-a+", "-P", "-r", "-whs", "-yp", "-^^", "-x@" + kExclusions,
                               kJob + "\\" + archiveName, "@" + kBigList});
    }

    // Waits until the run's temporary archive shows in the job folder. False
    // (the run ended or killed) when the run ends first.
    bool WaitForTemporary(pid_t pid, const std::string& archiveName) const {
        if (pid < 0)
            return false;
        // Only against a run that hangs; never reached by a working one.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!TemporariesOf(archiveName).empty())
                return true;
            if (waitpid(pid, nullptr, WNOHANG) == pid)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }
};

TEST_F(TemporaryArchive, StoppedRunRemovesItsTemporaryArchiveAndLock) {
    WriteBigTree();
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(number));
        const std::string name = "rk_stopped_" + std::to_string(number) + ".zip";
        const pid_t run = StartBackup(name);
        ASSERT_TRUE(WaitForTemporary(run, name));
        kill(run, number);
        int status = 0;
        ASSERT_EQ(waitpid(run, &status, 0), run);
        EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == number) ||
                    (WIFEXITED(status) && WEXITSTATUS(status) == 128 + number))
            << "status " << status;
        EXPECT_EQ(TemporariesOf(name), Names{});
        EXPECT_FALSE(fs::exists(fs::symlink_status(Lock(name))));
        EXPECT_FALSE(fs::exists(Job() / name));
    }
}

TEST_F(TemporaryArchive, KilledRunsLeftoversRemovedByTheNextRun) {
    WriteBigTree();
    const std::string killed = "rk_killed.zip";
    const pid_t run = StartBackup(killed);
    ASSERT_TRUE(WaitForTemporary(run, killed));
    kill(run, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(TemporariesOf(killed).empty());
    EXPECT_TRUE(fs::exists(Lock(killed)));
    EXPECT_FALSE(fs::exists(Job() / killed));

    // The next run into the folder, writing another archive, clears them.
    const RunResult next = Backup("-a+", kJob + "\\rk_next.zip", kExclusions, kSmallList);
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_TRUE(IsSound(Job() / "rk_next.zip"));
    EXPECT_EQ(NamesIn(Job() / "rk_next.zip"), Names{"Small/a.txt"});
    EXPECT_EQ(TemporariesOf(killed), Names{});
    EXPECT_FALSE(fs::exists(fs::symlink_status(Lock(killed))));
    EXPECT_EQ(TemporariesOf("rk_next.zip"), Names{});
    EXPECT_FALSE(fs::exists(fs::symlink_status(Lock("rk_next.zip"))));
}

TEST_F(TemporaryArchive, OnlyLeftoversOfEndedRunsAreRemoved) {
    // A run still writing rk_x.zip (the test stands in for it): its lock is
    // held and its temporary archive there.
    const int held = open(Lock("rk_x.zip").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    sandbox.write(Job() / "rk_x.zip.AbCdEf", "partial");

    // A killed run's: no one holds its lock. Only its temporary archive goes,
    // never a name that merely looks like one, a folder or a link.
    sandbox.write(Lock("rk_y.zip"), "");
    sandbox.write(Job() / "rk_y.zip.AbCdEf", "partial");
    const Names kept{"rk_y.zip.AbCdE", "rk_y.zip.AbCdEfG", "rk_y.zip.Ab-dEf", "rk_y.zipXAbCdEf",
                     "rk_y.zip.AbCdEf.zip"};
    for (const auto& name : kept)
        sandbox.write(Job() / name, "kept");
    fs::create_directory(Job() / "rk_y.zip.Folder");
    fs::create_symlink(C("Small/a.txt"), Job() / "rk_y.zip.Link01");

    // The run also reads the job folder: lock files are never stored.
    const RunResult run = Zip({"-a", "-P", "-r", "-whs", "-yp", "-^^", kJob + "\\rk_z.zip",
                               "C:\\Small\\*.*", kJob + "\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Names stored = NamesIn(Job() / "rk_z.zip");
    EXPECT_NE(std::find(stored.begin(), stored.end(), "Small/a.txt"), stored.end());
    for (const auto& name : stored)
        EXPECT_EQ(name.find(".rkzip-state-lock"), std::string::npos) << name;

    EXPECT_TRUE(fs::exists(Lock("rk_x.zip")));
    EXPECT_EQ(sandbox.read(Job() / "rk_x.zip.AbCdEf"), "partial");
    EXPECT_FALSE(fs::exists(fs::symlink_status(Lock("rk_y.zip"))));
    EXPECT_FALSE(fs::exists(Job() / "rk_y.zip.AbCdEf"));
    for (const auto& name : kept)
        EXPECT_EQ(sandbox.read(Job() / name), "kept") << name;
    EXPECT_TRUE(fs::is_directory(Job() / "rk_y.zip.Folder"));
    EXPECT_TRUE(fs::is_symlink(Job() / "rk_y.zip.Link01"));
    EXPECT_EQ(sandbox.read(C("Small/a.txt")), "a");
    EXPECT_FALSE(fs::exists(fs::symlink_status(Lock("rk_z.zip"))));
    close(held);
}

} // namespace
} // namespace rk::test
