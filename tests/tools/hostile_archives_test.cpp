// rkunzip against archives made to harm: sizes that lie, entries sharing
// their data, a size no file system holds, folder modes that would open a
// folder to everyone, and a link planted at the name of its listing file.

#include "raw_zip.h"
#include "tool_fixture.h"

#include <chrono>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

// Bytes that deflate does not shrink, so their packed form is as long.
std::string Incompressible(std::size_t size) {
    std::mt19937_64 random(28);
    std::string bytes(size, '\0');
    for (auto& byte : bytes)
        byte = static_cast<char>(random() & 0xff);
    return bytes;
}

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

mode_t UmaskNow() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

class HostileArchives : public ToolTest {
  protected:
    void Write(const std::string& name, const std::vector<RawEntry>& entries) {
        sandbox.write(C("Backups/" + name), RawZip(entries));
    }
    static std::string Windows(const std::string& name) { return "C:\\Backups\\" + name; }
    RunResult Restore(const std::string& name, const std::string& into) const {
        return Unzip({"-d", "-o-", Windows(name), "C:\\" + into + "\\"});
    }
    RunResult Test(const std::string& name) const { return Unzip({"-t", Windows(name)}); }
};

TEST_F(HostileArchives, DataLongerThanItsDeclaredSizeFailsTheEntryOnEveryPath) {
    // Packed larger than the entries taken out whole, and smaller.
    RawEntry large = UnixEntry("large.bin", Incompressible(3u << 20));
    large.deflate = true;
    large.declaredSize = 100;
    RawEntry small = UnixEntry("small.bin", std::string(3u << 20, 'z'));
    small.deflate = true;
    small.declaredSize = 100;
    RawEntry stored = UnixEntry("stored.bin", Incompressible(3u << 20));
    stored.declaredSize = 100;
    Write("lying.zip", {large, small, stored, UnixEntry("ok.txt", "ok")});

    const RunResult run = Restore("lying.zip", "R");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const char* name : {"large.bin", "small.bin", "stored.bin"}) {
        EXPECT_NE(run.err.find("'" + std::string(name) + "'"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(C("R/" + std::string(name)))) << name;
    }
    EXPECT_EQ(sandbox.read(C("R/ok.txt")), "ok");
    EXPECT_NE(run.err.find("runs past the size it declares (100 bytes)"), std::string::npos)
        << run.err;

    const RunResult tested = Test("lying.zip");
    EXPECT_EQ(tested.exitCode, 1);
    for (const char* name : {"large.bin", "small.bin", "stored.bin"})
        EXPECT_NE(tested.err.find("'" + std::string(name) + "'"), std::string::npos) << tested.err;
    EXPECT_EQ(tested.err.find("'ok.txt'"), std::string::npos) << tested.err;
}

