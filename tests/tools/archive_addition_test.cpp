// Adding to an archive that exists (a second run in the same second, an
// existing consolidated archive, "-a" onto an archive): the rewritten archive
// is flushed to disk before it takes the archive's place and the folder is
// flushed after, what it holds reads back with Info-ZIP's unzip and 7-Zip, and
// a run stopped or killed on the way leaves the archive as it was.

#include "tool_fixture.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string kJob = "C:\\Backups\\Job";
const std::string kExclusions = "C:\\Backups\\Job\\excl.ini";
const std::string kArchiveName = "rk_2024_05_06_07_08_09.zip";
const std::string kArchive = kJob + "\\" + kArchiveName;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; at += sizeof(std::uint32_t)) {
        const auto value = static_cast<std::uint32_t>(random());
        std::memcpy(bytes.data() + at, &value, std::min(sizeof value, size - at));
    }
    return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The index of the first line at or after `from` holding every one of
// `parts`, or npos.
std::size_t FindLine(const std::vector<std::string>& lines, const std::vector<std::string>& parts,
                     std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (std::all_of(parts.begin(), parts.end(), [&](const std::string& part) {
                return lines[i].find(part) != std::string::npos;
            }))
            return i;
    }
    return std::string::npos;
}

class ArchiveAddition : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(Job());
        WriteLines(Job() / "excl.ini", {"*.tmp"});
        WriteLines(C("first.lst"), {"C:\\First\\*.*"});
        WriteLines(C("second.lst"), {"C:\\Second\\*.*"});
        WriteLines(C("big.lst"), {"C:\\Big\\*.*"});
        sandbox.write(C("First/a.txt"), "first a");
        sandbox.write(C("First/Deep/b.txt"), std::string(300000, 'b'));
        sandbox.write(C("Second/c.txt"), "second c");
        sandbox.write(C("Second/Deep/d.bin"), RandomBytes(3u << 20, 5));
    }

    fs::path Job() const { return C("Backups/Job"); }
    fs::path Archive() const { return Job() / kArchiveName; }

    // The names in the job folder that start with "<archive>.".
    Names Temporaries() const {
        Names names;
        for (const auto& entry : fs::directory_iterator(Job())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(kArchiveName + ".", 0) == 0)
                names.push_back(name);
        }
        return names;
    }

    // What unzip gives for one entry.
    std::string Entry(const std::string& name) const {
        return rk::test::Run({"/usr/bin/unzip", "-p", Archive().string(), name}).out;
    }

    bool SevenZipFindsSound() const {
        const RunResult tested = rk::test::Run({"/usr/bin/7zz", "t", Archive().string()});
        return tested.exitCode == 0 && tested.out.find("Everything is Ok") != std::string::npos;
    }

    // The first backup run of the second: the archive the second one adds to.
    void MakeFirstArchive() const {
        const RunResult first = Backup("-a+", kArchive, kExclusions, "C:\\first.lst");
        ASSERT_EQ(first.exitCode, 0) << first.err;
        ASSERT_EQ(NamesIn(Archive()), (Names{"First/Deep/b.txt", "First/a.txt"}));
    }

    // Waits until the run's temporary archive shows in the job folder. False
    // when the run ends first.
    bool WaitForTemporary(pid_t pid) const {
        if (pid < 0)
            return false;
        // Only against a run that hangs; never reached by a working one.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!Temporaries().empty())
                return true;
            if (waitpid(pid, nullptr, WNOHANG) == pid)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }

    // Random data that deflate works on for a while and gains nothing from.
    void WriteBigTree() const {
        for (unsigned i = 0; i < 8; ++i)
            sandbox.write(C("Big/part" + std::to_string(i) + ".bin"),
                          RandomBytes(8u << 20, 21 + i));
    }
};

TEST_F(ArchiveAddition, NewArchiveIsOnTheDiskBeforeItReplacesTheArchive) {
    const RunResult probe =
        rk::test::Run({"/usr/bin/strace", "-f", "-o", "/dev/null", "/bin/true"});
    if (probe.exitCode != 0 && probe.err.find("Operation not permitted") != std::string::npos)
        GTEST_SKIP() << "ptrace is not permitted here, so strace cannot watch rkzip: " << probe.err;
    ASSERT_EQ(probe.exitCode, 0) << "strace (the Debian package strace) is needed: " << probe.err;
    MakeFirstArchive();

    const fs::path trace = sandbox.root() / "add.trace";
    // LeakSanitizer cannot work under ptrace: in a sanitizer build the traced
    // rkzip checks for leaks only where it runs untraced.
    std::vector<std::string> command{"/usr/bin/strace",
                                     "-f",
                                     "-y",
                                     "-E",
                                     "ASAN_OPTIONS=detect_leaks=0",
                                     "-e",
                                     "trace=fsync,fdatasync,rename,renameat,renameat2",
                                     "-o",
                                     trace.string(),
                                     (ProgramDir() / "rkzip").string(),
                                     "-a+",
                                     "-P",
                                     "-r",
                                     "-whs",
                                     "-yp",
                                     "-^^",
                                     "-x@" + kExclusions,
                                     kArchive,
                                     "@C:\\second.lst"};
    const RunResult added = rk::test::Run(command);
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const std::vector<std::string> lines = Lines(sandbox.read(trace));
    SCOPED_TRACE(sandbox.read(trace));

    // The one rename onto the archive's name, from its temporary archive.
    const std::string target = "\"" + Archive().string() + "\")";
    const std::size_t renamed = FindLine(lines, {"rename", target, "= 0"});
    ASSERT_NE(renamed, std::string::npos);
    EXPECT_EQ(FindLine(lines, {"rename", target}, renamed + 1), std::string::npos);
    const std::string prefix = "\"" + Archive().string() + ".";
    const std::size_t from = lines[renamed].find(prefix);
    ASSERT_NE(from, std::string::npos);
    const std::size_t end = lines[renamed].find('"', from + prefix.size());
    ASSERT_NE(end, std::string::npos);
    const std::string temporary = lines[renamed].substr(from + 1, end - from - 1);
    EXPECT_EQ(temporary.size(), Archive().string().size() + 7) << temporary;

    // Flushed under its temporary name before the rename, the folder after.
    const std::size_t fileFlushed = FindLine(lines, {"fsync(", "<" + temporary + ">"});
    ASSERT_NE(fileFlushed, std::string::npos);
    EXPECT_LT(fileFlushed, renamed);
    EXPECT_NE(FindLine(lines, {"fsync(", "<" + Job().string() + ">"}, renamed + 1),
              std::string::npos);

    EXPECT_TRUE(IsSound(Archive()));
    EXPECT_TRUE(SevenZipFindsSound());
    EXPECT_EQ(NamesIn(Archive()),
              (Names{"First/Deep/b.txt", "First/a.txt", "Second/Deep/d.bin", "Second/c.txt"}));
    EXPECT_EQ(Temporaries(), Names{});
}

