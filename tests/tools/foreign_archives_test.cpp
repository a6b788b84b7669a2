// rkunzip on archives other writers make: each kind restored, listed,
// tested and restored by a picked name, beside what Info-ZIP's unzip and
// 7-Zip's 7zz make of it. Where neither is right, rkunzip refuses the entry
// with a line naming it and a non-zero exit.

#include "raw_zip.h"
#include "tool_fixture.h"

#include <fstream>
#include <sys/stat.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kDosFolderBit = 0x10;
constexpr std::uint32_t kUnixLink = S_IFLNK | 0777u;

// Deflated data running past the size it declares.
RawEntry Overlong(const std::string& name, std::uint32_t declared) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += "line " + std::to_string(i) + "\n";
    RawEntry entry = UnixEntry(name, text);
    entry.deflate = true;
    entry.declaredSize = declared;
    return entry;
}

class ForeignArchives : public ToolTest {
  protected:
    void Write(const std::string& name, const std::vector<RawEntry>& entries) {
        sandbox.write(C("Backups/" + name), RawZip(entries));
    }
    static std::string Windows(const std::string& name) { return "C:\\Backups\\" + name; }
    RunResult Restore(const std::string& name, const std::string& into) const {
        return Unzip({"-d", "-o-", Windows(name), "C:\\" + into + "\\"});
    }
    // The listing lines, without their CR LF.
    std::vector<std::string> Listing(const std::string& name) {
        const RunResult run = Unzip({"-@C:\\listing.txt", Windows(name)});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> lines;
        std::string text = sandbox.read(C("listing.txt"));
        for (std::size_t end; (end = text.find("\r\n")) != std::string::npos;) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 2);
        }
        return lines;
    }
    // Restores the one listed name, as the file picker asks for it.
    RunResult RestorePicked(const std::string& name, const std::string& listed,
                            const std::string& into) {
        WriteLines(C("picked.txt"), {listed});
        return Unzip({"-d", "-o-", Windows(name), "@C:\\picked.txt", "C:\\" + into + "\\"});
    }
    // What Info-ZIP's unzip and 7-Zip's 7zz do with the archive.
    RunResult InfoZip(const std::string& name, const std::string& into) const {
        return rk::test::Run(
            {"/usr/bin/unzip", "-o", "-q", C("Backups/" + name).string(), "-d", C(into).string()});
    }
    RunResult SevenZip(const std::string& name, const std::string& into) const {
        return rk::test::Run(
            {"/usr/bin/7zz", "x", "-y", "-o" + C(into).string(), C("Backups/" + name).string()});
    }
    // Everything below `folder`, relative, sorted.
    std::vector<std::string> Tree(const std::string& folder) const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(C(folder)))
            found.push_back(fs::relative(entry.path(), C(folder)).string() +
                            (entry.is_directory() ? "/" : ""));
        std::sort(found.begin(), found.end());
        return found;
    }
};

TEST_F(ForeignArchives, AFolderMarkedOnlyByItsDosAttributeHoldsTheFilesBelowIt) {
    Write("dosdir.zip", {DosEntry("def", "", kDosFolderBit), DosEntry("def/foo", "foo")});
    const RunResult run = Restore("dosdir.zip", "R");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Tree("R"), (std::vector<std::string>{"def/", "def/foo"}));
    EXPECT_EQ(sandbox.read(C("R/def/foo")), "foo");
    EXPECT_EQ(Listing("dosdir.zip"), (std::vector<std::string>{"def\\foo"}));
    EXPECT_EQ(Unzip({"-t", Windows("dosdir.zip")}).exitCode, 0);
    EXPECT_EQ(RestorePicked("dosdir.zip", "def\\foo", "P").exitCode, 0);
    EXPECT_EQ(sandbox.read(C("P/def/foo")), "foo");
    // 7-Zip makes the same folder; Info-ZIP makes an empty file and fails.
    EXPECT_EQ(SevenZip("dosdir.zip", "S").exitCode, 0);
    EXPECT_EQ(Tree("S"), Tree("R"));
    EXPECT_NE(InfoZip("dosdir.zip", "U").exitCode, 0);
}

