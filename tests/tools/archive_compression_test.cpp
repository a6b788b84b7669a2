// How rkzip stores each file: deflated when that makes it smaller, stored as
// it is otherwise, and packed on every core without changing the entries'
// order or content.

#include "tool_fixture.h"

#include "tools/rkzip/compression_choice.h"

#include <map>
#include <random>
#include <sstream>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(random());
    return bytes;
}

std::string Text(std::size_t size, unsigned seed) {
    static const std::string words = "backup archive folder restore newest version job ";
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size)
        text += words.substr(random() % 20, 25);
    text.resize(size);
    return text;
}

class ArchiveCompression : public ToolTest {
  protected:
    void SetUp() override { fs::create_directories(C("Backups")); }

    // The method of each entry as Info-ZIP's "unzip -v" shows it ("Stored",
    // "Defl:N").
    std::map<std::string, std::string> Methods(const fs::path& archive) const {
        const RunResult listed = rk::test::Run({"/usr/bin/unzip", "-v", archive.string()});
        std::map<std::string, std::string> methods;
        std::istringstream lines(listed.out);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string length, method, size, ratio, date, time, crc, name;
            if (fields >> length >> method >> size >> ratio >> date >> time >> crc >> name &&
                crc.size() == 8 && crc.find_first_not_of("0123456789abcdef") == std::string::npos)
                methods[name] = method;
        }
        return methods;
    }

    // The sizes of rkzip's archive and of Info-ZIP's "zip -6" of the same
    // files, each made of the folder Data; both archives are sound.
    std::pair<std::uintmax_t, std::uintmax_t> SizeAgainstInfoZip(const std::string& name) const {
        const RunResult run = Zip({"-a", "-p", "-r", "C:\\Backups\\" + name, "C:\\Data\\*.*"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(IsSound(C("Backups/" + name)));
        const fs::path theirs = C("Backups/infozip-" + name);
        const RunResult peer = rk::test::Run(
            {"/usr/bin/zip", "-q", "-r", "-6", "-X", theirs.string(), "."}, {}, C("Data"));
        EXPECT_EQ(peer.exitCode, 0) << peer.err;
        return {fs::file_size(C("Backups/" + name)), fs::file_size(theirs)};
    }

    // Extracts the archive with Info-ZIP's unzip into a fresh folder.
    fs::path ExtractedWithInfoZip(const fs::path& archive, const std::string& folder) const {
        fs::path out = C(folder);
        fs::create_directories(out);
        const RunResult run =
            rk::test::Run({"/usr/bin/unzip", "-q", archive.string(), "-d", out.string()});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        return out;
    }
};

TEST_F(ArchiveCompression, EachFileDeflatedOnlyWhenThatMakesItSmaller) {
    const std::map<std::string, std::string> contents{
        {"random.bin", RandomBytes(300000, 1)},
        {"text.txt", Text(3 << 20, 2)},
        // A random start once made the whole file count as random.
        {"random-start.bin", RandomBytes(16 * 1024, 3) + Text(1 << 20, 4)},
        {"repeated.txt", std::string(40, 'a')},
        {"one.txt", "x"},
        {"empty.txt", ""},
        // Compressed types are never tried.
        {"photo.jpg", Text(100000, 5)}};
    for (const auto& [name, content] : contents)
        sandbox.write(C("Data/" + name), content);

    const RunResult run = Zip({"-a", "-p", "-r", "C:\\Backups\\a.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path archive = C("Backups/a.zip");
    EXPECT_TRUE(IsSound(archive));
    const std::map<std::string, std::string> expected{
        {"random.bin", "Stored"},   {"text.txt", "Defl:N"}, {"random-start.bin", "Defl:N"},
        {"repeated.txt", "Defl:N"}, {"one.txt", "Stored"},  {"empty.txt", "Stored"},
        {"photo.jpg", "Stored"}};
    EXPECT_EQ(Methods(archive), expected);

    const fs::path out = ExtractedWithInfoZip(archive, "Out");
    for (const auto& [name, content] : contents)
        EXPECT_TRUE(sandbox.read(out / name) == content) << name;
}

TEST_F(ArchiveCompression, ManyFilesKeepTheirOrderContentAndAttribute) {
    std::vector<std::string> names;
    std::map<std::string, std::string> contents;
    for (int i = 0; i < 400; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "f%03d.dat", i);
        const auto size = static_cast<std::size_t>(i * 7919 % 150000);
        const auto seed = static_cast<unsigned>(i);
        contents[name] = i % 3 == 0 ? RandomBytes(size, seed) : Text(size, seed);
        sandbox.write(C(std::string("Data/") + name), contents[name]);
        names.push_back(std::string("Data/") + name);
    }
    WriteLines(C("list.txt"), {"C:\\Data\\*.*"});
    WriteLines(C("Backups/excl.ini"), {"*.tmp"});

    const RunResult root =
        Backup("-a+", "C:\\Backups\\root.zip", "C:\\Backups\\excl.ini", "C:\\list.txt");
    ASSERT_EQ(root.exitCode, 0) << root.err;
    EXPECT_TRUE(root.err.empty()) << root.err;
    EXPECT_TRUE(IsSound(C("Backups/root.zip")));
    // The folder comes first, then what it holds, in the order walked.
    names.insert(names.begin(), "Data/");
    EXPECT_EQ(ArchiveNamesInOrder(C("Backups/root.zip")), names);
    const fs::path out = ExtractedWithInfoZip(C("Backups/root.zip"), "Out");
    for (const auto& [name, content] : contents)
        EXPECT_TRUE(sandbox.read(out / "Data" / name) == content) << name;

    // Every file had its attribute cleared: the next incremental takes none.
    const RunResult none =
        Backup("-i", "C:\\Backups\\inc.zip", "C:\\Backups\\excl.ini", "C:\\list.txt");
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_TRUE(NamesIn(C("Backups/inc.zip")).empty());
}

TEST_F(ArchiveCompression, AddingToAnArchiveReplacesEntriesInTheirPlace) {
    sandbox.write(C("Data/b.txt"), Text(70000, 10));
    sandbox.write(C("Data/d.bin"), RandomBytes(70000, 11));
    ASSERT_EQ(Zip({"-a", "-p", "C:\\Backups\\a.zip", "C:\\Data\\*.*"}).exitCode, 0);

    // Replaced entries are written in their old places, before the new ones.
    const std::map<std::string, std::string> contents{{"a.txt", Text(90000, 12)},
                                                      {"b.txt", Text(80000, 13)},
                                                      {"c.bin", RandomBytes(60000, 14)},
                                                      {"d.bin", Text(50000, 15)}};
    for (const auto& [name, content] : contents)
        sandbox.write(C("Data/" + name), content);
    const RunResult run = Zip({"-a", "-p", "C:\\Backups\\a.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(IsSound(C("Backups/a.zip")));
    EXPECT_EQ(ArchiveNamesInOrder(C("Backups/a.zip")),
              (std::vector<std::string>{"b.txt", "d.bin", "a.txt", "c.bin"}));
    const fs::path out = ExtractedWithInfoZip(C("Backups/a.zip"), "Out");
    for (const auto& [name, content] : contents)
        EXPECT_TRUE(sandbox.read(out / name) == content) << name;
}

TEST_F(ArchiveCompression, FilesTooLargeToPackStreamAsBefore) {
    std::string big;
    const std::string line = "a line of a large log file that deflates very well\n";
    while (big.size() < (64u << 20) + 4096)
        big += line;
    sandbox.write(C("Data/big.log"), big);
    sandbox.write(C("Data/small.txt"), Text(50000, 9));

    const RunResult run = Zip({"-a", "-p", "C:\\Backups\\big.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(IsSound(C("Backups/big.zip")));
    const auto methods = Methods(C("Backups/big.zip"));
    EXPECT_EQ(methods.at("big.log"), "Defl:N");
    EXPECT_EQ(methods.at("small.txt"), "Defl:N");
    const fs::path out = ExtractedWithInfoZip(C("Backups/big.zip"), "Out");
    EXPECT_TRUE(sandbox.read(out / "big.log") == big);
}

// Deciding from a probe of each file's start loses almost nothing: over a
// mix of text and random data the archive is no larger than Info-ZIP's at
// level 6 by more than 2%, and both 7-Zip and Info-ZIP read it back.
TEST_F(ArchiveCompression, NoLargerThanInfoZipAtLevelSix) {
    for (unsigned i = 0; i < 12; ++i)
        sandbox.write(C("Data/text" + std::to_string(i) + ".txt"),
                      Text(100000 + i * 40000, 20 + i));
    sandbox.write(C("Data/random.bin"), RandomBytes(2 << 20, 40));
    sandbox.write(C("Data/tiny.txt"), "tiny");

    const RunResult run = Zip({"-a", "-p", "C:\\Backups\\rk.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(IsSound(C("Backups/rk.zip")));
    EXPECT_EQ(rk::test::Run({"/usr/bin/7zz", "t", C("Backups/rk.zip").string()}).exitCode, 0);
    const RunResult peer = rk::test::Run(
        {"/usr/bin/zip", "-q", "-r", "-6", "-X", C("Backups/infozip.zip").string(), "."}, {},
        C("Data"));
    ASSERT_EQ(peer.exitCode, 0) << peer.err;
    const auto ours = fs::file_size(C("Backups/rk.zip"));
    const auto theirs = fs::file_size(C("Backups/infozip.zip"));
    EXPECT_LE(static_cast<double>(ours), 1.02 * static_cast<double>(theirs))
        << ours << " against " << theirs;
    EXPECT_EQ(Methods(C("Backups/rk.zip")).at("random.bin"), "Stored");
}

// A file whose start is random and whose rest is zeros (a disk image holding
// a little data) is deflated: the windows past its start show the zeros.
TEST_F(ArchiveCompression, RandomStartAndZeroRestIsDeflated) {
    const std::string image = RandomBytes(300000, 50) + std::string(10 << 20, '\0');
    sandbox.write(C("Data/disk.img"), image);

    const auto [ours, theirs] = SizeAgainstInfoZip("image.zip");
    EXPECT_LE(static_cast<double>(ours), 1.02 * static_cast<double>(theirs))
        << ours << " against " << theirs;
    EXPECT_EQ(Methods(C("Backups/image.zip")).at("disk.img"), "Defl:N");
    const fs::path out = ExtractedWithInfoZip(C("Backups/image.zip"), "Out");
    EXPECT_TRUE(sandbox.read(out / "disk.img") == image);
}

// The same for a file too large to pack in memory, which is deflated as it
// is written: its windows are read where they lie before.
TEST_F(ArchiveCompression, LargeRandomStartAndZeroRestIsDeflated) {
    const std::string image = RandomBytes(2 << 20, 51) + std::string(70 << 20, '\0');
    sandbox.write(C("Data/disk.img"), image);

    const auto [ours, theirs] = SizeAgainstInfoZip("image.zip");
    EXPECT_LE(static_cast<double>(ours), 1.02 * static_cast<double>(theirs))
        << ours << " against " << theirs;
    EXPECT_EQ(Methods(C("Backups/image.zip")).at("disk.img"), "Defl:N");
    const fs::path out = ExtractedWithInfoZip(C("Backups/image.zip"), "Out");
    EXPECT_TRUE(sandbox.read(out / "disk.img") == image);
}

// A tar holding a random file first and text after it is deflated, and so
// is a file whose text lies only in its middle; a file random throughout is
// still stored.
TEST_F(ArchiveCompression, TarOfRandomFileAndTextIsDeflated) {
    sandbox.write(C("Parts/random.bin"), RandomBytes(1 << 20, 52));
    sandbox.write(C("Parts/notes.txt"), Text(600000, 53));
    fs::create_directories(C("Data"));
    const RunResult tar = rk::test::Run(
        {"/usr/bin/tar", "-cf", C("Data/parts.tar").string(), "random.bin", "notes.txt"}, {},
        C("Parts"));
    ASSERT_EQ(tar.exitCode, 0) << tar.err;
    sandbox.write(C("Data/middle.bin"),
                  RandomBytes(500000, 54) + Text(200000, 55) + RandomBytes(500000, 56));
    sandbox.write(C("Data/random.bin"), RandomBytes(3 << 20, 57));

    const auto [ours, theirs] = SizeAgainstInfoZip("tar.zip");
    EXPECT_LE(static_cast<double>(ours), 1.02 * static_cast<double>(theirs))
        << ours << " against " << theirs;
    const auto methods = Methods(C("Backups/tar.zip"));
    EXPECT_EQ(methods.at("parts.tar"), "Defl:N");
    EXPECT_EQ(methods.at("middle.bin"), "Defl:N");
    EXPECT_EQ(methods.at("random.bin"), "Stored");
    const fs::path out = ExtractedWithInfoZip(C("Backups/tar.zip"), "Out");
    EXPECT_TRUE(sandbox.read(out / "parts.tar") == sandbox.read(C("Data/parts.tar")));
    EXPECT_TRUE(sandbox.read(out / "middle.bin") == sandbox.read(C("Data/middle.bin")));
}

// The windows past a file's start reach its end, lie side by side when the
// rest is short, and leave no gap larger than 1/128 of a large file.
TEST(SpreadWindows, CoverTheRestOfTheFile) {
    using rk::tools::kCompressionProbeSize;
    using rk::tools::kSpreadWindowSize;
    EXPECT_EQ(rk::tools::SpreadWindowsOf(kCompressionProbeSize).count, 0u);

    const auto shortRest = rk::tools::SpreadWindowsOf(kCompressionProbeSize + 20000);
    EXPECT_EQ(shortRest.first, kCompressionProbeSize);
    EXPECT_EQ(shortRest.step, kSpreadWindowSize);
    EXPECT_EQ(shortRest.count, 3u);

    for (const std::uint64_t size : {std::uint64_t{10} << 20, std::uint64_t{4400} << 20}) {
        const auto windows = rk::tools::SpreadWindowsOf(size);
        EXPECT_EQ(windows.count, rk::tools::kMostSpreadWindows);
        EXPECT_EQ(windows.first, kCompressionProbeSize);
        const std::uint64_t lastEnd =
            windows.first + (windows.count - 1) * windows.step + kSpreadWindowSize;
        EXPECT_LE(lastEnd, size);
        EXPECT_GT(lastEnd + windows.count, size);
        EXPECT_LE(windows.step, size / 127);
    }
}

// Byte counts tell random data from zeros, text and skewed binary data.
TEST(SpreadWindows, ShrinkOnlyWhereBytesAreUneven) {
    EXPECT_FALSE(rk::tools::WindowShrinks(RandomBytes(8192, 60)));
    EXPECT_TRUE(rk::tools::WindowShrinks(std::string(8192, '\0')));
    EXPECT_TRUE(rk::tools::WindowShrinks(Text(8192, 61)));
    // Random bytes of which one in eight is a zero: about 7.3 bits a byte.
    std::string skewed = RandomBytes(8192, 62);
    for (std::size_t i = 0; i < skewed.size(); i += 8)
        skewed[i] = '\0';
    EXPECT_TRUE(rk::tools::WindowShrinks(skewed));
    // Too short to say.
    EXPECT_FALSE(rk::tools::WindowShrinks(std::string(100, '\0')));
}

} // namespace
} // namespace rk::test
