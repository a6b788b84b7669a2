#include "core/settings.h"

#include "core/program_values.h"
#include "core/text_lines.h"
#include "platform/system_folders.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace rk {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Every test works on C:\App\ of its own sandbox, with the failure message of
// extended writes recorded instead of printed.
class CoreSettings : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(box.c() / "App");
        AppFolder = "C:\\App\\";
        SetExtendedWriteFailureHandler(
            [this](std::string_view text) { failures.emplace_back(text); });
    }
    void TearDown() override {
        SetExtendedWriteFailureHandler(nullptr);
        AppFolder.clear();
    }

    fs::path programFile() const {
        return box.c() / "App" / (platform::ProgramBaseName() + ".ini");
    }
    fs::path jobFile() const { return box.c() / "App" / "rkjob.ini"; }
    static SettingsPlace job(std::string section = "settings") {
        return {std::move(section), std::nullopt, "rkjob.ini"};
    }

    test::Sandbox box;
    std::vector<std::string> failures;
};

// ---- Ordinary keys ---------------------------------------------------------------

TEST_F(CoreSettings, AbsentValuesGiveTheDefault) {
    EXPECT_EQ(ReadSetting("jobs", "C:\\Backups"), "C:\\Backups");
    EXPECT_FALSE(fs::exists(programFile())) << "reading an ordinary key creates nothing";
    box.write(programFile(), "[other]\r\njobs=elsewhere\r\n[settings]\r\nziputil=z\r\n");
    EXPECT_EQ(ReadSetting("jobs", "fallback"), "fallback");
    EXPECT_EQ(ReadSetting("jobs"), "");
    EXPECT_EQ(ReadSetting("jobs", "x", {"missing section", std::nullopt, std::nullopt}), "x");
    AppFolder = "C:\\NoSuchFolder\\";
    EXPECT_EQ(ReadSetting("jobs", "d"), "d");
}

TEST_F(CoreSettings, WritesGoToTheProgramFileByDefaultWithCrLf) {
    WriteSetting("jobs", "C:\\Backups");
    EXPECT_EQ(box.read(programFile()), "[settings]\r\njobs=C:\\Backups\r\n");
    EXPECT_EQ(ReadSetting("jobs"), "C:\\Backups");
    // A folder without its trailing backslash works the same.
    EXPECT_EQ(ReadSetting("jobs", "", {std::nullopt, "C:\\App", std::nullopt}), "C:\\Backups");
}

TEST_F(CoreSettings, NamesMatchWithoutCaseAndBlanksAroundValuesDrop) {
    box.write(jobFile(), "  [Folders]  \r\n  FolderCount  =  \t2 \t\r\nFOLDER1=C:\\a b\r\n");
    EXPECT_EQ(ReadSetting("foldercount", "", job("FOLDERS")), "2");
    EXPECT_EQ(ReadSetting("folder1", "", job("folders")), "C:\\a b");
}

TEST_F(CoreSettings, OrdinaryValuesAreCutAt511Characters) {
    const std::string value(600, 'v');
    WriteSetting("desc", value, job());
    EXPECT_EQ(ReadSetting("desc", "", job()), value.substr(0, 511));
    // The whole value stays in the file.
    EXPECT_NE(box.read(jobFile()).find(value), std::string::npos);
}

TEST_F(CoreSettings, ExistingEntriesChangeInPlaceAndNewOnesEndTheirSection) {
    box.write(jobFile(), "; kept comment\r\n"
                         "[settings]\r\n"
                         "rootbk=old.zip\r\n"
                         "garbage line without equals\r\n"
                         "zeta=1\r\n"
                         "\r\n"
                         "[folders]\r\n"
                         "foldercount=1\r\n");
    WriteSetting("RootBk", "rk_2024.zip", job());
    WriteSetting("newkey", "n", job());
    WriteSetting("folder1", "C:\\src", job("FOLDERS"));
    EXPECT_EQ(box.read(jobFile()), "; kept comment\r\n"
                                   "[settings]\r\n"
                                   "RootBk=rk_2024.zip\r\n"
                                   "garbage line without equals\r\n"
                                   "zeta=1\r\n"
                                   "newkey=n\r\n"
                                   "\r\n"
                                   "[folders]\r\n"
                                   "foldercount=1\r\n"
                                   "folder1=C:\\src\r\n");
    WriteSetting("brand", "new", job("fresh"));
    const std::string after = box.read(jobFile());
    EXPECT_EQ(after.substr(after.rfind("folder1=")), "folder1=C:\\src\r\n[fresh]\r\nbrand=new\r\n");
}