TEST_F(ForeignArchives, AnEntryBelowANameTheArchiveHoldsAsAFileIsRefusedAndNamed) {
    Write("below.zip", {UnixEntry("notes", "a file"), UnixEntry("notes/today.txt", "below it"),
                        UnixEntry("other.txt", "fine")});
    const RunResult run = Restore("below.zip", "R");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("refused 'notes/today.txt'"), std::string::npos) << run.err;
    EXPECT_EQ(sandbox.read(C("R/notes")), "a file");
    EXPECT_EQ(sandbox.read(C("R/other.txt")), "fine");
    const RunResult tested = Unzip({"-t", Windows("below.zip")});
    EXPECT_EQ(tested.exitCode, 1);
    EXPECT_NE(tested.err.find("'notes/today.txt'"), std::string::npos) << tested.err;
    EXPECT_EQ(Listing("below.zip"),
              (std::vector<std::string>{"notes", "notes\\today.txt", "other.txt"}));
    // Picked alone, nothing stands in its way.
    EXPECT_EQ(RestorePicked("below.zip", "notes\\today.txt", "P").exitCode, 0);
    EXPECT_EQ(sandbox.read(C("P/notes/today.txt")), "below it");
    EXPECT_EQ(InfoZip("below.zip", "U").exitCode, 2);
    EXPECT_EQ(SevenZip("below.zip", "S").exitCode, 2);

    // The other way round: a file where the archive already made a folder.
    Write("after.zip", {UnixEntry("notes/today.txt", "x"), UnixEntry("notes", "a file")});
    const RunResult after = Restore("after.zip", "R2");
    EXPECT_EQ(after.exitCode, 1);
    EXPECT_NE(after.err.find("refused 'notes'"), std::string::npos) << after.err;
    EXPECT_EQ(Unzip({"-t", Windows("after.zip")}).exitCode, 1);
}

TEST_F(ForeignArchives, DeflateDataLongerThanDeclaredFailsTheTestAsItFailsTheRestore) {
    Write("over.zip", {Overlong("over.txt", 1000), UnixEntry("ok.txt", "ok")});
    const RunResult run = Restore("over.zip", "R");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("'over.txt'"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(C("R/over.txt")));
    const RunResult tested = Unzip({"-t", Windows("over.zip")});
    EXPECT_EQ(tested.exitCode, 1);
    EXPECT_NE(tested.err.find("'over.txt'"), std::string::npos) << tested.err;
    EXPECT_EQ(tested.err.find("'ok.txt'"), std::string::npos) << tested.err;
    EXPECT_EQ(Listing("over.zip"), (std::vector<std::string>{"over.txt", "ok.txt"}));
    EXPECT_EQ(RestorePicked("over.zip", "over.txt", "P").exitCode, 1);
    EXPECT_NE(InfoZip("over.zip", "U").exitCode, 0);
    EXPECT_NE(SevenZip("over.zip", "S").exitCode, 0);
}

TEST_F(ForeignArchives, EveryArchiveTheRestoreRefusesInPartTheTestRefusesToo) {
    const std::vector<std::vector<RawEntry>> refused{
        {Overlong("over.txt", 100)},
        {UnixEntry("../out.txt", "x")},
        {UnixEntry("/abs.txt", "x")},
        {DosEntry("C:\\drive.txt", "x")},
        {DosEntry("C:/drive.txt", "x")},
        {UnixEntry(std::string("te\0t", 4), "x")},
        {UnixEntry("", "x")},
        {UnixEntry("d/..", "x")},
        {UnixEntry("f", "x"), UnixEntry("f/g", "y")},
        {UnixEntry("f/g", "y"), UnixEntry("f", "x")},
        {UnixEntry("l", "target", kUnixLink), UnixEntry("l/g", "y")},
        {UnixEntry("l", std::string(5000, 't'), kUnixLink)},
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const std::string name = "refused" + std::to_string(i) + ".zip";
        auto entries = refused[i];
        entries.push_back(UnixEntry("fine.txt", "fine"));
        Write(name, entries);
        const RunResult run = Restore(name, "R" + std::to_string(i));
        EXPECT_EQ(run.exitCode, 1) << name << "\n" << run.err;
        EXPECT_EQ(sandbox.read(C("R" + std::to_string(i) + "/fine.txt")), "fine") << name;
        const RunResult tested = Unzip({"-t", Windows(name)});
        EXPECT_EQ(tested.exitCode, 1) << name << "\n" << tested.err;
    }
}

