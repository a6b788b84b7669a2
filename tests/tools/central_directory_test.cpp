// rkunzip's own reading of where each entry's local header lies, which lets
// its workers read small entries straight from the archive file: the offsets
// point at the headers libzip reads, zip64 offsets included, and entries
// whose local header is longer than usual still come back whole.

#include "tool_fixture.h"
#include "tools/rkunzip/central_directory.h"
#include "tools/rkzip/zip_records.h"

#include <cstring>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

tools::ReadPart ReaderOf(const std::string& bytes) {
    return [&bytes](std::uint64_t at, std::size_t length) -> std::optional<std::string> {
        if (at > bytes.size() || bytes.size() - at < length)
            return std::nullopt;
        return bytes.substr(static_cast<std::size_t>(at), length);
    };
}

using CentralDirectory = ToolTest;

TEST_F(CentralDirectory, OffsetsPointAtTheLocalHeadersOfLibzipsEntries) {
    for (int i = 0; i < 40; ++i)
        sandbox.write(C("Data/sub" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt"),
                      std::string(static_cast<std::size_t>(i) * 37, 'a'));
    sandbox.write(C("Data/caf\xc3\xa9 back\\slash.txt"), "named");
    fs::create_directories(C("Backups"));
    ASSERT_EQ(Zip({"-a", "-r", "-p", "C:\\Backups\\rk.zip", "C:\\Data\\*.*"}).exitCode, 0);
    ASSERT_EQ(rk::test::Run({"/usr/bin/zip", "-q", "-r", C("Backups/infozip.zip").string(), "."},
                            {}, C("Data"))
                  .exitCode,
              0);
    for (const std::string archive : {"rk.zip", "infozip.zip"}) {
        SCOPED_TRACE(archive);
        const fs::path path = C("Backups/" + archive);
        const std::string bytes = sandbox.read(path);
        const auto offsets = tools::LocalHeaderOffsets(bytes.size(), ReaderOf(bytes));
        ASSERT_TRUE(offsets.has_value());
        int code = 0;
        zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &code);
        ASSERT_NE(zip, nullptr);
        ASSERT_EQ(offsets->size(), static_cast<std::size_t>(zip_get_num_entries(zip, 0)));
        for (std::size_t i = 0; i < offsets->size(); ++i) {
            const std::string name = zip_get_name(zip, i, ZIP_FL_ENC_RAW);
            const std::size_t at = static_cast<std::size_t>((*offsets)[i]);
            ASSERT_EQ(bytes.compare(at, 4, "PK\x03\x04"), 0) << name;
            EXPECT_EQ(tools::ZipField(bytes, at + 26, 2), name.size()) << name;
            EXPECT_EQ(bytes.compare(at + 30, name.size(), name), 0) << name;
        }
        zip_discard(zip);

        // A central directory cut short, or one record's signature damaged,
        // gives nothing: the entries are then read through libzip.
        std::string cut = bytes;
        const std::size_t directory = cut.rfind("PK\x01\x02");
        cut[directory + 1] = 'X';
        EXPECT_FALSE(tools::LocalHeaderOffsets(cut.size(), ReaderOf(cut)).has_value());
        EXPECT_FALSE(tools::LocalHeaderOffsets(bytes.size() - 3, ReaderOf(bytes)).has_value());
    }
}

// Offsets past 4 GiB are read from the records' zip64 field. The archive is
// read through a reader that serves the records at the end of a 6 GiB file
// and zeros before them, so no such file is made.
TEST_F(CentralDirectory, OffsetsPast4GiBComeFromTheZip64Field) {
    const std::vector<std::uint64_t> offsets{0, 3ull << 30, 4ull << 30, 5ull << 30};
    std::vector<unsigned char> records;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        tools::EntryRecord record;
        record.offset = offsets[i];
        record.size = record.compressedSize = i == 3 ? 7ull << 30 : 1;
        record.externalAttributes = 0100644u << 16;
        tools::SetTimes(record, 1700000000);
        tools::AppendCentralRecord(records, record, "big/" + std::to_string(i));
    }
    const std::uint64_t directory = 6ull << 30;
    const std::size_t directorySize = records.size();
    tools::AppendEndRecords(records, offsets.size(), directory, directorySize);
    const std::string tail(records.begin(), records.end());
    const std::uint64_t size = directory + tail.size();
    const tools::ReadPart read = [&](std::uint64_t at,
                                     std::size_t length) -> std::optional<std::string> {
        if (at > size || size - at < length)
            return std::nullopt;
        std::string part(length, '\0');
        for (std::size_t i = 0; i < length; ++i)
            if (at + i >= directory)
                part[i] = tail[static_cast<std::size_t>(at + i - directory)];
        return part;
    };
    EXPECT_EQ(tools::LocalHeaderOffsets(size, read), offsets);
}

TEST_F(CentralDirectory, ALongLocalHeaderStillGivesTheWholeEntry) {
    fs::create_directories(C("Backups"));
    int error = 0;
    zip_t* zip = zip_open(C("Backups/long.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(zip, nullptr);
    const std::vector<std::string> contents{"short", std::string(5000, 'd'), "after"};
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const std::string& content = contents[i];
        void* copy = std::malloc(content.size());
        std::memcpy(copy, content.data(), content.size());
        const zip_int64_t index = zip_file_add(zip, ("Data/f" + std::to_string(i)).c_str(),
                                               zip_source_buffer(zip, copy, content.size(), 1), 0);
        ASSERT_GE(index, 0);
        // A local extra field far longer than the usual timestamp.
        const std::string extra(300 + i * 100, static_cast<char>('0' + i));
        ASSERT_EQ(zip_file_extra_field_set(zip, static_cast<zip_uint64_t>(index), 0xcafe,
                                           ZIP_EXTRA_FIELD_NEW,
                                           reinterpret_cast<const zip_uint8_t*>(extra.data()),
                                           static_cast<zip_uint16_t>(extra.size()), ZIP_FL_LOCAL),
                  0);
    }
    ASSERT_EQ(zip_close(zip), 0);

    const RunResult run =
        Unzip({"-d", "-Jhrs", "-o-", "-yo", "-^^", "C:\\Backups\\long.zip", "C:\\Restore\\"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    for (std::size_t i = 0; i < contents.size(); ++i)
        EXPECT_EQ(sandbox.read(C("Restore/Data/f" + std::to_string(i))), contents[i]) << i;
}

} // namespace
} // namespace rk::test
