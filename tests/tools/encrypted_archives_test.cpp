// Encrypted archives: what rkzip writes with a password opens in 7-Zip and
// bsdtar with it and in neither without it; 7-Zip's own AES archives restore
// through rkunzip; a wrong password, damaged data and a damaged code are
// refused with the lines and codes callers know, and leave nothing behind;
// the password reaches the utilities only through the descriptor.

#include "tool_fixture.h"
#include "tools/common/deletion_record.h"
#include "tools/common/password_input.h"
#include "tools/common/winzip_aes.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <openssl/evp.h>
#include <random>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rk::test {
namespace {

namespace fs = std::filesystem;

const std::string kPassword = "Pw-4e1f97-\xc3\xa9t\xc3\xa9 horse";
const std::string kArchive = "C:\\Backups\\rk_1.zip";
const std::string kList = "C:\\list.TMP";
const std::string kExclusions = "C:\\excl.ini";

// Bytes that deflate to about half their size, from a fixed seed.
std::string Digits(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text(size, '0');
    for (auto& c : text)
        c = static_cast<char>('0' + random() % 10);
    return text;
}

// A descriptor holding `text` for a child to inherit (a memfd, as the
// program uses), or -1.
int PasswordDescriptor(const std::string& text) {
    const int fd = memfd_create("passwords", 0);
    if (fd >= 0 && write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        close(fd);
        return -1;
    }
    return fd;
}

// What each local header of an archive says, by entry name.
struct LocalEntry {
    std::size_t header = 0;
    std::size_t dataStart = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::string extra;
};

std::uint64_t Field(const std::string& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

std::map<std::string, LocalEntry> LocalEntries(const std::string& bytes) {
    std::map<std::string, LocalEntry> entries;
    std::size_t at = 0;
    while (at + 30 <= bytes.size() && Field(bytes, at, 4) == 0x04034b50) {
        LocalEntry entry;
        entry.header = at;
        entry.flags = static_cast<std::uint16_t>(Field(bytes, at + 6, 2));
        entry.method = static_cast<std::uint16_t>(Field(bytes, at + 8, 2));
        entry.crc = static_cast<std::uint32_t>(Field(bytes, at + 14, 4));
        entry.compressedSize = Field(bytes, at + 18, 4);
        const auto nameLength = static_cast<std::size_t>(Field(bytes, at + 26, 2));
        const auto extraLength = static_cast<std::size_t>(Field(bytes, at + 28, 2));
        const std::string name = bytes.substr(at + 30, nameLength);
        entry.extra = bytes.substr(at + 30 + nameLength, extraLength);
        entry.dataStart = at + 30 + nameLength + extraLength;
        if (entry.compressedSize == 0xffffffffu) // zip64: its sizes in the extra field
            entry.compressedSize = Field(entry.extra, 12, 8);
        at = entry.dataStart + static_cast<std::size_t>(entry.compressedSize);
        entries[name] = entry;
    }
    return entries;
}

// Every regular file and link below `root`, by path relative to it: the
// file's size and a hash of its bytes, or "->" and the link's target.
std::map<std::string, std::string> TreeOf(const fs::path& root) {
    std::map<std::string, std::string> tree;
    if (!fs::exists(root))
        return tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string relative = item.path().lexically_relative(root).string();
        if (item.is_symlink()) {
            tree[relative] = "->" + fs::read_symlink(item.path()).string();
        } else if (item.is_regular_file()) {
            std::ifstream in(item.path(), std::ios::binary);
            const std::string bytes(std::istreambuf_iterator<char>(in), {});
            tree[relative] = std::to_string(bytes.size()) + ":" +
                             std::to_string(std::hash<std::string>()(bytes));
        }
    }
    return tree;
}

class EncryptedArchives : public ToolTest {
  protected:
    void SetUp() override {
        fs::create_directories(C("Backups"));
        WriteLines(C("list.TMP"), {"C:\\Data\\*.*"});
        WriteLines(C("excl.ini"), {"*.tmp"});
        // Names of every kind the file system holds.
        sandbox.write(C("Data/plain.txt"), Digits(200000, 1));
        sandbox.write(C("Data/caf\xc3\xa9.txt"), "caf\xc3\xa9\n");
        sandbox.write(C("Data/bad\xff.bin"), Digits(3000, 2));
        sandbox.write(C("Data/back\\slash.txt"), "backslash\n");
        sandbox.write(C("Data/line\nbreak.txt"), "line break\n");
        sandbox.write(C("Data/empty"), "");
        sandbox.write(C("Data/photo.jpg"), Digits(5000, 3));
        sandbox.write(C("Data/sub/deep.txt"), std::string(100000, 'x'));
        // Deflated to more than rkunzip takes out whole: read in pieces.
        sandbox.write(C("Data/sub/large.txt"), Digits(3 * 1024 * 1024, 4));
        fs::create_symlink("plain.txt", C("Data/link"));
    }