TEST_F(ForeignArchives, AShiftJisNameKeepsItsBackslashByteWhenItUsesSlashes) {
    // 表示/ソース.txt and 表示/能力.txt: 0x5C is the second byte of 表, ソ and 能.
    const std::string folder = "\x95\x5c\x8e\xa6";
    Write("sjis.zip", {DosEntry(folder + "/\x83\x5c\x81[\x83X.txt", "a"),
                       DosEntry(folder + "/\x94\x5c\x97\xcd.txt", "b")});
    const RunResult run = Restore("sjis.zip", "R");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto tree = Tree("R");
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].back(), '/');
    for (const auto& path : {tree[1], tree[2]}) {
        EXPECT_EQ(path.rfind(tree[0], 0), 0u) << path;
        EXPECT_EQ(path.find('/', tree[0].size()), std::string::npos) << path;
    }
    EXPECT_EQ(Unzip({"-t", Windows("sjis.zip")}).exitCode, 0);
    // Two files in their escaped form (a backslash in a name); each picked
    // alone comes back alone.
    const auto listed = Listing("sjis.zip");
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].front(), '\\');
    EXPECT_EQ(RestorePicked("sjis.zip", listed[1], "P").exitCode, 0);
    const auto picked = Tree("P");
    ASSERT_EQ(picked.size(), 2u);
    EXPECT_EQ(sandbox.read(C("P/" + picked[1])), "b");
    // Info-ZIP and 7-Zip make one folder with two files too.
    ASSERT_EQ(InfoZip("sjis.zip", "U").exitCode, 0);
    EXPECT_EQ(Tree("U").size(), 3u);
    ASSERT_EQ(SevenZip("sjis.zip", "S").exitCode, 0);
    EXPECT_EQ(Tree("S").size(), 3u);
}

TEST_F(ForeignArchives, ANameHoldingANulByteIsListedWholeAndRefused) {
    Write("nul.zip", {UnixEntry(std::string("te\0t", 4), "nul"), UnixEntry("ok.txt", "ok")});
    const RunResult run = Restore("nul.zip", "R");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("refused '\\te%00t'"), std::string::npos) << run.err;
    EXPECT_EQ(Tree("R"), (std::vector<std::string>{"ok.txt"}));
    EXPECT_EQ(Unzip({"-t", Windows("nul.zip")}).exitCode, 1);
    EXPECT_EQ(Listing("nul.zip"), (std::vector<std::string>{"\\te%00t", "ok.txt"}));
    const RunResult picked = RestorePicked("nul.zip", "\\te%00t", "P");
    EXPECT_EQ(picked.exitCode, 1);
    EXPECT_NE(picked.err.find("'\\te%00t'"), std::string::npos) << picked.err;
    EXPECT_FALSE(fs::exists(C("P/te")));
    // Both others restore it cut at the NUL, as "te", and say nothing.
    EXPECT_EQ(InfoZip("nul.zip", "U").exitCode, 0);
    EXPECT_TRUE(fs::exists(C("U/te")));
}

TEST_F(ForeignArchives, AnEntryWithoutANameIsRefusedWithItsPlace) {
    Write("empty.zip", {UnixEntry("ok.txt", "ok"), UnixEntry("", "no name")});
    const RunResult run = Restore("empty.zip", "R");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("refused entry 2 of the archive"), std::string::npos) << run.err;
    EXPECT_EQ(Tree("R"), (std::vector<std::string>{"ok.txt"}));
    EXPECT_EQ(Unzip({"-t", Windows("empty.zip")}).exitCode, 1);
    EXPECT_EQ(Listing("empty.zip"), (std::vector<std::string>{"ok.txt"}));
    EXPECT_EQ(RestorePicked("empty.zip", "ok.txt", "P").exitCode, 0);
    EXPECT_NE(InfoZip("empty.zip", "U").exitCode, 0);
}

} // namespace
} // namespace rk::test
