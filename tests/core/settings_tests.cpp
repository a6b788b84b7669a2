#include "core/settings.h"

#include "core/program_values.h"
#include "core/text_lines.h"
#include "platform/ini_lines.h"
#include "platform/system_folders.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace rk {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Every test works in C:\App\ of its own sandbox, with the failure message of
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
    static SettingsPlace job(std::string section = "settings") {
        return {std::move(section), std::nullopt, "rkjob.ini"};
    }
    std::string file() const { return box.read(box.c() / "App" / "rkjob.ini"); }
    void setFile(std::string_view content) const {
        box.write(box.c() / "App" / "rkjob.ini", content);
    }

    test::Sandbox box;
    std::vector<std::string> failures;
};

TEST_F(CoreSettings, OrdinaryKeysUseTheProgramFileByDefault) {
    const fs::path programFile = box.c() / "App" / (platform::ProgramBaseName() + ".ini");
    EXPECT_EQ(ReadSetting("jobs", "C:\\Backups"), "C:\\Backups");
    EXPECT_FALSE(fs::exists(programFile)) << "reading an ordinary key creates nothing";
    WriteSetting("Jobs", "a");
    WriteSetting("JOBS", "C:\\Backups");
    EXPECT_EQ(box.read(programFile), "[settings]\r\nJOBS=C:\\Backups\r\n");
    EXPECT_EQ(ReadSetting("jobs", "", {std::nullopt, "C:\\App", std::nullopt}), "C:\\Backups");
    EXPECT_EQ(ReadSetting("jobs", "d", {"other", std::nullopt, std::nullopt}), "d");
}

TEST_F(CoreSettings, OrdinaryReadsIgnoreCaseAndBlanksAndCutAt511) {
    setFile("  [Folders]  \r\nFolderCount  =  \t2 \t\r\nord=ab\0cd\r\n"s);
    EXPECT_EQ(ReadSetting("foldercount", "", job("FOLDERS")), "2");
    EXPECT_EQ(ReadSetting("ord", "", job("folders")), "ab");
    const std::string value(600, 'v');
    WriteSetting("desc", value, job());
    EXPECT_EQ(ReadSetting("desc", "", job()), value.substr(0, 511));
    WriteSetting("ex_desc", value, job());
    EXPECT_EQ(ReadSetting("EX_DESC", "", job()), value);
}

TEST_F(CoreSettings, OrdinaryWritesKeepEveryOtherLine) {
    setFile("; comment\r\n[settings]\r\nrootbk=old.zip\r\nno equals here\r\nzeta=1\r\n\r\n"
            "[folders]\r\nfoldercount=1");
    WriteSetting("RootBk", "rk_2024.zip", job());
    WriteSetting("newkey", "n\r\n[injected]", job());
    WriteSetting("folder1", "C:\\src", job("FOLDERS"));
    WriteSetting("brand", "new", job("fresh"));
    EXPECT_EQ(file(),
              "; comment\r\n[settings]\r\nRootBk=rk_2024.zip\r\nno equals here\r\nzeta=1\r\n"
              "newkey=n\r\n\r\n[folders]\r\nfoldercount=1\r\nfolder1=C:\\src\r\n"
              "[fresh]\r\nbrand=new\r\n");
}

TEST_F(CoreSettings, NullKeyAndValueDeleteTheWholeSection) {
    setFile("[Folders]\r\nfolder1=a\r\n[settings]\r\nrootbk=r.zip\r\n[folders]\r\nfolder3=c\r\n");
    WriteSetting(std::nullopt, std::nullopt, job("folders"));
    EXPECT_EQ(file(), "[settings]\r\nrootbk=r.zip\r\n");
    WriteSetting("ROOTBK", std::nullopt, job());
    EXPECT_EQ(file(), "[settings]\r\n");
}

TEST_F(CoreSettings, ExtendedValuesFollowTheLineRules) {
    // Between the first and the second "="; the key trimmed, the value not.
    setFile("[settings]\r\n ex_j = v \r\nex_f=a=b\r\n");
    EXPECT_EQ(ReadSetting("ex_j", "", job()), " v ");
    EXPECT_EQ(ReadSetting("ex_f", "", job()), "a");
    // Every matching line is replaced, NUL-first lines are dropped.
    setFile("[s]\r\nex_k=1\r\n\0junk\r\n[t]\r\nex_k=t\r\n[S]\r\nEX_K=2\r\n"s);
    WriteSetting("Ex_K", "v", job("s"));
    EXPECT_EQ(file(), "[s]\r\nEx_K=v\r\n[t]\r\nex_k=t\r\n[S]\r\nEx_K=v\r\n");
    // A missing key goes directly after each header of its section; a missing
    // section is appended; an indented line is no header.
    setFile("[s]\r\na=1\r\n[s]\r\n [n]");
    WriteSetting("ex_n", "x", job("s"));
    WriteSetting("ex_m", "y", job("n"));
    EXPECT_EQ(file(), "[s]\r\nex_n=x\r\na=1\r\n[s]\r\nex_n=x\r\n [n]\r\n[n]\r\nex_m=y\r\n");
}

TEST_F(CoreSettings, ExtendedReadCreatesAMissingFileButNotAMissingFolder) {
    EXPECT_EQ(ReadSetting("ex_x", "dflt", job()), "dflt");
    EXPECT_TRUE(fs::exists(box.c() / "App" / "rkjob.ini"));
    EXPECT_EQ(file(), "");
    EXPECT_EQ(ReadSetting("ex_x", "dflt", {std::nullopt, "C:\\Gone", "rkjob.ini"}), "");
    EXPECT_FALSE(fs::exists(box.c() / "Gone"));
}

