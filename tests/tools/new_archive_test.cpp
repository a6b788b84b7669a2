// A new archive as rkzip streams it out itself: its records read the same as
// libzip's, names of two sources meet as they do in libzip's archives, the
// buffered output fills in and cuts back correctly, and an archive of more
// entries than the plain end record counts gets its zip64 records.

#include "tool_fixture.h"
#include "tools/rkunzip/unix_listing.h"
#include "tools/rkzip/archive_output.h"
#include "tools/rkzip/zip_records.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

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
    EXPECT_EQ(ArchiveNamesInOrder(made), ArchiveNamesInOrder(C("Backups/libzip.zip")));
    EXPECT_EQ(ArchiveNamesInOrder(made),
              (std::vector<std::string>{"first.txt", "same.txt", "sub/", "sub/only-a.txt",
                                        "sub/only-b.txt"}));
    const RunResult content = rk::test::Run({"/usr/bin/unzip", "-p", made.string(), "same.txt"});
    EXPECT_EQ(content.out, "from A");
    EXPECT_EQ(fs::status(made).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// Past 65,534 entries the plain end record cannot count them: the records
// get their zip64 forms, and Info-ZIP, 7-Zip, libzip and rkunzip's own
// listing all find every entry through them. Built from the records as the
// writer builds them, so no tens of thousands of files are made on disk.
TEST_F(NewArchive, ManyEntriesGetZip64EndRecords) {
    constexpr std::size_t kEntries = 65600;
    std::vector<unsigned char> archive;
    std::vector<tools::EntryRecord> records(kEntries);
    const std::string content = "x";
    for (std::size_t i = 0; i < kEntries; ++i) {
        tools::EntryRecord& record = records[i];
        record.offset = archive.size();
        record.size = record.compressedSize = content.size();
        record.crc = 0x8cdc1683; // CRC-32 of "x"
        record.externalAttributes = 0100644u << 16;
        tools::SetTimes(record, 1700000000);
        tools::AppendLocalHeader(archive, record, "f/" + std::to_string(i));
        archive.insert(archive.end(), content.begin(), content.end());
    }
    const std::uint64_t directory = archive.size();
    for (std::size_t i = 0; i < kEntries; ++i)
        tools::AppendCentralRecord(archive, records[i], "f/" + std::to_string(i));
    tools::AppendEndRecords(archive, kEntries, directory, archive.size() - directory);
    const fs::path path = C("Backups/many.zip");
    sandbox.write(path, std::string(archive.begin(), archive.end()));

    EXPECT_NE(sandbox.read(path).find("PK\x06\x06"), std::string::npos);
    EXPECT_TRUE(IsSound(path));
    EXPECT_EQ(rk::test::Run({"/usr/bin/7zz", "t", path.string()}).exitCode, 0);
    int code = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
    ASSERT_NE(zip, nullptr) << code;
    EXPECT_EQ(zip_get_num_entries(zip, 0), static_cast<zip_int64_t>(kEntries));
    zip_discard(zip);
    // Listed from the zip64 records without libzip.
    ASSERT_TRUE(tools::UnixListingText(sandbox.read(path)).has_value());
    const RunResult listed = Unzip({"-@C:\\Backups\\many.txt", "C:\\Backups\\many.zip"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::string listing = sandbox.read(C("Backups/many.txt"));
    EXPECT_EQ(static_cast<std::size_t>(std::count(listing.begin(), listing.end(), '\n')), kEntries);
    EXPECT_NE(listing.find("f\\65599\r\n"), std::string::npos);
}

} // namespace
} // namespace rk::test
