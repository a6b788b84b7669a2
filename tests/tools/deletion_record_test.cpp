// The deletion record rkzip writes into every archive of a backup run and
// rkunzip hands to the program (-R@) but never lists, extracts, picks or
// counts; the consolidation's names handed over with -g@.

#include "tool_fixture.h"

#include "tools/common/command_line.h"
#include "tools/common/deletion_record.h"

#include <algorithm>
#include <sqlite3.h>
#include <sys/stat.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(DeletionRecordText, CarriesAnyNameAndReadsBack) {
    tools::DeletionRecord record;
    record.run = tools::RecordedRun::Root;
    record.goneNames = {"Data/a.txt", "Data/line\nbreak", "Data/back\\slash", "Data/caf\xe9",
                        "Data/old/"};
    const std::string text = tools::DeletionRecordText(record);
    // One name a line: no name's own line break splits it.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    const auto read = tools::ReadDeletionRecordText(text);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->run, tools::RecordedRun::Root);
    EXPECT_EQ(read->goneNames, record.goneNames);
    EXPECT_FALSE(tools::ReadDeletionRecordText("Data\\a.txt\n"));
    EXPECT_FALSE(tools::ReadDeletionRecordText("ravelkeep deletion record 1 weekly\n"));
}

TEST(DeletionRecordText, TheReservedNameIsNoNameAFileCanHave) {
    EXPECT_TRUE(tools::IsDeletionRecordName("./ravelkeep-deleted.txt"));
    EXPECT_FALSE(tools::IsDeletionRecordName("ravelkeep-deleted.txt"));
    EXPECT_FALSE(tools::IsDeletionRecordName("Data/./ravelkeep-deleted.txt"));
}

TEST(DeletionRecordCommandLine, GoneNamesGoWithAddOnly) {
    const auto add = tools::ParseZipCommand({"-a", "-g@C:\\gone.tmp", "C:\\a.zip", "C:\\D\\*.*"});
    ASSERT_TRUE(add) << add.reason();
    EXPECT_EQ(add->goneNamesFile, std::optional<std::string>("C:\\gone.tmp"));
    EXPECT_FALSE(tools::ParseZipCommand({"-i", "-g@C:\\gone.tmp", "C:\\a.zip", "C:\\D\\*.*"}));
    EXPECT_FALSE(tools::ParseZipCommand({"-a", "-g@", "C:\\a.zip", "C:\\D\\*.*"}));
    const auto records = tools::ParseUnzipCommand({"-R@C:\\r.tmp", "C:\\a.zip", "C:\\b.zip"});
    ASSERT_TRUE(records) << records.reason();
    EXPECT_EQ(records->moreArchives, Names{"C:\\b.zip"});
    EXPECT_FALSE(tools::ParseUnzipCommand({"-R@C:\\r.tmp", "C:\\a.zip", "C:\\out\\"}));
    EXPECT_FALSE(tools::ParseUnzipCommand({"-R@C:\\r.tmp", "C:\\a.zip", "@C:\\list"}));
}

class DeletionRecord : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(C("Job"));
        WriteLines(C("Job/excl.ini"), {});
        WriteLines(C("list.txt"), {"C:\\Data\\*.*"});
        sandbox.write(C("Data/keep.txt"), "kept");
        sandbox.write(C("Data/old/gone.txt"), "gone later");
        sandbox.write(C("Data/line\nbreak"), "gone later too");
    }
    RunResult Run(const std::string& mode, const std::string& name) const {
        return Backup(mode, "C:\\Job\\" + name, "C:\\Job\\excl.ini", "C:\\list.txt");
    }
    std::string Mtime(const std::string& relative) const {
        struct stat info {};
        EXPECT_EQ(lstat(C(relative).c_str(), &info), 0) << relative;
        return std::to_string(info.st_mtim.tv_sec);
    }
    std::string Record(const std::vector<std::string>& archives) const {
        std::vector<std::string> args{"-R@C:\\record.txt"};
        for (const auto& archive : archives)
            args.push_back("C:\\Job\\" + archive);
        const RunResult written = Unzip(args);
        EXPECT_EQ(written.exitCode, 0) << written.err;
        return sandbox.read(C("record.txt"));
    }
};

TEST_F(DeletionRecord, EachRunRecordsWhatWasGoneSinceTheRunBefore) {
    ASSERT_EQ(Run("-a+", "rk_1.zip").exitCode, 0);
    const std::string before = "F\t4\t" + Mtime("Data/keep.txt") + "\tData\\keep.txt\n" +
                               "F\t14\t" + Mtime("Data/line\nbreak") + "\t\\Data\\line%0Abreak\n" +
                               "F\t10\t" + Mtime("Data/old/gone.txt") + "\tData\\old\\gone.txt\n";
    fs::remove_all(C("Data/old"));
    fs::remove(C("Data/line\nbreak"));
    ASSERT_EQ(Run("-i", "rk_2.zip").exitCode, 0);
    ASSERT_EQ(Run("-i", "rk_3.zip").exitCode, 0);
    EXPECT_EQ(Record({"rk_1.zip", "rk_2.zip", "rk_3.zip"}), "A\tC:\\Job\\rk_1.zip\n" + before +
                                                                "R\troot\n"
                                                                "A\tC:\\Job\\rk_2.zip\n"
                                                                "R\tincremental\n"
                                                                "X\t\\Data\\line%0Abreak\n"
                                                                "X\tData\\old\\\n"
                                                                "X\tData\\old\\gone.txt\n"
                                                                "A\tC:\\Job\\rk_3.zip\n"
                                                                "R\tincremental\n");
}