    // Runs a utility with `passwords` on an inherited descriptor.
    RunResult WithPasswords(const std::string& tool, const std::string& passwords,
                            const std::vector<std::string>& args) const {
        const int fd = PasswordDescriptor(passwords);
        EXPECT_GE(fd, 0);
        std::vector<std::string> full{(ProgramDir() / tool).string()};
        full.insert(full.end(), args.begin(), args.end());
        RunResult run = rk::test::Run(
            full, {std::string(tools::kPasswordFdVariable) + "=" + std::to_string(fd)});
        close(fd);
        return run;
    }

    RunResult EncryptedBackup(const std::string& archive = kArchive,
                              const std::string& password = kPassword) const {
        return WithPasswords(
            "rkzip", password,
            {"-a+", "-P", "-r", "-whs", "-yp", "-^^", "-x@" + kExclusions, archive, "@" + kList});
    }

    RunResult RestoreWith(const std::string& passwords, const std::string& into,
                          const std::string& archive = kArchive) const {
        return WithPasswords("rkunzip", passwords, {"-d", "-o-", "-yo", archive, into});
    }

    fs::path ArchiveHost() const { return C("Backups/rk_1.zip"); }
};

TEST_F(EncryptedArchives, KeyDerivationMatchesOpenSslsPbkdf2) {
    for (const std::string& password : {std::string("short"), std::string(100, 'p'), kPassword}) {
        unsigned char salt[tools::kAesSaltSize];
        for (unsigned i = 0; i < sizeof salt; ++i)
            salt[i] = static_cast<unsigned char>(i * 37 + password.size());
        unsigned char expected[66];
        ASSERT_EQ(PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt,
                                    sizeof salt, tools::kAesKeyRounds, EVP_sha1(), sizeof expected,
                                    expected),
                  1);
        tools::AesKeys keys;
        tools::AesKeyMaker(password).Derive(salt, keys);
        EXPECT_TRUE(std::equal(keys.cipher.begin(), keys.cipher.end(), expected));
        EXPECT_TRUE(std::equal(keys.mac.begin(), keys.mac.end(), expected + 32));
        EXPECT_TRUE(std::equal(keys.verifier.begin(), keys.verifier.end(), expected + 64));
    }
}

TEST_F(EncryptedArchives, EveryFileEntryIsAe2WithItsOwnSalt) {
    const RunResult run = EncryptedBackup();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = sandbox.read(ArchiveHost());
    EXPECT_EQ(bytes.find(kPassword), std::string::npos);
    std::vector<std::string> salts;
    const auto entries = LocalEntries(bytes);
    ASSERT_FALSE(entries.empty());
    for (const auto& [name, entry] : entries) {
        if (name.back() == '/' || name == "Data/link") {
            EXPECT_EQ(entry.method, 0) << name;
            continue;
        }
        // The deletion record names only what the entries' names show, and
        // the program reads it without a password.
        if (name == tools::kDeletionRecordName) {
            EXPECT_NE(entry.method, tools::kAesMethod);
            EXPECT_EQ(entry.flags & 1, 0);
            continue;
        }
        EXPECT_EQ(entry.method, tools::kAesMethod) << name;
        EXPECT_EQ(entry.flags & 1, 1) << name;
        EXPECT_EQ(entry.crc, 0u) << name;
        const auto field = tools::FindAesExtraField(entry.extra);
        ASSERT_TRUE(field) << name;
        EXPECT_EQ(field->vendorVersion, 2) << name;
        EXPECT_EQ(field->strength, 3) << name;
        // Deflated where that made it smaller; never for a compressed type.
        if (name == "Data/photo.jpg" || name == "Data/empty") {
            EXPECT_EQ(field->realMethod, 0) << name;
        } else if (name == "Data/plain.txt" || name.rfind("Data/sub/", 0) == 0) {
            EXPECT_EQ(field->realMethod, 8) << name;
        }
        salts.push_back(bytes.substr(entry.dataStart, tools::kAesSaltSize));
    }
    std::sort(salts.begin(), salts.end());
    EXPECT_EQ(std::adjacent_find(salts.begin(), salts.end()), salts.end());
}

