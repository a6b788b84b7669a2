// What a run of rkunzip stopped or killed while it writes leaves in the
// destination: a stopped run removes the file it was writing (and any
// temporary name), a killed one leaves its file marked unfinished (an
// extended attribute), and the next run writes that file again instead of
// keeping it. A marked file that a living run is writing, one too large to be
// a part of the entry, and a user's file without the mark (the sticky bit
// set or not) are kept. The temporary files a killed run left go with the
// next run that writes into their folder.

#include "tool_fixture.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

// Long enough to write that a stop lands while it is being written.
constexpr std::size_t kBigSize = 96u << 20;

std::string BigContent() {
    std::string content(kBigSize, '\0');
    for (std::size_t at = 0; at < content.size(); at += 4096)
        content[at] = static_cast<char>('a' + at / 4096 % 26);
    return content;
}

void AddEntry(zip_t* archive, const std::string& name, const std::string& content) {
    void* copy = std::malloc(content.size());
    std::memcpy(copy, content.data(), content.size());
    zip_source_t* source = zip_source_buffer(archive, copy, content.size(), 1);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, 0);
    ASSERT_GE(index, 0) << name;
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
}

class StoppedRestore : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(C("Backups"));
        int error = 0;
        zip_t* archive = zip_open(C("Backups/a.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        ASSERT_NE(archive, nullptr);
        AddEntry(archive, "Data/first.txt", "first");
        AddEntry(archive, "Data/big.bin", BigContent());
        AddEntry(archive, "Data/last.txt", "last");
        ASSERT_EQ(zip_close(archive), 0);
    }

    pid_t StartRestore(const std::string& folder, bool replace) const {
        return Start("rkunzip", {"-d", "-Jhrs", replace ? "-o" : "-o-", "-yo", "-^^",
                                 "C:\\Backups\\a.zip", "C:\\" + folder + "\\"});
    }

    // The name being written in `folder`/Data: "big.bin" itself or a
    // temporary name.
    static bool Writing(const fs::path& data, bool temporary) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(data, ec)) {
            const std::string name = entry.path().filename().string();
            if (temporary ? name.rfind(".rkunzip-", 0) == 0 : name == "big.bin")
                return true;
        }
        return false;
    }

    // Waits until the run writes big.bin (under a temporary name when
    // `temporary`). False when the run ends first.
    static bool WaitForBig(pid_t pid, const fs::path& data, bool temporary) {
        if (pid < 0)
            return false;
        // Only against a run that hangs; never reached by a working one.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Writing(data, temporary))
                return true;
            if (waitpid(pid, nullptr, WNOHANG) == pid)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return false;
    }

    // Stops the run with `number` and gives the signal that ended it (0 when
    // it ended by itself).
    static int StopWith(pid_t pid, int number) {
        kill(pid, number);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

    static void ExpectNoTemporaryNames(const fs::path& data) {
        for (const auto& entry : fs::directory_iterator(data))
            EXPECT_NE(entry.path().filename().string().rfind(".rkunzip-", 0), 0u) << entry.path();
    }

    // The unfinished mark rkunzip puts on a file it is writing.
    static constexpr const char* kMark = "user.rkunzip.unfinished";

    static bool Marked(const fs::path& file) {
        return lgetxattr(file.c_str(), kMark, nullptr, 0) > 0;
    }

    static void Mark(const fs::path& file) {
        const std::string value = "rkunzip 1 0.0";
        ASSERT_EQ(setxattr(file.c_str(), kMark, value.data(), value.size(), 0), 0) << file;
    }

    static mode_t ModeOf(const fs::path& file) {
        struct stat info {};
        EXPECT_EQ(lstat(file.c_str(), &info), 0) << file;
        return info.st_mode;
    }
};

TEST_F(StoppedRestore, AStoppedRunLeavesNoPartOfTheFileItWasWriting) {
    const std::string big = BigContent();
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        const std::string folder = "Restore" + std::to_string(number);
        const fs::path data = C(folder + "/Data");
        const pid_t run = StartRestore(folder, false);
        ASSERT_TRUE(WaitForBig(run, data, false));
        EXPECT_EQ(StopWith(run, number), number);
        EXPECT_EQ(sandbox.read(data / "first.txt"), "first");
        // Either never there, or written whole before the stop came.
        if (fs::exists(data / "big.bin")) {
            EXPECT_FALSE(Marked(data / "big.bin"));
            EXPECT_TRUE(sandbox.read(data / "big.bin") == big);
        }
        ExpectNoTemporaryNames(data);
    }

    // Replacing: the file in place stays as it was, and the temporary file
    // the new content went to is removed.
    sandbox.write(C("Replace/Data/big.bin"), "in place before");
    const pid_t run = StartRestore("Replace", true);
    ASSERT_TRUE(WaitForBig(run, C("Replace/Data"), true));
    EXPECT_EQ(StopWith(run, SIGTERM), SIGTERM);
    const std::string after = sandbox.read(C("Replace/Data/big.bin"));
    EXPECT_TRUE(after == "in place before" || after == big);
    ExpectNoTemporaryNames(C("Replace/Data"));
}

