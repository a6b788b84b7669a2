// rkunzip facing hostile and damaged archives, and files already in place.

#include "tool_fixture.h"

#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

struct Entry {
    std::string name;
    std::string content;
    bool link = false;
    // Made on DOS: "\\" separates and drive letters mean something.
    bool dos = false;
    bool stored = false; // else deflated
};

// Writes an archive with libzip holding exactly these entries.
void MakeArchive(const fs::path& path, const std::vector<Entry>& entries) {
    fs::create_directories(path.parent_path());
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& entry : entries) {
        // libzip takes a buffer to free only when it holds something.
        void* copy = nullptr;
        if (!entry.content.empty()) {
            copy = std::malloc(entry.content.size());
            std::memcpy(copy, entry.content.data(), entry.content.size());
        }
        zip_source_t* source = zip_source_buffer(archive, copy, entry.content.size(), 1);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, 0);
        ASSERT_GE(index, 0) << entry.name;
        if (entry.link)
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                             ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
        if (entry.dos)
            zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                             ZIP_OPSYS_DOS, 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

using ArchiveSafety = ToolTest;

TEST_F(ArchiveSafety, HostileNamesAreRefusedAndNothingIsWrittenOutside) {
    MakeArchive(C("Backups/evil.zip"), {{"ok.txt", "fine"},
                                        {"../evil.txt", "escape"},
                                        {"a/../../evil2.txt", "escape"},
                                        {"..\\evil3.txt", "escape", false, true},
                                        {"/tmp/rk-absolute-evil.txt", "absolute"},
                                        {"C:/drive-evil.txt", "drive", false, true},
                                        {"..\\safe.txt", "a name from Unix"},
                                        {"x:y.txt", "a name from Unix"},
                                        {"link", "../Outside", true},
                                        {"link/through.txt", "through a link"}});
    fs::create_directories(C("Restore/Outside"));

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\evil.zip", "C:\\Restore\\x\\"});
    EXPECT_EQ(run.exitCode, 1);
    for (const char* named : {"../evil.txt", "a/../../evil2.txt", "..\\evil3.txt",
                              "/tmp/rk-absolute-evil.txt", "C:/drive-evil.txt", "link/through.txt"})
        EXPECT_NE(run.err.find(named), std::string::npos) << named << "\n" << run.err;
    EXPECT_EQ(sandbox.read(C("Restore/x/ok.txt")), "fine");
    EXPECT_TRUE(fs::is_symlink(C("Restore/x/link")));
    EXPECT_FALSE(fs::exists(C("Restore/evil.txt")));
    EXPECT_FALSE(fs::exists(C("evil2.txt")));
    EXPECT_FALSE(fs::exists(C("Restore/evil3.txt")));
    EXPECT_FALSE(fs::exists("/tmp/rk-absolute-evil.txt"));
    EXPECT_FALSE(fs::exists(C("drive-evil.txt")));
    EXPECT_FALSE(fs::exists(C("Restore/Outside/through.txt")));
    // Made on Unix, a backslash and a colon are parts of a name like any other.
    EXPECT_EQ(sandbox.read(C("Restore/x/..\\safe.txt")), "a name from Unix");
    EXPECT_EQ(sandbox.read(C("Restore/x/x:y.txt")), "a name from Unix");
}