TEST_F(EncryptedArchives, OpensIn7ZipAndBsdtarWithThePasswordAlone) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const auto source = TreeOf(C("Data"));
    const RunResult tested =
        rk::test::Run({"/usr/bin/7zz", "t", "-p" + kPassword, ArchiveHost().string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.out;
    const RunResult sevenZip = rk::test::Run({"/usr/bin/7zz", "x", "-p" + kPassword,
                                              "-o" + C("by7zz").string(), ArchiveHost().string()});
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out << sevenZip.err;
    EXPECT_EQ(TreeOf(C("by7zz/Data")), source);
    fs::create_directories(C("bybsdtar"));
    const RunResult bsdtar = rk::test::Run(
        {"/usr/bin/bsdtar", "-x", "--passphrase", kPassword, "-f", ArchiveHost().string()}, {},
        C("bybsdtar"));
    EXPECT_EQ(bsdtar.exitCode, 0) << bsdtar.err;
    EXPECT_EQ(TreeOf(C("bybsdtar/Data")), source);
}

// A file too large to pack in memory is encrypted as it is written.
TEST_F(EncryptedArchives, AFileReadAsItIsWrittenIsEncryptedToo) {
    sandbox.write(C("Data/huge.txt"), Digits(65 * 1024 * 1024, 6));
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const auto entries = LocalEntries(sandbox.read(ArchiveHost()));
    const LocalEntry& huge = entries.at("Data/huge.txt");
    EXPECT_EQ(huge.method, tools::kAesMethod);
    EXPECT_EQ(huge.flags & 1, 1);
    EXPECT_EQ(huge.crc, 0u);
    EXPECT_TRUE(tools::FindAesExtraField(huge.extra));
    const RunResult tested =
        rk::test::Run({"/usr/bin/7zz", "t", "-p" + kPassword, ArchiveHost().string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.out;
    EXPECT_EQ(RestoreWith(kPassword, "C:\\Out\\").exitCode, 0);
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
}

TEST_F(EncryptedArchives, RefusedBy7ZipAndBsdtarWithoutThePassword) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const RunResult sevenZip = rk::test::Run(
        {"/usr/bin/7zz", "x", "-pnot-it", "-o" + C("by7zz").string(), ArchiveHost().string()});
    EXPECT_NE(sevenZip.exitCode, 0);
    const RunResult tested =
        rk::test::Run({"/usr/bin/7zz", "t", "-pnot-it", ArchiveHost().string()});
    EXPECT_NE(tested.exitCode, 0);
    fs::create_directories(C("bybsdtar"));
    const RunResult bsdtar = rk::test::Run(
        {"/usr/bin/bsdtar", "-x", "--passphrase", "not-it", "-f", ArchiveHost().string()}, {},
        C("bybsdtar"));
    EXPECT_NE(bsdtar.exitCode, 0);
    // Whatever either left holds none of the files' content (bsdtar leaves
    // them as zeros).
    const auto source = TreeOf(C("Data"));
    for (const auto& folder : {C("by7zz/Data"), C("bybsdtar/Data")}) {
        for (const auto& [name, content] : TreeOf(folder)) {
            if (content.rfind("->", 0) != 0 && content.rfind("0:", 0) != 0) {
                EXPECT_NE(content, source.at(name)) << folder << " " << name;
            }
        }
    }
}

TEST_F(EncryptedArchives, RestoresThroughRkunzipAndTestsSound) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const RunResult run = RestoreWith(kPassword, "C:\\Out\\");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
    const RunResult tested = WithPasswords("rkunzip", kPassword, {"-t", kArchive});
    EXPECT_EQ(tested.exitCode, 0) << tested.err;
}

// Enough files, of sizes spread over several batches, that rkzip encrypts
// on every packing thread and rkunzip deciphers with both of its workers:
// the password and the keys made from it are shared by those threads (the
// check ThreadSanitizer makes of the utilities' tests rests on this one).
TEST_F(EncryptedArchives, ManyFilesEncryptedAndDecipheredOnEveryThreadRestoreWhole) {
    for (unsigned i = 0; i < 240; ++i)
        sandbox.write(C("Data/many/f" + std::to_string(i) + ".txt"),
                      Digits(std::size_t{1} << (4 + i % 14), 10 + i));
    const RunResult made = EncryptedBackup();
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::vector<std::string> salts;
    const std::string bytes = sandbox.read(ArchiveHost());
    for (const auto& [name, entry] : LocalEntries(bytes))
        if (entry.method == tools::kAesMethod)
            salts.push_back(bytes.substr(entry.dataStart, tools::kAesSaltSize));
    EXPECT_GT(salts.size(), 240u);
    std::sort(salts.begin(), salts.end());
    EXPECT_EQ(std::adjacent_find(salts.begin(), salts.end()), salts.end());

    const RunResult run = RestoreWith("older\n" + kPassword, "C:\\Out\\");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
}

TEST_F(EncryptedArchives, SevenZipsOwnAesArchiveRestoresThroughRkunzip) {
    // 7-Zip takes no password outside ASCII for zip's AES.
    const std::string password = "Seven-Pw-2207";
    const RunResult made = rk::test::Run({"/usr/bin/7zz", "a", "-tzip", "-snl", "-mem=AES256",
                                          "-p" + password, ArchiveHost().string(), "Data"},
                                         {}, C(""));
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    const RunResult run = RestoreWith(password, "C:\\Out\\");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
    EXPECT_EQ(WithPasswords("rkunzip", password, {"-t", kArchive}).exitCode, 0);
}

TEST_F(EncryptedArchives, WrongOrMissingPasswordRefusesEveryFileAndLeavesNothing) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const RunResult wrong = RestoreWith("not the password", "C:\\Out\\");
    EXPECT_EQ(wrong.exitCode, 82);
    EXPECT_NE(wrong.err.find("Data/plain.txt: wrong or missing password\n"), std::string::npos)
        << wrong.err;
    EXPECT_NE(wrong.err.find("Data/sub/large.txt: wrong or missing password\n"), std::string::npos);
    for (const auto& [name, content] : TreeOf(C("Out")))
        EXPECT_EQ(content.rfind("->", 0), 0u) << name << " was left";
    fs::create_directories(C("Out2"));
    const RunResult missing = Unzip({"-d", "-o-", "-yo", kArchive, "C:\\Out2\\"});
    EXPECT_EQ(missing.exitCode, 82);
    EXPECT_NE(missing.err.find("Data/empty: wrong or missing password"), std::string::npos);
    EXPECT_EQ(Unzip({"-t", kArchive}).exitCode, 82);
}