TEST_F(CoreSettings, ALineBreakInAValueCannotAddLines) {
    WriteSetting("a", "one\r\n[settings]\r\nb=two", job());
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\na=one\r\n");
}

TEST_F(CoreSettings, NullKeyAndValueDeleteTheWholeSection) {
    box.write(jobFile(), "[Folders]\r\nfoldercount=2\r\nfolder1=a\r\nfolder2=b\r\n"
                         "[settings]\r\nrootbk=r.zip\r\n"
                         "[folders]\r\nfolder3=c\r\n");
    WriteSetting(std::nullopt, std::nullopt, job("folders"));
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nrootbk=r.zip\r\n");
    EXPECT_EQ(ReadSetting("foldercount", "none", job("folders")), "none");
    // Deleting a section that is not there changes nothing and makes no file.
    WriteSetting(std::nullopt, std::nullopt, {"x", std::nullopt, "absent.ini"});
    EXPECT_FALSE(fs::exists(box.c() / "App" / "absent.ini"));
}

TEST_F(CoreSettings, NullValueDeletesOneEntry) {
    box.write(jobFile(), "[settings]\r\na=1\r\nb=2\r\n");
    WriteSetting("A", std::nullopt, job());
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nb=2\r\n");
}

// ---- Extended values -------------------------------------------------------------------

TEST_F(CoreSettings, ExtendedValuesHaveNoLengthLimit) {
    const std::string value(600, 'e');
    WriteSetting("ex_desc", value, job());
    EXPECT_EQ(ReadSetting("EX_DESC", "", job()), value);
    EXPECT_EQ(ReadExtendedValue("ex_desc", "", job()), value);
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nex_desc=" + value + "\r\n");
}

TEST_F(CoreSettings, ExtendedValueReadsUpToTheSecondEquals) {
    WriteSetting("ex_formula", "a=b=c", job());
    EXPECT_EQ(ReadSetting("ex_formula", "", job()), "a");
    box.write(jobFile(), "[settings]\r\nex_k\r\n ex_j = v \r\n");
    EXPECT_EQ(ReadSetting("ex_k", "d", job()), "");
    // The key is trimmed, the value is not.
    EXPECT_EQ(ReadSetting("ex_j", "", job()), " v ");
}

TEST_F(CoreSettings, KeysDifferingInCaseShareOneEntry) {
    WriteSetting("ex_Note", "first", job());
    WriteSetting("EX_NOTE", "second", job());
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nEX_NOTE=second\r\n");
    EXPECT_EQ(ReadSetting("Ex_note", "", job()), "second");
    WriteSetting("Jobs", "a");
    WriteSetting("JOBS", "b");
    EXPECT_EQ(box.read(programFile()), "[settings]\r\nJOBS=b\r\n");
}

TEST_F(CoreSettings, ExtendedWriteInsertsAfterTheHeaderOrAppendsTheSection) {
    box.write(jobFile(), "[settings]\r\nrootbk=r.zip\r\n[other]\r\nx=1");
    WriteSetting("ex_a", "A", job());
    WriteSetting("ex_b", "B", job("New"));
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nex_a=A\r\nrootbk=r.zip\r\n[other]\r\nx=1\r\n"
                                   "[New]\r\nex_b=B\r\n");
}

TEST_F(CoreSettings, ExtendedWriteHandlesRepeatedSectionsAndNulLines) {
    box.write(jobFile(), "[s]\r\nex_k=1\r\n\0junk\r\n[t]\r\nex_k=t\r\n[S]\r\nex_K=2\r\n"s);
    WriteSetting("ex_k", "v", job("s"));
    EXPECT_EQ(box.read(jobFile()), "[s]\r\nex_k=v\r\n[t]\r\nex_k=t\r\n[S]\r\nex_k=v\r\n");
    // Without the key, every header of the section gets the entry.
    box.write(jobFile(), "[s]\r\na=1\r\n[s]\r\n");
    WriteSetting("ex_n", "x", job("s"));
    EXPECT_EQ(box.read(jobFile()), "[s]\r\nex_n=x\r\na=1\r\n[s]\r\nex_n=x\r\n");
}