TEST_F(DeletionRecord, NoListingExtractionOrListPicksIt) {
    ASSERT_EQ(Run("-a+", "rk_1.zip").exitCode, 0);
    ASSERT_EQ(Unzip({"-@C:\\listing.txt", "C:\\Job\\rk_1.zip"}).exitCode, 0);
    EXPECT_EQ(sandbox.read(C("listing.txt")),
              "Data\\keep.txt\r\n\\Data\\line%0Abreak\r\nData\\old\\gone.txt\r\n");
    // Named in an "@" list, or matched by a pattern, it is still no file.
    WriteLines(C("pick.txt"), {".\\ravelkeep-deleted.txt", "ravelkeep-deleted.txt"});
    EXPECT_EQ(Unzip({"-d", "C:\\Job\\rk_1.zip", "@C:\\pick.txt", "C:\\picked\\"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(C("picked/ravelkeep-deleted.txt")));
    EXPECT_EQ(Unzip({"-d", "C:\\Job\\rk_1.zip", "*", "C:\\all\\"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(C("all/ravelkeep-deleted.txt")));
    EXPECT_TRUE(fs::exists(C("all/Data/keep.txt")));
    EXPECT_EQ(Unzip({"-t", "C:\\Job\\rk_1.zip"}).exitCode, 0);
}

TEST_F(DeletionRecord, TheTestCountsTheFilesAndStillChecksTheRecord) {
    ASSERT_EQ(Run("-a+", "rk_1.zip").exitCode, 0);
    const fs::path archive = C("Job/rk_1.zip");
    std::string bytes = sandbox.read(archive);
    // A file's content damaged: 1 of its 5 entries (its folders and files;
    // the record is not one of them).
    std::string damaged = bytes;
    damaged[damaged.find("kept")] = 'K';
    sandbox.write(archive, damaged);
    const RunResult fileDamaged = Unzip({"-t", "C:\\Job\\rk_1.zip"});
    EXPECT_EQ(fileDamaged.exitCode, 1);
    EXPECT_NE(fileDamaged.err.find("1 of the 5 entries"), std::string::npos) << fileDamaged.err;
    // The record damaged: the archive does not test sound either.
    damaged = bytes;
    damaged[damaged.find("ravelkeep deletion record")] = 'R';
    sandbox.write(archive, damaged);
    const RunResult recordDamaged = Unzip({"-t", "C:\\Job\\rk_1.zip"});
    EXPECT_EQ(recordDamaged.exitCode, 1);
    EXPECT_NE(recordDamaged.err.find("deletion record"), std::string::npos) << recordDamaged.err;
    EXPECT_NE(Unzip({"-R@C:\\record.txt", "C:\\Job\\rk_1.zip"}).exitCode, 0);
}

TEST_F(DeletionRecord, AConsolidationCarriesTheNamesItIsGiven) {
    sandbox.write(C("gone.txt"), "Data\\old\\gone.txt\r\n\\Data\\line%0Abreak\r\n");
    const RunResult made = Zip({"-a", "-p", "-r", "-whs", "-yp", "-^^", "-g@C:\\gone.txt",
                                "C:\\Job\\rk_1_C.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::string record = Record({"rk_1_C.zip"});
    EXPECT_NE(record.find("R\tconsolidated\nX\tData\\old\\gone.txt\nX\t\\Data\\line%0Abreak\n"),
              std::string::npos)
        << record;
    // A plain -a writes none, and keeps no names for a later run.
    ASSERT_EQ(Zip({"-a", "-p", "C:\\Job\\plain.zip", "C:\\Data\\*.*"}).exitCode, 0);
    EXPECT_EQ(Record({"plain.zip"}).find("R\t"), std::string::npos);
}

TEST_F(DeletionRecord, ARecordFromBeforeNamesWereKeptRecordsNothingGone) {
    // A record of stamps only, as older runs left it.
    ASSERT_EQ(Run("-a+", "rk_1.zip").exitCode, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(C("Job/.rkzip-state").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DROP TABLE seen", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    fs::remove_all(C("Data/old"));
    ASSERT_EQ(Run("-i", "rk_2.zip").exitCode, 0);
    EXPECT_EQ(Record({"rk_2.zip"}), "A\tC:\\Job\\rk_2.zip\nR\tincremental\n");
    fs::remove(C("Data/keep.txt"));
    ASSERT_EQ(Run("-i", "rk_3.zip").exitCode, 0);
    EXPECT_EQ(Record({"rk_3.zip"}), "A\tC:\\Job\\rk_3.zip\nR\tincremental\nX\tData\\keep.txt\n");
}

} // namespace
} // namespace rk::test