TEST_F(ArchiveSafety, DamagedArchivesGiveAClearErrorAndNonZeroExit) {
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + std::to_string(i) + "\n";
    sandbox.write(C("Data/text.txt"), text);
    fs::create_directories(C("Backups"));
    ASSERT_EQ(Zip({"-a", "-p", "C:\\Backups\\good.zip", "C:\\Data\\*.*"}).exitCode, 0);
    const std::string whole = sandbox.read(C("Backups/good.zip"));

    sandbox.write(C("Backups/truncated.zip"), whole.substr(0, whole.size() / 2));
    const RunResult truncated = Unzip({"-d", "-o-", "C:\\Backups\\truncated.zip", "C:\\R1\\"});
    EXPECT_GE(truncated.exitCode, 3);
    EXPECT_NE(truncated.err.find("rkunzip: can't open zip archive 'C:\\Backups\\truncated.zip'"),
              std::string::npos)
        << truncated.err;
    const RunResult listing = Unzip({"-@C:\\list.txt", "C:\\Backups\\truncated.zip"});
    EXPECT_GE(listing.exitCode, 3);

    std::string damaged = whole;
    for (size_t i = 200; i < 260; ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);
    sandbox.write(C("Backups/damaged.zip"), damaged);
    const RunResult bad = Unzip({"-d", "-o-", "C:\\Backups\\damaged.zip", "C:\\R2\\"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("text.txt"), std::string::npos) << bad.err;
    EXPECT_FALSE(fs::exists(C("R2/text.txt")));

    const RunResult missing = Unzip({"-d", "C:\\Backups\\missing.zip", "C:\\R3\\"});
    EXPECT_GE(missing.exitCode, 3);
    EXPECT_EQ(Unzip({"-q", "C:\\Backups\\good.zip"}).exitCode, 2);
}

TEST_F(ArchiveSafety, TestModeReadsEveryEntryBackAndNamesTheBadOnes) {
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i) + "\n";
    MakeArchive(C("Backups/t.zip"), {{"a.txt", text}, {"b.txt", "short"}});
    const RunResult sound = Unzip({"-t", "C:\\Backups\\t.zip"});
    EXPECT_EQ(sound.exitCode, 0) << sound.err;
    EXPECT_FALSE(fs::exists(C("a.txt")));

    // One byte of the first entry's data changed: its CRC no longer holds.
    std::string bytes = sandbox.read(C("Backups/t.zip"));
    bytes[30 + 5 + 40] = static_cast<char>(bytes[30 + 5 + 40] ^ 0x20);
    sandbox.write(C("Backups/t.zip"), bytes);
    const RunResult bad = Unzip({"-t", "C:\\Backups\\t.zip"});
    EXPECT_EQ(bad.exitCode, 1) << bad.err;
    EXPECT_NE(bad.err.find("'a.txt'"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find("'b.txt'"), std::string::npos) << bad.err;
    EXPECT_EQ(Unzip({"-t", "C:\\Backups\\t.zip", "C:\\R\\"}).exitCode, 2);
}

TEST_F(ArchiveSafety, ANewerLinkOrFileShadowsWhatOlderArchivesHoldBelowIt) {
    // Newest first: the newer archive says "d" is a link and "n" a file now;
    // the older one still holds them as folders.
    MakeArchive(C("Backups/new.zip"), {{"d", "../Elsewhere", true}, {"n", "a file now"}});
    MakeArchive(C("Backups/old.zip"), {{"d/", ""},
                                       {"d/f.txt", "older"},
                                       {"n/a.txt", "older"},
                                       {"kept.txt", "only in the older"}});
    fs::create_directories(C("Restore/Elsewhere"));
    EXPECT_EQ(Unzip({"-d", "-o-", "C:\\Backups\\new.zip", "C:\\Restore\\x\\"}).exitCode, 0);
    const RunResult older = Unzip({"-d", "-o-", "C:\\Backups\\old.zip", "C:\\Restore\\x\\"});
    EXPECT_EQ(older.exitCode, 0) << older.err;
    EXPECT_TRUE(fs::is_symlink(C("Restore/x/d")));
    EXPECT_TRUE(fs::is_empty(C("Restore/Elsewhere")));
    EXPECT_EQ(sandbox.read(C("Restore/x/n")), "a file now");
    EXPECT_EQ(sandbox.read(C("Restore/x/kept.txt")), "only in the older");
    // Replacing (-o) is no extraction newest first: the link is refused.
    const RunResult replacing = Unzip({"-d", "-o", "C:\\Backups\\old.zip", "C:\\Restore\\x\\"});
    EXPECT_EQ(replacing.exitCode, 1);
    EXPECT_TRUE(fs::is_empty(C("Restore/Elsewhere")));
}

TEST_F(ArchiveSafety, ExistingFilesAndLinksAreNeverReplacedOrWrittenThrough) {
    MakeArchive(C("Backups/a.zip"), {{"Data/f.txt", "from the archive"},
                                     {"Data/g.txt", "from the archive"},
                                     {"Data/new.txt", "new"}});
    sandbox.write(C("Restore/Data/f.txt"), "newer, already here");
    sandbox.write(C("Elsewhere/target.txt"), "must stay");
    fs::create_symlink(C("Elsewhere/target.txt"), C("Restore/Data/g.txt"));

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\a.zip", "C:\\Restore\\"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sandbox.read(C("Restore/Data/f.txt")), "newer, already here");
    EXPECT_EQ(sandbox.read(C("Elsewhere/target.txt")), "must stay");
    EXPECT_TRUE(fs::is_symlink(C("Restore/Data/g.txt")));
    EXPECT_EQ(sandbox.read(C("Restore/Data/new.txt")), "new");
    // No temporary file is left behind.
    for (const auto& entry : fs::directory_iterator(C("Restore/Data")))
        EXPECT_EQ(entry.path().filename().string().find(".rkunzip-"), std::string::npos);

    // A folder of the destination that is a link is never entered: what lies
    // below it exists already, as a newer archive made it a link.
    fs::create_directories(C("Restore2"));
    fs::create_directory_symlink(C("Elsewhere"), C("Restore2/Data"));
    const RunResult through = Unzip({"-d", "-o-", "C:\\Backups\\a.zip", "C:\\Restore2\\"});
    EXPECT_EQ(through.exitCode, 0) << through.err;
    EXPECT_FALSE(fs::exists(C("Elsewhere/new.txt")));
    const RunResult replacing = Unzip({"-d", "-o", "C:\\Backups\\a.zip", "C:\\Restore2\\"});
    EXPECT_EQ(replacing.exitCode, 1);
    EXPECT_FALSE(fs::exists(C("Elsewhere/new.txt")));
}

// Enough entries for rkunzip to share them between two workers.
std::vector<Entry> ManyEntries(const std::string& folder, int count) {
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        const std::string name =
            folder + "/f" + std::to_string(i % 10) + "/n" + std::to_string(i) + ".txt";
        entries.push_back({name, "content " + std::to_string(i)});
    }
    return entries;
}