TEST_F(CoreSettings, AnIndentedLineIsNoHeaderForExtendedValues) {
    box.write(jobFile(), " [settings]\r\nex_a=1\r\n");
    EXPECT_EQ(ReadSetting("ex_a", "d", job()), "d");
    WriteSetting("ex_a", "2", job());
    EXPECT_EQ(box.read(jobFile()), " [settings]\r\nex_a=1\r\n[settings]\r\nex_a=2\r\n");
}

TEST_F(CoreSettings, ExtendedReadCreatesAMissingFileButNotAMissingFolder) {
    EXPECT_EQ(ReadSetting("ex_x", "dflt", job()), "dflt");
    ASSERT_TRUE(fs::exists(jobFile()));
    EXPECT_EQ(fs::file_size(jobFile()), 0U);
    EXPECT_EQ(ReadSetting("ex_x", "dflt", {std::nullopt, "C:\\Gone", "rkjob.ini"}), "");
    EXPECT_FALSE(fs::exists(box.c() / "Gone"));
}

TEST_F(CoreSettings, LfOnlyAndCrOnlyFilesAreRead) {
    box.write(jobFile(), "[settings]\nex_a=1\n\nex_b=2\n[x]\nk=v\n");
    EXPECT_EQ(ReadSetting("ex_b", "", job()), "2");
    EXPECT_EQ(ReadSetting("k", "", job("x")), "v");
    WriteSetting("ex_a", "9", job());
    // The empty line after a line break is absorbed into it.
    EXPECT_EQ(box.read(jobFile()), "[settings]\r\nex_a=9\r\nex_b=2\r\n[x]\r\nk=v\r\n");

    box.write(jobFile(), "[settings]\rex_a=1\rk=v\r\r");
    EXPECT_EQ(ReadSetting("ex_a", "", job()), "1");
    EXPECT_EQ(ReadSetting("k", "", job()), "v");
}

// ---- Failures and hostile files -------------------------------------------------------------

TEST_F(CoreSettings, AReadOnlyFileIsNeverReplaced) {
    const std::string old = "[settings]\r\nkeep=me\r\n";
    box.write(jobFile(), old);
    fs::permissions(jobFile(), fs::perms::owner_read | fs::perms::group_read);
    WriteSetting("keep", "changed", job());
    WriteSetting(std::nullopt, std::nullopt, job());
    EXPECT_TRUE(failures.empty());
    WriteSetting("ex_keep", "changed", job());
    ASSERT_EQ(failures.size(), 1U);
    EXPECT_EQ(failures[0], ExtendedWriteFailureText);
    EXPECT_EQ(box.read(jobFile()), old);
    EXPECT_EQ(ReadSetting("keep", "", job()), "me");
}

TEST_F(CoreSettings, AReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string old = "[settings]\r\nkeep=me\r\n";
    box.write(jobFile(), old);
    fs::permissions(box.c() / "App", fs::perms::owner_read | fs::perms::owner_exec);
    WriteSetting("keep", "changed", job());
    WriteSetting("ex_keep", "changed", job());
    fs::permissions(box.c() / "App", fs::perms::owner_all);
    EXPECT_EQ(failures.size(), 1U);
    EXPECT_EQ(box.read(jobFile()), old);
}

TEST_F(CoreSettings, AMissingFolderIsNotCreated) {
    const SettingsPlace gone{std::nullopt, "C:\\Gone", "rkjob.ini"};
    WriteSetting("a", "1", gone);
    EXPECT_TRUE(failures.empty());
    WriteSetting("ex_a", "1", gone);
    EXPECT_EQ(failures.size(), 1U);
    EXPECT_FALSE(fs::exists(box.c() / "Gone"));
}

TEST_F(CoreSettings, WithoutAHandlerTheFailureGoesToStandardError) {
    SetExtendedWriteFailureHandler(nullptr);
    testing::internal::CaptureStderr();
    WriteSetting("ex_a", "1", {std::nullopt, "C:\\Gone", std::nullopt});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(ExtendedWriteFailureText), std::string::npos) << err;
}