TEST_F(HostileArchives, AnEntryInflatingFarBeyondItsSizeStopsThereAndFails) {
    // 100 bytes declared, 10 GiB in the stream.
    RawEntry bomb = UnixEntry("bomb.bin", std::string(100, '\0'));
    bomb.deflate = true;
    bomb.packed = RepeatedZerosStream(64u << 20, 160);
    ASSERT_GT(bomb.packed->size(), 1u << 20);
    Write("bomb.zip", {bomb, UnixEntry("after.txt", "after")});

    const auto started = std::chrono::steady_clock::now();
    const RunResult run = Restore("bomb.zip", "R");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("'bomb.bin'"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(C("R/bomb.bin")));
    EXPECT_EQ(sandbox.read(C("R/after.txt")), "after");
    const RunResult tested = Test("bomb.zip");
    EXPECT_EQ(tested.exitCode, 1);
    EXPECT_NE(tested.err.find("'bomb.bin'"), std::string::npos) << tested.err;
    // Inflating the whole stream takes far longer than stopping at once.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

TEST_F(HostileArchives, EntriesSharingTheirDataAreRefused) {
    // 200 names for one stream of 1 GiB of zeros.
    RawEntry first = UnixEntry("bomb000", std::string(100, '\0'));
    first.deflate = true;
    first.packed = RepeatedZerosStream(64u << 20, 16);
    std::vector<RawEntry> shared{first};
    for (int i = 1; i < 200; ++i) {
        RawEntry again = first;
        again.name = "bomb" + std::to_string(1000 + i).substr(1);
        again.sharesDataOf = 0;
        shared.push_back(again);
    }
    Write("shared.zip", shared);
    // One entry's packed size reaching over the next entry's header.
    RawEntry over = UnixEntry("a.txt", "aaaa");
    over.declaredPackedSize = 60;
    over.declaredSize = 4;
    Write("over.zip", {over, UnixEntry("b.txt", "bbbb")});

    for (const char* name : {"shared.zip", "over.zip"}) {
        SCOPED_TRACE(name);
        const auto started = std::chrono::steady_clock::now();
        const RunResult tested = Test(name);
        EXPECT_EQ(tested.exitCode, 3);
        EXPECT_NE(tested.err.find("overlapping entries"), std::string::npos) << tested.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
        const RunResult run = Restore(name, std::string("R") + name);
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_NE(run.err.find("overlapping entries"), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(C(std::string("R") + name + "/b.txt")));
        EXPECT_FALSE(fs::exists(C(std::string("R") + name + "/bomb000")));
    }
    // A sound archive of the same entries is read.
    Write("apart.zip", {UnixEntry("a.txt", "aaaa"), UnixEntry("b.txt", "bbbb")});
    EXPECT_EQ(Test("apart.zip").exitCode, 0);
}

TEST_F(HostileArchives, AFileLargerThanTheFreeSpaceStopsTheRestoreWithItsReason) {
    // A zip64 size of 1 PiB for a few bytes of data.
    RawEntry huge = UnixEntry("huge.bin", "tiny");
    huge.declaredSize = 0xffffffffu;
    const std::string zip64 = ExtraField(0x0001, LittleEndian(1ull << 50, 8));
    huge.localExtra = zip64;
    huge.centralExtra = zip64;
    Write("huge.zip", {UnixEntry("before.txt", "before"), huge, UnixEntry("later.txt", "later")});

    const RunResult run = Restore("huge.zip", "R");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("can't extract 'huge.bin': the restore stops here: its " +
                           std::to_string(1ull << 50) + " bytes would leave less than"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(sandbox.read(C("R/before.txt")), "before");
    EXPECT_FALSE(fs::exists(C("R/huge.bin")));
    EXPECT_FALSE(fs::exists(C("R/later.txt")));
}

TEST_F(HostileArchives, FolderModesAreMaskedAndNeverOpenToEveryone) {
    const mode_t mask = UmaskNow();
    Write("modes.zip", {UnixEntry("open/", "", S_IFDIR | 047777), UnixEntry("open/f.txt", "f"),
                        UnixEntry("setid/", "", S_IFDIR | 06750), UnixEntry("setid/g.txt", "g")});
    const RunResult run = Restore("modes.zip", "R");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ModeOf(C("R/open")), 0777 & ~(mask & S_IWOTH));
    EXPECT_EQ(ModeOf(C("R/setid")), 0750u);
    // The destination made by the run gets the mode of a new folder.
    EXPECT_EQ(ModeOf(C("R")), 0777 & ~mask);
    if ((mask & S_IWOTH) != 0) {
        EXPECT_EQ(ModeOf(C("R/open")) & S_IWOTH, 0u);
    }
}

TEST_F(HostileArchives, TheListingIsNeverWrittenThroughALinkNorOverAnotherUsersFile) {
    Write("names.zip", {UnixEntry("a.txt", "a"), UnixEntry("b.txt", "b")});
    sandbox.write(C("victim.txt"), "precious");
    fs::create_symlink(C("victim.txt"), C("listing.txt"));
    const RunResult planted = Unzip({"-@C:\\listing.txt", Windows("names.zip")});
    EXPECT_EQ(planted.exitCode, 3);
    EXPECT_NE(planted.err.find("symbolic link"), std::string::npos) << planted.err;
    EXPECT_EQ(sandbox.read(C("victim.txt")), "precious");
    EXPECT_TRUE(fs::is_symlink(C("listing.txt")));

    // The user's own earlier listing is replaced, private to the user, and
    // no other name is left beside it.
    sandbox.write(C("Lists/listing.txt"), "an older listing, longer than the new one");
    const RunResult own = Unzip({"-@C:\\Lists\\listing.txt", Windows("names.zip")});
    ASSERT_EQ(own.exitCode, 0) << own.err;
    EXPECT_EQ(sandbox.read(C("Lists/listing.txt")), "a.txt\r\nb.txt\r\n");
    EXPECT_EQ(ModeOf(C("Lists/listing.txt")), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(C("Lists")), fs::directory_iterator()), 1);

    // Another user's file at the name is left alone (only root can give
    // one away).
    if (geteuid() == 0) {
        sandbox.write(C("theirs.txt"), "theirs");
        ASSERT_EQ(chown(C("theirs.txt").c_str(), 65534, 65534), 0);
        const RunResult theirs = Unzip({"-@C:\\theirs.txt", Windows("names.zip")});
        EXPECT_EQ(theirs.exitCode, 3);
        EXPECT_NE(theirs.err.find("another user"), std::string::npos) << theirs.err;
        EXPECT_EQ(sandbox.read(C("theirs.txt")), "theirs");
    }
}

} // namespace
} // namespace rk::test
