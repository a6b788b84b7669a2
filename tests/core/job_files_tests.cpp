// The job files module: where each setting of a job lives, the source folder
// list as the backup run, the folder editor and the main window read it, and
// the report lines of the program.

#include "core/job_files.h"
#include "core/program_values.h"
#include "core/report_lines.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace rk {
namespace {

namespace fs = std::filesystem;

TEST(JobFiles, FolderCountsAsEachReaderTakesThem) {
    // Not above 0 lists nothing; others round half to even.
    const struct {
        double declared;
        long long listed;
    } cases[] = {{0, 0}, {-3, 0}, {0.3, 0}, {0.5, 0}, {1, 1}, {2.5, 2}, {3.5, 4}, {40000, 40000}};
    for (const auto& c : cases)
        EXPECT_EQ(ListedFolderCount(c.declared), c.listed) << c.declared;
}

// A folder value is read whole: its first 511 characters name another
// folder. Every other setting keeps the cut.
TEST(JobFiles, AFolderValueIsReadWhole) {
    test::Sandbox box;
    fs::create_directories(box.c() / "Store" / "Long");
    JobStoreFolder = "C:\\Store\\";
    const std::string job = JobFolderOf("Long");
    std::string folder = "C:";
    while (folder.size() < 600)
        folder += "\\" + std::string(40, 'd');
    WriteSourceFolders(job, {folder, "C:\\Short"});
    WriteSetting("note", folder, JobSettingsPlace(job, JobSection::Settings));
    EXPECT_EQ(SourceFolderValue(job, 1), folder);
    EXPECT_EQ(SourceFolderValue(job, 2), "C:\\Short");
    EXPECT_EQ(ReadSetting("note", "", JobSettingsPlace(job, JobSection::Settings)),
              folder.substr(0, 511));
    EXPECT_EQ(ReadWholeSetting("note", "", JobSettingsPlace(job, JobSection::Settings)), folder);
    EXPECT_EQ(ReadWholeSetting("absent", "fallback", JobSettingsPlace(job, JobSection::Settings)),
              "fallback");
}

// What the settings could not give back as written is refused as a source
// folder, with the reason.
TEST(JobFiles, AFolderTheSettingsCannotHoldIsNamedWithItsReason) {
    EXPECT_EQ(CheckSourceFolder("C:\\Data").reason(), "");
    EXPECT_EQ(CheckSourceFolder("\\\\?\\C:\\proj \\").reason(), "");
    EXPECT_EQ(CheckSourceFolder("C:\\" + std::string(32764, 'x')).reason(), "");
    EXPECT_EQ(CheckSourceFolder("C:\\" + std::string(32765, 'x')).reason(),
              "its path is 32768 characters long; at most 32767 can be kept");
    EXPECT_EQ(CheckSourceFolder("C:\\a\nb").reason(), "its path holds a line break");
    EXPECT_EQ(CheckSourceFolder("C:\\a\rb").reason(), "its path holds a line break");
    EXPECT_EQ(CheckSourceFolder(std::string("C:\\a\0b", 6)).reason(),
              "its path holds a line break");
    EXPECT_EQ(CheckSourceFolder("C:\\proj ").reason(), "its path starts or ends with a blank");
    EXPECT_EQ(CheckSourceFolder("C:\\proj\t").reason(), "its path starts or ends with a blank");
    EXPECT_TRUE(SettingCanHold("a = b"));
    EXPECT_FALSE(SettingCanHold(" a"));
}

TEST(JobFiles, SourceFoldersAreWrittenAndReadBackInTheJobsSettingsFile) {
    test::Sandbox box;
    fs::create_directories(box.c() / "Store" / "Weekly");
    JobStoreFolder = "C:\\Store\\";
    const std::string job = JobFolderOf("Weekly");
    EXPECT_EQ(job, "C:\\Store\\Weekly");
    WriteSetting("created", "today", JobSettingsPlace(job, JobSection::Settings));
    WriteSourceFolders(job, std::vector<std::string>{"C:\\Data", "D:\\More Files"});
    EXPECT_EQ(box.read(box.c() / "Store" / "Weekly" / "rkjob.ini"),
              "[settings]\r\ncreated=today\r\n[folders]\r\nfoldercount= 2\r\n"
              "folder1=C:\\Data\r\nfolder2=D:\\More Files\r\n");
    EXPECT_EQ(DeclaredFolderCount(job), 2);
    EXPECT_EQ(SourceFolderValue(job, 2), "D:\\More Files");
    EXPECT_EQ(SourceFolderValue(job, 3), "");
    // Writing again replaces the whole section.
    WriteSourceFolders(job, std::vector<std::string>{"E:\\Only"});
    EXPECT_EQ(DeclaredFolderCount(job), 1);
    EXPECT_EQ(SourceFolderValue(job, 2), "");
    EXPECT_EQ(ExclusionFilePath(job), "C:\\Store\\Weekly\\excl.ini");
}

TEST(ReportLines, EachLineStartsWithTheProgramsName) {
    std::ostringstream errors;
    ReportLine(errors, "one line");
    ReportLines(errors, "first\r\nsecond\n\nthird");
    EXPECT_EQ(errors.str(), "rkbak: one line\nrkbak: first\nrkbak: second\nrkbak: third\n");
}

} // namespace
} // namespace rk