void ExpectNoTemporaryFiles(const fs::path& folder) {
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().find(".rkunzip-"), std::string::npos)
            << entry.path();
}

TEST_F(ArchiveSafety, ManyEntriesKeepEveryRuleAndTheirOrderOfMessages) {
    std::vector<Entry> entries = ManyEntries("Data", 300);
    entries.insert(entries.begin() + 40, {"../early-evil.txt", "escape"});
    entries.insert(entries.begin() + 160, {"../middle-evil.txt", "escape"});
    entries.push_back({"../late-evil.txt", "escape"});
    MakeArchive(C("Backups/many.zip"), entries);
    sandbox.write(C("Restore/Data/f3/n3.txt"), "already here");
    sandbox.write(C("Restore/Data/f9/n299.txt"), "already here too");
    sandbox.write(C("Elsewhere/keep.txt"), "must stay");
    fs::create_directory_symlink(C("Elsewhere"), C("Restore/Data/f7"));

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\many.zip", "C:\\Restore\\"});
    EXPECT_EQ(run.exitCode, 1);
    for (int i = 0; i < 300; ++i) {
        const std::string name =
            "Data/f" + std::to_string(i % 10) + "/n" + std::to_string(i) + ".txt";
        if (i % 10 == 7) {
            EXPECT_EQ(run.err.find(name), std::string::npos) << name;
            EXPECT_FALSE(fs::exists(C("Elsewhere/n" + std::to_string(i) + ".txt"))) << name;
            continue;
        }
        const std::string expected =
            i == 3 ? "already here"
                   : (i == 299 ? "already here too" : "content " + std::to_string(i));
        EXPECT_EQ(sandbox.read(C("Restore/" + name)), expected) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(C("Elsewhere")), fs::directory_iterator()), 1);
    EXPECT_FALSE(fs::exists(C("early-evil.txt")));
    EXPECT_FALSE(fs::exists(C("late-evil.txt")));
    // Messages come in the archive's order.
    const size_t early = run.err.find("../early-evil.txt");
    const size_t middle = run.err.find("../middle-evil.txt");
    const size_t late = run.err.find("../late-evil.txt");
    ASSERT_NE(late, std::string::npos) << run.err;
    EXPECT_LT(early, middle);
    EXPECT_LT(middle, late);
    ExpectNoTemporaryFiles(C("Restore"));
}