// Flips one byte at `at` in the archive's file.
void Flip(const fs::path& archive, std::size_t at) {
    std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(static_cast<std::streamoff>(at));
    const char byte = static_cast<char>(file.get() ^ 0x20);
    file.seekp(static_cast<std::streamoff>(at));
    file.put(byte);
}

TEST_F(EncryptedArchives, DamagedDataOrCodeIsRefusedAndLeavesNothing) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    const auto entries = LocalEntries(sandbox.read(ArchiveHost()));
    const LocalEntry& small = entries.at("Data/plain.txt");
    const LocalEntry& large = entries.at("Data/sub/large.txt");
    const LocalEntry& stored = entries.at("Data/photo.jpg");
    ASSERT_GT(large.compressedSize, 1024u * 1024);
    Flip(ArchiveHost(), small.dataStart + tools::kAesSaltSize + 2 + 100); // its data
    Flip(ArchiveHost(), large.dataStart + large.compressedSize - 1);      // its code
    Flip(ArchiveHost(), stored.dataStart + stored.compressedSize - 20);   // its data
    const RunResult run = RestoreWith(kPassword, "C:\\Out\\");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    for (const std::string name : {"Data/plain.txt", "Data/sub/large.txt", "Data/photo.jpg"}) {
        EXPECT_NE(run.err.find(name + ": authentication failed: the data is damaged or altered\n"),
                  std::string::npos)
            << run.err;
        EXPECT_FALSE(fs::exists(C("Out/" + name))) << name;
    }
    // Every other file restored, and no file in flight left under another
    // name.
    auto expected = TreeOf(C("Data"));
    for (const std::string name : {"plain.txt", "sub/large.txt", "photo.jpg"})
        expected.erase(name);
    EXPECT_EQ(TreeOf(C("Out/Data")), expected);
    EXPECT_EQ(TreeOf(C("Out")).size(), expected.size());
    const RunResult tested = WithPasswords("rkunzip", kPassword, {"-t", kArchive});
    EXPECT_EQ(tested.exitCode, 1);
    EXPECT_NE(tested.err.find("Data/sub/large.txt: authentication failed"), std::string::npos);
}