TEST_F(CoreSettings, BinaryGarbageSurvivesOrdinaryWrites) {
    std::string content = "[settings]\r\na=1\r\n";
    for (int i = 0; i < 4096; ++i)
        content += static_cast<char>((i * 7919 + 13) % 256);
    box.write(jobFile(), content);
    EXPECT_EQ(ReadSetting("a", "", job()), "1");
    WriteSetting("a", "2", job());
    // Every other line comes back as it was; only the line ends become CR LF.
    std::vector<std::string> expected = SplitLines(content);
    expected[1] = "a=2";
    EXPECT_EQ(SplitLines(box.read(jobFile())), expected);
    EXPECT_EQ(ReadSetting("a", "", job()), "2");
}

TEST_F(CoreSettings, NulBytesAndAHugeLineDoNotBreakTheEngines) {
    std::string content = "[settings]\r\n\0\0\0=\0\r\nex_a=x\0y\r\nord=ab\0cd\r\n"s;
    content += std::string(1 << 20, 'L') + "\r\n";
    box.write(jobFile(), content);
    EXPECT_EQ(ReadSetting("ord", "", job()), "ab");
    EXPECT_EQ(ReadSetting("ex_a", "", job()), "x\0y"s);
    EXPECT_EQ(ReadSetting("missing", "d", job()), "d");
    WriteSetting("ex_b", "2", job());
    const std::string after = box.read(jobFile());
    EXPECT_EQ(after.substr(0, 20), "[settings]\r\nex_b=2\r\n");
    EXPECT_EQ(after.find("\0\0\0"s), std::string::npos);
    EXPECT_NE(after.find(std::string(1 << 20, 'L')), std::string::npos);
    EXPECT_EQ(ReadSetting("ex_b", "", job()), "2");
}

TEST_F(CoreSettings, AFolderInPlaceOfTheFileIsLeftAlone) {
    fs::create_directories(jobFile());
    EXPECT_EQ(ReadSetting("a", "d", job()), "d");
    EXPECT_EQ(ReadSetting("ex_a", "d", job()), "");
    WriteSetting("a", "1", job());
    WriteSetting("ex_a", "1", job());
    EXPECT_EQ(failures.size(), 1U);
    EXPECT_TRUE(fs::is_directory(jobFile()));
}

// ---- The line reader -------------------------------------------------------------------------

struct LinesRow {
    std::string_view content;
    std::vector<std::string> lines;
};

std::ostream& operator<<(std::ostream& out, const LinesRow& row) {
    out << '"';
    for (const char c : row.content)
        out << (c == '\r'   ? std::string("\\r")
                : c == '\n' ? std::string("\\n")
                            : std::string(1, c));
    return out << '"';
}

class ReadTextLineTable : public testing::TestWithParam<LinesRow> {};

TEST_P(ReadTextLineTable, OneOrTwoBreakCharactersEndALine) {
    EXPECT_EQ(ReadTextLines(GetParam().content), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Core, ReadTextLineTable,
    testing::Values(LinesRow{"", {}}, LinesRow{"a", {"a"}}, LinesRow{"a\r\n", {"a"}},
                    LinesRow{"a\r\nb", {"a", "b"}}, LinesRow{"a\n\rb", {"a", "b"}},
                    LinesRow{"a\n\nb", {"a", "b"}}, LinesRow{"a\r\rb", {"a", "b"}},
                    LinesRow{"a\n\n\nb", {"a", "", "b"}}, LinesRow{"a\r\n\r\nb", {"a", "", "b"}},
                    LinesRow{"\r\n", {""}}, LinesRow{"\n", {""}},
                    LinesRow{"a\rb\rc", {"a", "b", "c"}}));

TEST(CoreTextLines, SplitLinesKeepsEmptyLinesAndJoinLinesEndsEachWithCrLf) {
    EXPECT_EQ(SplitLines("a\r\n\r\nb\n\nc\r\rd"),
              (std::vector<std::string>{"a", "", "b", "", "c", "", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), std::vector<std::string>{"a"});
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

} // namespace
} // namespace rk
