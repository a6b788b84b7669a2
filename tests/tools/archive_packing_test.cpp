// Packing files ahead of the archive writer: what each file becomes, the
// read state it leaves, and the workers' order and limits.

#include "support/sandbox.h"
#include "tools/rkzip/packing_ahead.h"

#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sys/stat.h>

#define ZLIB_CONST
#include <zlib.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;
using rk::tools::FileReadState;
using rk::tools::PackedEntry;
using rk::tools::PackingAhead;
using rk::tools::PackingLimits;
using rk::tools::SourceFile;
using Bytes = std::vector<unsigned char>;
using rk::tools::ByteBuffer;

ByteBuffer Buffer(const Bytes& bytes) {
    return ByteBuffer(bytes.begin(), bytes.end());
}

Bytes Plain(const ByteBuffer& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

Bytes Text(std::size_t size, unsigned seed) {
    static const std::string words = "backup archive folder restore newest version job ";
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size)
        bytes.push_back(static_cast<unsigned char>(words[random() % words.size()]));
    return bytes;
}

Bytes Inflated(const Bytes& deflated, std::size_t size) {
    Bytes out(size + 1);
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
    stream.next_in = deflated.data();
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    inflateEnd(&stream);
    return Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stream.total_out));
}

// The content a packed entry holds.
Bytes Content(const PackedEntry& packed) {
    return packed.deflated ? Inflated(Plain(packed.bytes), packed.size) : Plain(packed.bytes);
}

class ArchivePacking : public ::testing::Test {
  protected:
    Sandbox sandbox;
    std::atomic<bool> running{false};
    rk::tools::SourcePlace place{sandbox.c().string(), {}, {}};

