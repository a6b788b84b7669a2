// The packed source with libzip itself: libzip copies packed bytes as they
// are and writes the method they really have, and a file that cannot be read
// makes the archive fail with its read state noting why.

#include "support/sandbox.h"
#include "tools/rkzip/packed_source.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

struct Entry {
    rk::tools::SourcePlace place;
    rk::tools::SourceFile file;
    rk::tools::FileReadState read;
    rk::tools::PackedSourceState packed;
};

class ArchivePackedSource : public ::testing::Test {
  protected:
    Sandbox sandbox;
    std::vector<std::unique_ptr<Entry>> entries;

    void Found(const std::string& name, const std::string& content) {
        auto entry = std::make_unique<Entry>();
        entry->place.host = sandbox.c().string();
        entry->file.place = &entry->place;
        entry->file.name = name;
        sandbox.write(entry->file.HostPath(), content);
        struct stat info {};
        ASSERT_EQ(stat(entry->file.HostPath().c_str(), &info), 0);
        entry->file.stamp = rk::tools::StampOf(info);
        entries.push_back(std::move(entry));
    }

    // Writes the entries found with packed sources; the result of zip_close.
    int Write(const fs::path& archivePath) {
        rk::tools::PackingAhead packing;
        int error = 0;
        zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        EXPECT_NE(archive, nullptr);
        for (auto& entry : entries) {
            entry->read.file = &entry->file;
            entry->packed.packing = &packing;
            entry->packed.read = &entry->read;
            zip_source_t* source = rk::tools::MakePackedSource(archive, entry->packed);
            const zip_int64_t index =
                zip_file_add(archive, entry->file.StoredName().c_str(), source, 0);
            EXPECT_GE(index, 0);
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
            entry->packed.job = packing.Add(entry->read);
            entry->packed.queued = true;
        }
        packing.Start();
        const int closed = zip_close(archive);
        packing.Stop();
        if (closed != 0)
            zip_discard(archive);
        return closed;
    }
};

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(17);
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

TEST_F(ArchivePackedSource, LibzipWritesPackedBytesWithTheirRealMethod) {
    const std::string text(200000, 't');
    const std::string random = RandomBytes(100000);
    Found("text.txt", text);
    Found("random.bin", random);
    const fs::path path = sandbox.c() / "a.zip";
    ASSERT_EQ(Write(path), 0);

    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr) << error;
    for (const auto& [name, content, method] :
         {std::tuple{"text.txt", text, ZIP_CM_DEFLATE}, {"random.bin", random, ZIP_CM_STORE}}) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat(archive, name, 0, &st), 0);
        EXPECT_EQ(st.comp_method, method) << name;
        EXPECT_EQ(st.size, content.size());
        if (method == ZIP_CM_STORE)
            EXPECT_EQ(st.comp_size, content.size());
        else
            EXPECT_LT(st.comp_size, content.size() / 10);
        zip_file_t* file = zip_fopen(archive, name, 0);
        ASSERT_NE(file, nullptr);
        std::string read(content.size() + 1, '\0');
        EXPECT_EQ(zip_fread(file, read.data(), read.size()),
                  static_cast<zip_int64_t>(content.size()));
        // libzip checks the CRC at the end of the data.
        EXPECT_EQ(zip_fclose(file), 0) << name;
        read.resize(content.size());
        EXPECT_TRUE(read == content) << name;
    }
    zip_close(archive);
}

TEST_F(ArchivePackedSource, FileGrownTooLargeToPackStreamsThroughLibzip) {
    Found("grown.log", "small when found");
    const std::string grown(rk::tools::kLargestPackedAhead + 100, 'g');
    sandbox.write(entries[0]->file.HostPath(), grown);
    const fs::path path = sandbox.c() / "c.zip";
    ASSERT_EQ(Write(path), 0);
    EXPECT_TRUE(entries[0]->read.changed);
    EXPECT_FALSE(entries[0]->read.failed);

    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr) << error;
    zip_stat_t st;
    ASSERT_EQ(zip_stat(archive, "grown.log", 0, &st), 0);
    EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
    EXPECT_EQ(st.size, grown.size());
    zip_file_t* file = zip_fopen(archive, "grown.log", 0);
    ASSERT_NE(file, nullptr);
    std::string read(grown.size() + 1, '\0');
    EXPECT_EQ(zip_fread(file, read.data(), read.size()), static_cast<zip_int64_t>(grown.size()));
    EXPECT_EQ(zip_fclose(file), 0);
    read.resize(grown.size());
    EXPECT_TRUE(read == grown);
    zip_close(archive);
}

TEST_F(ArchivePackedSource, UnreadableFileFailsTheArchiveAndIsNoted) {
    Found("good.txt", "good");
    Found("gone.txt", "gone soon");
    fs::remove(entries[1]->file.HostPath());
    const fs::path path = sandbox.c() / "b.zip";
    EXPECT_NE(Write(path), 0);
    EXPECT_FALSE(entries[0]->read.failed);
    EXPECT_TRUE(entries[1]->read.failed);
    EXPECT_EQ(entries[1]->read.failure, ENOENT);
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
} // namespace rk::test