TEST_F(EncryptedArchives, OldAndNewPasswordsOpenArchivesOfEach) {
    ASSERT_EQ(EncryptedBackup("C:\\Backups\\old.zip", "the old one").exitCode, 0);
    ASSERT_EQ(EncryptedBackup("C:\\Backups\\new.zip", "the new one").exitCode, 0);
    const std::string both = "the new one\nthe old one\n";
    EXPECT_EQ(RestoreWith(both, "C:\\Old\\", "C:\\Backups\\old.zip").exitCode, 0);
    EXPECT_EQ(RestoreWith(both, "C:\\New\\", "C:\\Backups\\new.zip").exitCode, 0);
    EXPECT_EQ(TreeOf(C("Old/Data")), TreeOf(C("Data")));
    EXPECT_EQ(TreeOf(C("New/Data")), TreeOf(C("Data")));
    // rkzip encrypts with the first.
    const RunResult newOnly = RestoreWith("the new one", "C:\\Again\\", "C:\\Backups\\new.zip");
    EXPECT_EQ(newOnly.exitCode, 0) << newOnly.err;
}

TEST_F(EncryptedArchives, EntriesAddedToAnArchiveAreEncryptedToo) {
    ASSERT_EQ(EncryptedBackup().exitCode, 0);
    sandbox.write(C("More/added.txt"), Digits(70000, 5));
    const RunResult added =
        WithPasswords("rkzip", kPassword, {"-a", "-P", "-r", kArchive, "C:\\More\\*.*"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const auto entries = LocalEntries(sandbox.read(ArchiveHost()));
    // Encrypted on a packing thread, as in a new archive: AE-2 with no CRC.
    const LocalEntry& entry = entries.at("More/added.txt");
    EXPECT_EQ(entry.method, tools::kAesMethod);
    EXPECT_EQ(entry.crc, 0u);
    const auto field = tools::FindAesExtraField(entry.extra);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->vendorVersion, 2);
    EXPECT_EQ(field->realMethod, 8);
    EXPECT_EQ(RestoreWith(kPassword, "C:\\Out\\").exitCode, 0);
    EXPECT_EQ(TreeOf(C("Out/More")), TreeOf(C("More")));
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
    const RunResult sevenZip =
        rk::test::Run({"/usr/bin/7zz", "t", "-p" + kPassword, ArchiveHost().string()});
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.out;
}

TEST_F(EncryptedArchives, WithoutTheVariableNothingIsEncrypted) {
    const RunResult run = Backup("-a+", kArchive, kExclusions, kList);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const auto& [name, entry] : LocalEntries(sandbox.read(ArchiveHost()))) {
        EXPECT_NE(entry.method, tools::kAesMethod) << name;
        EXPECT_EQ(entry.flags & 1, 0) << name;
        EXPECT_FALSE(tools::FindAesExtraField(entry.extra)) << name;
    }
    EXPECT_TRUE(IsSound(ArchiveHost()));
    // A password given for a plain archive changes nothing.
    EXPECT_EQ(RestoreWith(kPassword, "C:\\Out\\").exitCode, 0);
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
}

