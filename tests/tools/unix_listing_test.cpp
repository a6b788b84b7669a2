// The listing read straight from the central directory gives exactly what
// the listing through libzip gives, for every archive it takes, and leaves
// every other archive to libzip.

#include "tool_fixture.h"
#include "tools/rkunzip/listing.h"
#include "tools/rkunzip/unix_listing.h"

#include <sys/socket.h>
#include <unistd.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

std::string LibzipListing(const fs::path& archive) {
    int code = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &code);
    EXPECT_NE(zip, nullptr) << archive;
    if (zip == nullptr)
        return {};
    std::string text = tools::ListingText(zip);
    zip_discard(zip);
    return text;
}

class UnixListing : public ToolTest {
  protected:
    void SetUp() override { fs::create_directories(C("Backups")); }
};

TEST_F(UnixListing, SameAsLibzipForUnixArchives) {
    const std::vector<std::string> names{"plain.txt",       "back\\slash.txt", "comma, in it.txt",
                                         "trailing space ", "caf\xc3\xa9.txt", "bad\xff.bin",
                                         "pct%41.txt",      "line\nbreak"};
    for (const auto& name : names)
        sandbox.write(C("Data/sub/" + name), "content of " + name);
    fs::create_directories(C("Data/empty folder"));
    ASSERT_EQ(symlink("plain.txt", C("Data/sub/link").c_str()), 0);

    // rkzip's own archive, one libzip wrote (adding to an empty archive),
    // and Info-ZIP's.
    ASSERT_EQ(Zip({"-a", "-r", "-p", "C:\\Backups\\rk.zip", "C:\\Data\\*.*"}).exitCode, 0);
    sandbox.write(C("Backups/libzip.zip"), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    ASSERT_EQ(Zip({"-a", "-r", "-p", "C:\\Backups\\libzip.zip", "C:\\Data\\*.*"}).exitCode, 0);
    ASSERT_EQ(
        rk::test::Run({"/usr/bin/zip", "-q", "-r", "-y", C("Backups/infozip.zip").string(), "."},
                      {}, C("Data"))
            .exitCode,
        0);
    for (const std::string archive : {"rk.zip", "libzip.zip", "infozip.zip"}) {
        const fs::path path = C("Backups/" + archive);
        const auto fast = tools::UnixListingText(sandbox.read(path));
        ASSERT_TRUE(fast.has_value()) << archive;
        EXPECT_EQ(*fast, LibzipListing(path)) << archive;
        EXPECT_NE(fast->find("\"sub\\comma, in it.txt\"\r\n"), std::string::npos) << *fast;
        EXPECT_EQ(fast->find("empty folder"), std::string::npos) << *fast;
        EXPECT_EQ(tools::UnixListingOfFile(path), fast) << archive;
    }

    // The process gives the same listing file.
    ASSERT_EQ(Unzip({"-@C:\\Backups\\list.txt", "C:\\Backups\\rk.zip"}).exitCode, 0);
    EXPECT_EQ(sandbox.read(C("Backups/list.txt")), LibzipListing(C("Backups/rk.zip")));
}

TEST_F(UnixListing, LeavesEveryOtherArchiveToLibzip) {
    // Made on DOS: its names may need CP437 decoding.
    const fs::path dos = C("Backups/dos.zip");
    {
        int code = 0;
        zip_t* zip = zip_open(dos.c_str(), ZIP_CREATE, &code);
        ASSERT_NE(zip, nullptr);
        const zip_int64_t index =
            zip_file_add(zip, "caf\x82.txt", zip_source_buffer(zip, "x", 1, 0), ZIP_FL_ENC_RAW);
        ASSERT_GE(index, 0);
        zip_file_set_external_attributes(zip, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_DOS,
                                         0);
        ASSERT_EQ(zip_close(zip), 0);
    }
    EXPECT_FALSE(tools::UnixListingText(sandbox.read(dos)).has_value());
    ASSERT_EQ(Unzip({"-@C:\\Backups\\dos.txt", "C:\\Backups\\dos.zip"}).exitCode, 0);
    EXPECT_EQ(sandbox.read(C("Backups/dos.txt")), "caf\xc3\xa9.txt\r\n");

    // Damaged archives: cut short, a directory that does not add up, or no
    // archive at all. libzip names what is wrong.
    sandbox.write(C("Data/a.txt"), "a");
    ASSERT_EQ(Zip({"-a", "-p", "C:\\Backups\\good.zip", "C:\\Data\\*.*"}).exitCode, 0);
    const std::string good = sandbox.read(C("Backups/good.zip"));
    ASSERT_TRUE(tools::UnixListingText(good).has_value());
    std::string wrongCount = good;
    wrongCount[wrongCount.size() - 12] = 5; // entries on this disk
    std::string wrongSize = good;
    wrongSize[wrongSize.size() - 10] = static_cast<char>(wrongSize[wrongSize.size() - 10] + 1);
    for (const std::string& bad : {good.substr(0, good.size() - 5), wrongCount, wrongSize,
                                   std::string("not a zip archive at all")})
        EXPECT_FALSE(tools::UnixListingText(bad).has_value());
    sandbox.write(C("Backups/bad.zip"), good.substr(0, good.size() - 5));
    const RunResult refused = Unzip({"-@C:\\Backups\\bad.txt", "C:\\Backups\\bad.zip"});
    EXPECT_GE(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("can't open zip archive"), std::string::npos) << refused.err;
}

} // namespace
} // namespace rk::test