TEST_F(StoppedRestore, WhatAKilledRunLeftHalfWrittenIsWrittenAgain) {
    const std::string big = BigContent();
    const fs::path data = C("Restore/Data");
    const pid_t run = StartRestore("Restore", false);
    ASSERT_TRUE(WaitForBig(run, data, false));
    ASSERT_EQ(StopWith(run, SIGKILL), SIGKILL);
    ASSERT_TRUE(fs::exists(data / "big.bin"));
    ASSERT_LT(fs::file_size(data / "big.bin"), kBigSize);
    EXPECT_TRUE(Marked(data / "big.bin"));
    // The folders the run made are still its owner's alone.
    EXPECT_EQ(ModeOf(data) & 07777, 0700u);
    EXPECT_EQ(ModeOf(C("Restore")) & 07777, 0700u);
    EXPECT_EQ(ModeOf(data / "big.bin") & 07777, 0600u);

    // Beside it: a marked file some living run holds, a marked file larger
    // than its entry, and an ordinary file, all kept.
    sandbox.write(C("Held/Data/big.bin"), "held by a living run");
    Mark(C("Held/Data/big.bin"));
    const int held = open(C("Held/Data/big.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    sandbox.write(C("Larger/Data/first.txt"), "larger than the entry");
    Mark(C("Larger/Data/first.txt"));
    sandbox.write(C("Larger/Data/last.txt"), "la");
    // A user's own files with the sticky bit, smaller than their entries:
    // no mark, so never replaced.
    sandbox.write(C("Sticky/Data/first.txt"), "mine");
    sandbox.write(C("Sticky/Data/big.bin"), "my own");
    for (const char* name : {"first.txt", "big.bin"})
        ASSERT_EQ(chmod(C("Sticky/Data/" + std::string(name)).c_str(), S_ISVTX | 0644), 0);

    // A marked file is taken for a killed run's only once it is a second old.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    for (const std::string folder : {"Restore", "Held", "Larger", "Sticky"}) {
        const RunResult again = Unzip(
            {"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\" + folder + "\\"});
        EXPECT_EQ(again.exitCode, 0) << again.err;
    }
    close(held);

    EXPECT_TRUE(sandbox.read(data / "big.bin") == big);
    // Finished files never keep the mark.
    for (const char* name : {"first.txt", "big.bin", "last.txt"}) {
        EXPECT_FALSE(Marked(data / name)) << name;
        EXPECT_EQ(ModeOf(data / name), ModeOf(data / "first.txt")) << name;
    }
    EXPECT_EQ(sandbox.read(C("Held/Data/big.bin")), "held by a living run");
    EXPECT_EQ(sandbox.read(C("Larger/Data/first.txt")), "larger than the entry");
    EXPECT_EQ(sandbox.read(C("Larger/Data/last.txt")), "la");
    EXPECT_EQ(sandbox.read(C("Sticky/Data/first.txt")), "mine");
    EXPECT_EQ(sandbox.read(C("Sticky/Data/big.bin")), "my own");
    EXPECT_EQ(ModeOf(C("Sticky/Data/big.bin")) & 07777, S_ISVTX | 0644u);
    EXPECT_EQ(sandbox.read(C("Sticky/Data/last.txt")), "last");
    ExpectNoTemporaryNames(data);
}

// The temporary files a killed run left: gone after the next run that writes
// into their folder, whatever it replaces or keeps. Files that only look like
// them are kept: no mark, a link, a marked file a living run holds locked,
// another user's.
TEST_F(StoppedRestore, TheNextRunRemovesTheTemporaryFilesOfAKilledRun) {
    const std::string big = BigContent();
    const fs::path data = C("Restore/Data");
    sandbox.write(data / "big.bin", "in place before");
    const pid_t run = StartRestore("Restore", true);
    ASSERT_TRUE(WaitForBig(run, data, true));
    ASSERT_EQ(StopWith(run, SIGKILL), SIGKILL);
    std::vector<fs::path> killed;
    for (const auto& entry : fs::directory_iterator(data))
        if (entry.path().filename().string().rfind(".rkunzip-", 0) == 0)
            killed.push_back(entry.path());
    ASSERT_EQ(killed.size(), 1u);
    // Replacing, the content goes to a temporary file marked from the start.
    EXPECT_TRUE(Marked(killed[0]));
    EXPECT_EQ(sandbox.read(data / "big.bin"), "in place before");

    // What an earlier killed run left beside it, as a run that was killed
    // between making a new file and giving it its name leaves it.
    sandbox.write(data / ".rkunzip-4000000-0.tmp", "");
    Mark(data / ".rkunzip-4000000-0.tmp");
    sandbox.write(data / ".rkunzip-4000000-w1-3.tmp", "part");
    Mark(data / ".rkunzip-4000000-w1-3.tmp");
    // Look-alikes to keep.
    sandbox.write(data / ".rkunzip-4000000-2.tmp", "mine, no mark");
    sandbox.write(C("Restore/kept-target"), "a link's target");
    Mark(C("Restore/kept-target"));
    fs::create_symlink(C("Restore/kept-target"), data / ".rkunzip-4000000-3.tmp");
    sandbox.write(data / ".rkunzip-4000000-4.tmp", "held by a living run");
    Mark(data / ".rkunzip-4000000-4.tmp");
    const int held = open((data / ".rkunzip-4000000-4.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    sandbox.write(data / "notes.tmp", "marked, but not a temporary name");
    Mark(data / "notes.tmp");
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        sandbox.write(data / ".rkunzip-4000000-5.tmp", "another user's");
        Mark(data / ".rkunzip-4000000-5.tmp");
        ASSERT_EQ(chown((data / ".rkunzip-4000000-5.tmp").c_str(), 65534, 65534), 0);
    }

    // Keeping what exists: first.txt and big.bin are kept, last.txt (gone
    // with the killed run) is written, so the run adds to both folders.
    fs::remove(data / "last.txt");
    const RunResult again =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    close(held);

    EXPECT_FALSE(fs::exists(fs::symlink_status(killed[0])));
    EXPECT_FALSE(fs::exists(data / ".rkunzip-4000000-0.tmp"));
    EXPECT_FALSE(fs::exists(data / ".rkunzip-4000000-w1-3.tmp"));
    EXPECT_EQ(sandbox.read(data / ".rkunzip-4000000-2.tmp"), "mine, no mark");
    EXPECT_TRUE(fs::is_symlink(data / ".rkunzip-4000000-3.tmp"));
    EXPECT_EQ(sandbox.read(C("Restore/kept-target")), "a link's target");
    EXPECT_EQ(sandbox.read(data / ".rkunzip-4000000-4.tmp"), "held by a living run");
    EXPECT_EQ(sandbox.read(data / "notes.tmp"), "marked, but not a temporary name");
    if (asRoot) {
        EXPECT_EQ(sandbox.read(data / ".rkunzip-4000000-5.tmp"), "another user's");
    }
    EXPECT_EQ(sandbox.read(data / "big.bin"), "in place before");
    EXPECT_EQ(sandbox.read(data / "last.txt"), "last");

    // Replacing everything, the replaced files never keep the mark.
    const RunResult replacing =
        Unzip({"-d", "-Jhrs", "-o", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    EXPECT_EQ(replacing.exitCode, 0) << replacing.err;
    EXPECT_TRUE(sandbox.read(data / "big.bin") == big);
    for (const char* name : {"first.txt", "big.bin", "last.txt"})
        EXPECT_FALSE(Marked(data / name)) << name;
}

// A folder the next run only reads is left as it is: the run looks for
// leftovers only where it writes.
TEST_F(StoppedRestore, AFolderTheNextRunAddsNothingToIsNotLookedInto) {
    const RunResult first =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const fs::path left = C("Restore/Data/.rkunzip-4000000-0.tmp");
    sandbox.write(left, "");
    Mark(left);
    const RunResult keeping =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    EXPECT_EQ(keeping.exitCode, 0) << keeping.err;
    EXPECT_TRUE(fs::exists(left));
    fs::remove(C("Restore/Data/first.txt"));
    const RunResult adding =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    EXPECT_EQ(adding.exitCode, 0) << adding.err;
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(sandbox.read(C("Restore/Data/first.txt")), "first");
}

// The -@ listing's temporary file a killed run left beside the listing goes
// when the listing is written again; a look-alike without the mark stays.
TEST_F(StoppedRestore, TheListingsLeftoverIsRemovedWhenTheListingIsWrittenAgain) {
    const fs::path left = C(".names.txt.rkunzip-0123456789abcdef");
    sandbox.write(left, "Data/first.txt\r\n");
    Mark(left);
    const fs::path lookAlike = C(".names.txt.rkunzip-fedcba9876543210");
    sandbox.write(lookAlike, "mine");
    const RunResult listing = Unzip({"-@C:\\names.txt", "C:\\Backups\\a.zip"});
    EXPECT_EQ(listing.exitCode, 0) << listing.err;
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(sandbox.read(lookAlike), "mine");
    EXPECT_FALSE(Marked(C("names.txt")));
    EXPECT_NE(sandbox.read(C("names.txt")).find("big.bin"), std::string::npos);
}

} // namespace
} // namespace rk::test