TEST_F(ArchiveSafety, ManyEntriesWithLinksOrRepeatedNamesKeepTheArchiveOrder) {
    std::vector<Entry> entries = ManyEntries("Data", 200);
    entries.insert(entries.begin() + 10, {"Data/dup.txt", "first"});
    entries.insert(entries.begin() + 20, {"Data/link", "../../Outside", true});
    entries.push_back({"./Data//dup.txt", "second"});
    entries.push_back({"Data/link/through.txt", "through a link"});
    MakeArchive(C("Backups/ordered.zip"), entries);
    fs::create_directories(C("Outside"));

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\ordered.zip", "C:\\Restore\\x\\"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Data/link/through.txt"), std::string::npos) << run.err;
    EXPECT_EQ(sandbox.read(C("Restore/x/Data/dup.txt")), "first");
    EXPECT_TRUE(fs::is_symlink(C("Restore/x/Data/link")));
    EXPECT_FALSE(fs::exists(C("Outside/through.txt")));
    EXPECT_EQ(sandbox.read(C("Restore/x/Data/f5/n195.txt")), "content 195");
    ExpectNoTemporaryFiles(C("Restore"));
}

// Where the data of the entry named `name` starts: after its local header,
// which is the first place the name appears.
size_t DataOffset(const std::string& bytes, const std::string& name) {
    const size_t at = bytes.find(name);
    EXPECT_NE(at, std::string::npos) << name;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const size_t extra = byte(at - 2) | byte(at - 1) << 8;
    return at + name.size() + extra;
}

TEST_F(ArchiveSafety, DamagedEntriesAmongManyAreNamedInOrderAndTheOthersComeBackWhole) {
    // Deflated and stored small entries, taken out whole and inflated by each
    // worker, and one large entry read through libzip in pieces.
    std::vector<Entry> entries = ManyEntries("Data", 200);
    for (size_t i = 0; i < entries.size(); i += 3) {
        entries[i].stored = true;
        entries[i].content += std::string(i * 10, 's');
    }
    std::string large;
    for (int i = 0; large.size() < 3 * 1024 * 1024; ++i)
        large += "large line " + std::to_string(i) + "\n";
    entries.insert(entries.begin() + 100, {"Data/large.txt", large});
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "text line " + std::to_string(i) + "\n";
    entries[50].content = text;
    entries[50].stored = false;
    entries[150].stored = true;
    entries[150].content = text;
    MakeArchive(C("Backups/many.zip"), entries);

    std::string bytes = sandbox.read(C("Backups/many.zip"));
    for (const size_t damaged : {size_t{50}, size_t{150}}) {
        const size_t data = DataOffset(bytes, entries[damaged].name);
        for (size_t i = data + 100; i < data + 110; ++i)
            bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
    }
    sandbox.write(C("Backups/many.zip"), bytes);

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\many.zip", "C:\\Restore\\"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const size_t first = run.err.find("'" + entries[50].name + "'");
    const size_t second = run.err.find("'" + entries[150].name + "'");
    ASSERT_NE(second, std::string::npos) << run.err;
    EXPECT_LT(first, second) << run.err;
    EXPECT_NE(run.err.find("CRC error"), std::string::npos) << run.err;
    for (size_t i = 0; i < entries.size(); ++i) {
        const fs::path restored = C("Restore/" + entries[i].name);
        if (i == 50 || i == 150)
            EXPECT_FALSE(fs::exists(restored)) << restored;
        else
            EXPECT_EQ(sandbox.read(restored), entries[i].content) << restored;
    }
    ExpectNoTemporaryFiles(C("Restore"));
}

} // namespace
} // namespace rk::test