TEST_F(ArchiveAddition, AddedArchiveReadsBackWholeAndKeepsItsMode) {
    MakeFirstArchive();
    ASSERT_EQ(chmod(Archive().c_str(), 0640), 0);
    // A file added again replaces its entry; the others are kept as they were.
    sandbox.write(C("First/a.txt"), "first a, changed");
    fs::create_symlink("a.txt", C("Second/link"));
    const RunResult added = Zip(
        {"-a", "-P", "-r", "-whs", "-yp", "-^^", kArchive, "C:\\First\\a.txt", "C:\\Second\\*.*"});
    ASSERT_EQ(added.exitCode, 0) << added.err;

    EXPECT_TRUE(IsSound(Archive()));
    EXPECT_TRUE(SevenZipFindsSound());
    EXPECT_EQ(NamesIn(Archive()), (Names{"First/Deep/b.txt", "First/a.txt", "Second/Deep/d.bin",
                                         "Second/c.txt", "Second/link"}));
    EXPECT_EQ(Entry("First/a.txt"), "first a, changed");
    EXPECT_EQ(Entry("First/Deep/b.txt"), std::string(300000, 'b'));
    EXPECT_EQ(Entry("Second/Deep/d.bin"), RandomBytes(3u << 20, 5));
    EXPECT_EQ(Entry("Second/link"), "a.txt");
    struct stat info {};
    ASSERT_EQ(stat(Archive().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Temporaries(), Names{});
    EXPECT_FALSE(fs::exists(fs::symlink_status(Job() / (".rkzip-state-lock." + kArchiveName))));

    // rkunzip reads every entry back as stored.
    const RunResult restored =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", kArchive, "C:\\Restored\\"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(sandbox.read(C("Restored/First/a.txt")), "first a, changed");
    EXPECT_EQ(sandbox.read(C("Restored/Second/Deep/d.bin")), RandomBytes(3u << 20, 5));
}

TEST_F(ArchiveAddition, KilledAddLeavesTheArchiveAsItWas) {
    MakeFirstArchive();
    WriteBigTree();
    const std::string before = sandbox.read(Archive());
    const pid_t run = Start("rkzip", {"-a+", "-P", "-r", "-whs", "-yp", "-^^", "-x@" + kExclusions,
                                      kArchive, "@C:\\big.lst"});
    ASSERT_TRUE(WaitForTemporary(run));
    kill(run, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(sandbox.read(Archive()), before);
    EXPECT_TRUE(IsSound(Archive()));
    EXPECT_FALSE(Temporaries().empty());

    // The next run onto the archive removes the leftover and adds its files.
    const RunResult next = Backup("-a+", kArchive, kExclusions, "C:\\second.lst");
    ASSERT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(Temporaries(), Names{});
    EXPECT_TRUE(IsSound(Archive()));
    EXPECT_TRUE(SevenZipFindsSound());
    EXPECT_EQ(NamesIn(Archive()),
              (Names{"First/Deep/b.txt", "First/a.txt", "Second/Deep/d.bin", "Second/c.txt"}));
}

TEST_F(ArchiveAddition, StoppedAddRemovesItsTemporaryAndKeepsTheArchive) {
    MakeFirstArchive();
    WriteBigTree();
    const std::string before = sandbox.read(Archive());
    const pid_t run = Start("rkzip", {"-a+", "-P", "-r", "-whs", "-yp", "-^^", "-x@" + kExclusions,
                                      kArchive, "@C:\\big.lst"});
    ASSERT_TRUE(WaitForTemporary(run));
    kill(run, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTERM))
        << "status " << status;
    EXPECT_EQ(Temporaries(), Names{});
    EXPECT_EQ(sandbox.read(Archive()), before);
    EXPECT_FALSE(fs::exists(fs::symlink_status(Job() / (".rkzip-state-lock." + kArchiveName))));
}

} // namespace
} // namespace rk::test