    // A file on disk, found as the walk finds it.
    std::unique_ptr<SourceFile> Found(const std::string& name, const Bytes& content) const {
        const fs::path path = sandbox.c() / name;
        sandbox.write(
            path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
        auto file = std::make_unique<SourceFile>();
        file->place = &place;
        file->name = name;
        struct stat info {};
        EXPECT_EQ(stat(file->HostPath().c_str(), &info), 0);
        file->stamp = rk::tools::StampOf(info);
        return file;
    }
};

TEST_F(ArchivePacking, DeflatedOnlyWhenThatMakesItSmaller) {
    for (const Bytes& content : {RandomBytes(300000, 1), Bytes{'x'}, Bytes{}}) {
        const PackedEntry packed = rk::tools::PackContent(Buffer(content), running);
        EXPECT_EQ(packed.outcome, PackedEntry::Outcome::Ready);
        EXPECT_FALSE(packed.deflated) << content.size();
        EXPECT_EQ(Plain(packed.bytes), content);
        EXPECT_EQ(packed.size, content.size());
    }
    Bytes mixed = RandomBytes(16 * 1024, 2);
    const Bytes text = Text(1 << 20, 3);
    mixed.insert(mixed.end(), text.begin(), text.end());
    for (const Bytes& content : {Text(3 << 20, 4), mixed, Bytes(40, 'a')}) {
        const PackedEntry packed = rk::tools::PackContent(Buffer(content), running);
        EXPECT_TRUE(packed.deflated) << content.size();
        EXPECT_LT(packed.bytes.size(), content.size());
        EXPECT_EQ(Content(packed), content);
    }
    const std::string check = "123456789";
    EXPECT_EQ(rk::tools::PackContent(Buffer(Bytes(check.begin(), check.end())), running).crc,
              0xCBF43926u);
}

TEST_F(ArchivePacking, ReadStateNotesChangeFailureAndGrowth) {
    const Bytes text = Text(200000, 5);
    const auto same = Found("same.txt", text);
    FileReadState sameState;
    sameState.file = same.get();
    const PackedEntry packed = rk::tools::PackFile(sameState, 1 << 20, running);
    EXPECT_EQ(packed.outcome, PackedEntry::Outcome::Ready);
    EXPECT_FALSE(sameState.changed);
    EXPECT_FALSE(sameState.failed);
    EXPECT_EQ(sameState.fd, -1);
    EXPECT_EQ(Content(packed), text);

    // Rewritten after it was found: still packed as read, but noted.
    const auto rewritten = Found("rewritten.txt", text);
    sandbox.write(rewritten->HostPath(), "shorter now");
    FileReadState rewrittenState;
    rewrittenState.file = rewritten.get();
    const PackedEntry changed = rk::tools::PackFile(rewrittenState, 1 << 20, running);
    EXPECT_EQ(changed.outcome, PackedEntry::Outcome::Ready);
    EXPECT_TRUE(rewrittenState.changed);
    EXPECT_EQ(Content(changed), (Bytes{'s', 'h', 'o', 'r', 't', 'e', 'r', ' ', 'n', 'o', 'w'}));

    const auto gone = Found("gone.txt", text);
    fs::remove(gone->HostPath());
    FileReadState goneState;
    goneState.file = gone.get();
    EXPECT_EQ(rk::tools::PackFile(goneState, 1 << 20, running).outcome,
              PackedEntry::Outcome::Failed);
    EXPECT_TRUE(goneState.failed);
    EXPECT_EQ(goneState.failure, ENOENT);

    // Grown past the limit since it was found: left to be read as written.
    const auto grown = Found("grown.txt", Text(1000, 6));
    sandbox.write(grown->HostPath(), std::string(5000, 'g'));
    FileReadState grownState;
    grownState.file = grown.get();
    EXPECT_EQ(rk::tools::PackFile(grownState, 4096, running).outcome,
              PackedEntry::Outcome::TooLarge);
    EXPECT_FALSE(grownState.failed);
    EXPECT_EQ(grownState.fd, -1);
}

TEST_F(ArchivePacking, CompressedTypesStoredAndReplacedFilesNotPacked) {
    // A file of a compressed type is read as it is, however well it would
    // deflate.
    const Bytes text = Text(50000, 7);
    const auto photo = Found("photo.jpg", text);
    FileReadState photoState;
    photoState.file = photo.get();
    photoState.storeAsItIs = true;
    const PackedEntry stored = rk::tools::PackFile(photoState, 1 << 20, running);
    EXPECT_EQ(stored.outcome, PackedEntry::Outcome::Ready);
    EXPECT_FALSE(stored.deflated);
    EXPECT_EQ(Plain(stored.bytes), text);
    EXPECT_FALSE(photoState.changed);

    // Replaced by a FIFO after it was found: no regular file, not packed.
    const auto piped = Found("piped.txt", text);
    fs::remove(piped->HostPath());
    ASSERT_EQ(mkfifo(piped->HostPath().c_str(), 0600), 0);
    FileReadState pipedState;
    pipedState.file = piped.get();
    EXPECT_EQ(rk::tools::PackFile(pipedState, 1 << 20, running).outcome,
              PackedEntry::Outcome::Failed);
    EXPECT_TRUE(pipedState.failed);
    EXPECT_EQ(pipedState.failure, EINVAL);
    EXPECT_EQ(pipedState.fd, -1);

    // Rewritten with as many bytes: the change still shows.
    const auto same = Found("same-size.txt", text);
    Bytes other = text;
    other[0] = other[0] == 'x' ? 'y' : 'x';
    struct timespec pause {
        0, 20000000
    };
    nanosleep(&pause, nullptr);
    sandbox.write(same->HostPath(),
                  std::string_view(reinterpret_cast<const char*>(other.data()), other.size()));
    FileReadState sameState;
    sameState.file = same.get();
    const PackedEntry rewritten = rk::tools::PackFile(sameState, 1 << 20, running);
    EXPECT_EQ(rewritten.outcome, PackedEntry::Outcome::Ready);
    EXPECT_TRUE(sameState.changed);
    EXPECT_EQ(Content(rewritten), other);
}

TEST_F(ArchivePacking, WorkersKeepEntryOrderWithinTightLimits) {
    constexpr int kFiles = 120;
    std::vector<std::unique_ptr<SourceFile>> files;
    std::vector<Bytes> contents;
    for (int i = 0; i < kFiles; ++i) {
        const auto size = static_cast<std::size_t>(i * 997 % 70000);
        contents.push_back(i % 3 == 0 ? RandomBytes(size, static_cast<unsigned>(i))
                                      : Text(size, static_cast<unsigned>(i)));
        files.push_back(Found("f" + std::to_string(i), contents.back()));
    }
    // The last limits take files in batches of many.
    for (const PackingLimits limits :
         {PackingLimits{4, 2, 1}, PackingLimits{3, 8, 200000}, PackingLimits{1, 1, 1 << 30},
          PackingLimits{2, 256, 1 << 30}}) {
        std::vector<FileReadState> states(kFiles);
        PackingAhead packing(limits);
        for (int i = 0; i < kFiles; ++i) {
            states[static_cast<std::size_t>(i)].file = files[static_cast<std::size_t>(i)].get();
            EXPECT_EQ(packing.Add(states[static_cast<std::size_t>(i)]),
                      static_cast<std::size_t>(i));
        }
        // Entries libzip drops before writing are never read.
        fs::remove(files[7]->HostPath());
        packing.Release(7);
        packing.Start();
        for (std::size_t i = 0; i < kFiles; ++i) {
            if (i == 7 || i % 11 == 5)
                continue; // taken as done with by the next wait
            const PackedEntry& packed = packing.Wait(i);
            ASSERT_EQ(packed.outcome, PackedEntry::Outcome::Ready) << i;
            EXPECT_EQ(Content(packed), contents[i]) << i;
            EXPECT_FALSE(states[i].changed) << i;
            packing.Release(i);
        }
        packing.Stop();
        EXPECT_FALSE(states[7].failed);
        fs::remove(files[7]->HostPath());
        files[7] = Found("f7", contents[7]);
    }
}

TEST_F(ArchivePacking, StoppingEndsTheWorkersWithoutFailures) {
    std::vector<std::unique_ptr<SourceFile>> files;
    files.reserve(40);
    for (int i = 0; i < 40; ++i)
        files.push_back(Found("s" + std::to_string(i), Text(100000, static_cast<unsigned>(i))));
    std::vector<FileReadState> states(files.size());
    PackingAhead packing(PackingLimits{2, 4, 1 << 30});
    for (std::size_t i = 0; i < files.size(); ++i) {
        states[i].file = files[i].get();
        packing.Add(states[i]);
    }
    packing.Start();
    EXPECT_EQ(packing.Wait(0).outcome, PackedEntry::Outcome::Ready);
    packing.Stop();
    // Files left unpacked do not count as unreadable.
    for (const auto& state : states) {
        EXPECT_FALSE(state.failed);
        EXPECT_EQ(state.fd, -1);
    }
}

} // namespace
} // namespace rk::test