TEST_F(EncryptedArchives, UnusableDescriptorIsAUsageErrorAndWritesNothing) {
    const std::vector<std::string> args{"-a+", "-P", "-r", kArchive, "C:\\Data\\*.*"};
    // Named but not open.
    RunResult run = rk::test::Run(
        {(ProgramDir() / "rkzip").string(), args[0], args[1], args[2], args[3], args[4]},
        {std::string(tools::kPasswordFdVariable) + "=57"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("descriptor 57"), std::string::npos) << run.err;
    run = rk::test::Run({(ProgramDir() / "rkunzip").string(), "-t", kArchive},
                        {std::string(tools::kPasswordFdVariable) + "=four"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(WithPasswords("rkzip", "", args).exitCode, 2);
    std::string seventeen;
    for (int i = 0; i < 17; ++i)
        seventeen += "p" + std::to_string(i) + "\n";
    EXPECT_EQ(WithPasswords("rkzip", seventeen, args).exitCode, 2);
    EXPECT_EQ(WithPasswords("rkzip", std::string(1025, 'p'), args).exitCode, 2);
    EXPECT_FALSE(fs::exists(ArchiveHost()));
    // At the bounds: 16 lines of 1024 bytes, the last without its line end.
    std::string sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen += std::string(1024, static_cast<char>('a' + i)) + (i < 15 ? "\n" : "");
    EXPECT_EQ(WithPasswords("rkzip", sixteen, args).exitCode, 0);
    EXPECT_EQ(RestoreWith(std::string(1024, 'a'), "C:\\Out\\").exitCode, 0);
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
}

// The text of /proc/PID/FILE.
std::string ProcText(pid_t pid, const std::string& file) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `args` with the password descriptor a pipe's reading end, checks
// what the process shows of itself while it waits to read the password,
// then gives it and waits; the exit code.
int RunShowingNoPassword(std::vector<std::string> args) {
    int ends[2];
    if (pipe(ends) != 0)
        return -1;
    fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e)
        environment.emplace_back(*e);
    environment.push_back(std::string(tools::kPasswordFdVariable) + "=" + std::to_string(ends[0]));
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        return -1;
    }
    // It waits on the pipe until the password is written and the pipe
    // closed; its arguments show once its start is through.
    std::string cmdline;
    for (int tries = 0; tries < 5000 && cmdline.empty(); ++tries) {
        if (tries > 0)
            usleep(1000);
        cmdline = ProcText(pid, "cmdline");
    }
    EXPECT_NE(cmdline.find("rk_1.zip"), std::string::npos);
    const std::string shown = ProcText(pid, "environ");
    EXPECT_EQ(cmdline.find(kPassword), std::string::npos);
    EXPECT_EQ(shown.find(kPassword), std::string::npos);
    EXPECT_NE(shown.find(std::string(tools::kPasswordFdVariable) + "="), std::string::npos)
        << cmdline;
    EXPECT_EQ(write(ends[1], kPassword.data(), kPassword.size()),
              static_cast<ssize_t>(kPassword.size()));
    close(ends[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(EncryptedArchives, PasswordNeverInArgumentsEnvironmentOrFilesWritten) {
    EXPECT_EQ(RunShowingNoPassword({(ProgramDir() / "rkzip").string(), "-a+", "-P", "-r", "-whs",
                                    kArchive, "C:\\Data\\*.*"}),
              0);
    EXPECT_EQ(RunShowingNoPassword(
                  {(ProgramDir() / "rkunzip").string(), "-d", "-o-", "-yo", kArchive, "C:\\Out\\"}),
              0);
    EXPECT_EQ(TreeOf(C("Out/Data")), TreeOf(C("Data")));
    // Nothing either wrote holds it: the archive, the attribute record, the
    // files restored, any temporary file in the sandbox.
    for (const auto& item : fs::recursive_directory_iterator(sandbox.root())) {
        if (!item.is_regular_file() || item.is_symlink())
            continue;
        EXPECT_EQ(sandbox.read(item.path()).find(kPassword), std::string::npos) << item.path();
    }
}

} // namespace
} // namespace rk::test