TEST_F(CoreSettings, LfOnlyAndCrOnlyFiles) {
    setFile("[settings]\nex_a=1\n\nex_b=2\n[x]\nk=v\n");
    EXPECT_EQ(ReadSetting("k", "", job("x")), "v");
    WriteSetting("ex_a", "9", job());
    // The empty line after a line break is absorbed into it.
    EXPECT_EQ(file(), "[settings]\r\nex_a=9\r\nex_b=2\r\n[x]\r\nk=v\r\n");
    setFile("[settings]\rex_a=1\rk=v\r\r");
    EXPECT_EQ(ReadSetting("ex_a", "", job()), "1");
    EXPECT_EQ(ReadSetting("k", "", job()), "v");
}

TEST_F(CoreSettings, FailedWritesLeaveTheOldFile) {
    const std::string old = "[settings]\r\nkeep=me\r\n";
    setFile(old);
    const fs::path path = box.c() / "App" / "rkjob.ini";
    fs::permissions(path, fs::perms::owner_read);
    WriteSetting("keep", "changed", job());
    EXPECT_TRUE(failures.empty()) << "ordinary writes fail silently";
    WriteSetting("ex_keep", "changed", job());
    EXPECT_EQ(failures, std::vector<std::string>{std::string(ExtendedWriteFailureText)});
    EXPECT_EQ(file(), old);
    if (geteuid() != 0) { // permissions do not bind the superuser
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
        fs::permissions(path.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
        WriteSetting("ex_keep", "changed", job());
        fs::permissions(path.parent_path(), fs::perms::owner_all);
        EXPECT_EQ(failures.size(), 2U);
        EXPECT_EQ(file(), old);
    }
    // A missing folder is not made; without a handler the message goes to stderr.
    SetExtendedWriteFailureHandler(nullptr);
    testing::internal::CaptureStderr();
    WriteSetting("a", "1", {std::nullopt, "C:\\Gone", std::nullopt});
    WriteSetting("ex_a", "1", {std::nullopt, "C:\\Gone", std::nullopt});
    EXPECT_NE(testing::internal::GetCapturedStderr().find(ExtendedWriteFailureText),
              std::string::npos);
    EXPECT_FALSE(fs::exists(box.c() / "Gone"));
}

// A write says whether it took and, when not, why, for the callers that
// need the value to be there; the file stays as it was.
TEST_F(CoreSettings, WritesSayWhyTheyDidNotTake) {
    EXPECT_TRUE(WriteSetting("keep", "me", job()));
    EXPECT_TRUE(WriteSetting("ex_keep", "me", job()));
    const std::string old = file();
    const fs::path path = box.c() / "App" / "rkjob.ini";
    fs::permissions(path, fs::perms::owner_read);
    const Result<void> ordinary = WriteSetting("keep", "changed", job());
    ASSERT_FALSE(ordinary);
    EXPECT_EQ(ordinary.reason(), "the settings file C:\\App\\rkjob.ini is read-only");
    const Result<void> extended = WriteExtendedValue("ex_keep", "changed", job());
    ASSERT_FALSE(extended);
    EXPECT_EQ(extended.reason(), ordinary.reason());
    EXPECT_EQ(failures.size(), 1U) << "the handler still hears of extended writes";
    EXPECT_FALSE(WriteSetting(std::nullopt, std::nullopt, job()));
    EXPECT_EQ(file(), old);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(WriteSetting(std::nullopt, std::nullopt, job("absent")))
        << "removing what is not there takes";
    fs::remove(path);
    fs::create_directories(path);
    EXPECT_EQ(WriteSetting("a", "1", job()).reason(),
              "the settings file C:\\App\\rkjob.ini could not be read");
    EXPECT_EQ(WriteSetting("ex_a", "1", job()).reason(),
              "the settings file C:\\App\\rkjob.ini could be neither read nor made");
}

TEST_F(CoreSettings, GarbageNulBytesAndAHugeLineSurvive) {
    std::string content = "[settings]\r\na=1\r\nex_z=x\0y\r\n"s + std::string(1 << 20, 'L');
    for (int i = 0; i < 4096; ++i)
        content += static_cast<char>((i * 7919 + 13) % 256);
    setFile(content);
    EXPECT_EQ(ReadSetting("ex_z", "", job()), "x\0y"s);
    WriteSetting("a", "2", job());
    std::vector<std::string> expected = platform::SplitLines(content);
    expected[1] = "a=2";
    EXPECT_EQ(platform::SplitLines(file()), expected) << "only the line ends become CR LF";
    // A folder in place of the file: nothing is read or replaced.
    fs::remove(box.c() / "App" / "rkjob.ini");
    fs::create_directories(box.c() / "App" / "rkjob.ini");
    EXPECT_EQ(ReadSetting("a", "d", job()), "d");
    EXPECT_EQ(ReadSetting("ex_a", "d", job()), "");
    WriteSetting("a", "1", job());
    WriteSetting("ex_a", "1", job());
    EXPECT_EQ(failures.size(), 1U);
}

TEST(CoreTextLines, ReadTextLineTable) {
    const struct {
        std::string_view content;
        std::vector<std::string> lines;
    } rows[] = {{"", {}},
                {"a\r\nb", {"a", "b"}},
                {"a\n\rb", {"a", "b"}},
                {"a\r\rb", {"a", "b"}},
                {"a\n\n\nb", {"a", "", "b"}},
                {"a\r\n\r\nb\r\n", {"a", "", "b"}},
                {"\n", {""}}};
    for (const auto& row : rows)
        EXPECT_EQ(ReadTextLines(row.content), row.lines) << testing::PrintToString(row.content);
    EXPECT_EQ(platform::SplitLines("a\r\n\r\nb\n\nc\r\rd\r\n"),
              (std::vector<std::string>{"a", "", "b", "", "c", "", "d"}));
}

} // namespace
} // namespace rk
