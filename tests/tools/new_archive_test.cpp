// A new archive as rkzip streams it out itself: its records read the same as
// libzip's, names of two sources meet as they do in libzip's archives, the
// buffered output fills in and cuts back correctly, and an archive of more
// entries than the plain end record counts gets its zip64 records.

#include "tool_fixture.h"
#include "tools/rkzip/archive_output.h"
#include "tools/rkzip/zip_records.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> NamesInOrder(const fs::path& archive) {
    const RunResult listed = rk::test::Run({"/usr/bin/unzip", "-Z1", archive.string()});
    std::vector<std::string> names;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            names.push_back(line);
    return names;
}

class NewArchive : public ToolTest {
  protected:
    void SetUp() override { fs::create_directories(C("Backups")); }
};

// The UTF-8 mark goes on exactly the names libzip marks when it guesses.
TEST_F(NewArchive, Utf8MarkAsLibzipGuessesIt) {
    const std::vector<std::string> names{
        "plain.txt", "caf\xc3\xa9",           "bad\xff", "tab\tand\r\nbreaks", "ctl\x01",
        "del\x7f",   "emoji\xf0\x9f\x98\x80", "cut\xc3", "over\xc0\x80long",   "three\xe2\x82\xac!",
        "lone\x80"};
    for (const std::string& name : names) {
        const fs::path archive = C("Backups/guess.zip");
        fs::remove(archive);
        int code = 0;
        zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE, &code);
        ASSERT_NE(zip, nullptr);
        zip_source_t* source = zip_source_buffer(zip, "x", 1, 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_GUESS), 0);
        ASSERT_EQ(zip_close(zip), 0);
        const std::string bytes = sandbox.read(archive);
        ASSERT_GT(bytes.size(), 8u);
        const bool marked = (static_cast<unsigned char>(bytes[7]) & 0x08) != 0;
        EXPECT_EQ(tools::NeedsUtf8Flag(name), marked) << name;
    }
}

// Bytes filled in or cut off land where they belong, in the file and in the
// buffer alike, and the file ends where the archive does.
TEST_F(NewArchive, OutputFillsInAndCutsBackAcrossItsBuffer) {
    const fs::path file = C("out.bin");
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    std::string expected;
    {
        tools::ArchiveOutput out(fd);
        std::vector<unsigned char> piece(700 * 1024);
        for (std::size_t i = 0; i < piece.size(); ++i)
            piece[i] = static_cast<unsigned char>(i * 7);
        out.Append(piece); // buffered
        out.Append(piece); // the first goes to the file
        expected.assign(piece.begin(), piece.end());
        expected += expected;
        // Across the line between the file and the buffer.
        const std::vector<unsigned char> patch{'P', 'A', 'T', 'C', 'H'};
        out.Patch(piece.size() - 2, patch);
        expected.replace(piece.size() - 2, 5, "PATCH");
        // Cut back into what the file holds, then written on.
        out.CutTo(1000);
        expected.resize(1000);
        out.Append("tail", 4);
        expected += "tail";
        EXPECT_EQ(out.offset(), expected.size());
        out.Flush();
        ASSERT_TRUE(out.ok());
    }
    close(fd);
    EXPECT_TRUE(sandbox.read(file) == expected);
}

// Two folders stored by relative path meet in one name: the first of the
// name is stored, exactly as when libzip adds the same files to an existing
// archive.
TEST_F(NewArchive, SameNamesFromTwoSourcesMeetAsInLibzip) {
    sandbox.write(C("A/same.txt"), "from A");
    sandbox.write(C("A/sub/only-a.txt"), "only in A");
    sandbox.write(C("A/first.txt"), "first");
    sandbox.write(C("B/same.txt"), "from B, the later one");
    sandbox.write(C("B/sub/only-b.txt"), "only in B");
    WriteLines(C("list.lst"), {"C:\\A\\*.*", "C:\\B\\*.*"});

    // The same run adding to an existing, empty archive goes through libzip.
    const std::string emptyArchive{"PK\x05\x06" + std::string(18, '\0')};
    sandbox.write(C("Backups/libzip.zip"), emptyArchive);
    for (const std::string name : {"new", "libzip"}) {
        const RunResult run =
            Zip({"-a", "-r", "-p", "C:\\Backups\\" + name + ".zip", "@C:\\list.lst"});
        ASSERT_EQ(run.exitCode, 0) << name << run.err;
    }
    const fs::path made = C("Backups/new.zip");
    EXPECT_TRUE(IsSound(made));
    EXPECT_EQ(rk::test::Run({"/usr/bin/7zz", "t", made.string()}).exitCode, 0);
    EXPECT_EQ(NamesInOrder(made), NamesInOrder(C("Backups/libzip.zip")));
    EXPECT_EQ(NamesInOrder(made), (std::vector<std::string>{"first.txt", "same.txt", "sub/",
                                                            "sub/only-a.txt", "sub/only-b.txt"}));
    const RunResult content = rk::test::Run({"/usr/bin/unzip", "-p", made.string(), "same.txt"});
    EXPECT_EQ(content.out, "from A");
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Past 65,534 entries the plain end record cannot count them: both readers
// and rkunzip find every entry through the zip64 records.
TEST_F(NewArchive, ManyEntriesGetZip64EndRecords) {
    constexpr int kFolders = 20;
    constexpr int kPerFolder = 3300;
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = C("Many/f" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < kPerFolder; ++i)
            std::ofstream(folder / std::to_string(i)) << i;
    }
    const RunResult run = Zip({"-a", "-r", "-p", "C:\\Backups\\many.zip", "C:\\Many\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path archive = C("Backups/many.zip");
    const std::string bytes = sandbox.read(archive);
    EXPECT_NE(bytes.find("PK\x06\x06"), std::string::npos);
    EXPECT_TRUE(IsSound(archive));
    EXPECT_EQ(rk::test::Run({"/usr/bin/7zz", "t", archive.string()}).exitCode, 0);
    const RunResult restored =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\many.zip", "C:\\Out\\"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(C("Out")))
        if (entry.is_regular_file())
            ++files;
    EXPECT_EQ(files, std::size_t{kFolders * kPerFolder});
    EXPECT_EQ(sandbox.read(C("Out/f7/1234")), "1234");
}

} // namespace
} // namespace rk::test
