// A home folder as real disks hold it, backed up by the program's root run
// and a scheduled "rkbak /ib", then brought back three ways: every file of
// the range newest first, files picked from the real listings, and the range
// consolidated by "rkbak /c". Names are compared as bytes, with contents,
// modes and times; every archive is read by Info-ZIP and 7-Zip as well.

#include "core/listed_names.h"
#include "engine/archive_listing.h"
#include "engine/backup_run.h"
#include "engine/job.h"
#include "engine/tool_runner.h"
#include "engine/utility_contract.h"
#include "platform/clock.h"
#include "restore_fixture.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

// What a restore must give back of one entry.
struct Kept {
    char kind = 'f'; // f file, d folder, l link
    mode_t mode = 0;
    std::int64_t mtime = 0;
    std::string content; // file content or link target
    bool operator==(const Kept&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Kept& kept) {
    return out << kept.kind << ' ' << std::oct << kept.mode << std::dec << ' ' << kept.mtime
               << " \"" << kept.content << '"';
}

using Tree = std::map<std::string, Kept>;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Every entry below the folder (not the folder itself), by its name in
// bytes; sockets and FIFOs are left out, as no backup holds them.
void Collect(const fs::path& folder, const std::string& relative, Tree& tree) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = relative + entry.path().filename().string();
        struct stat info {};
        ASSERT_EQ(lstat(entry.path().c_str(), &info), 0) << name;
        Kept kept;
        kept.mode = info.st_mode & 07777;
        kept.mtime = info.st_mtim.tv_sec;
        if (S_ISDIR(info.st_mode)) {
            kept.kind = 'd';
            Collect(entry.path(), name + "/", tree);
        } else if (S_ISLNK(info.st_mode)) {
            kept.kind = 'l';
            kept.mode = 0;
            kept.content = fs::read_symlink(entry.path()).string();
        } else if (S_ISREG(info.st_mode)) {
            kept.content = ReadAll(entry.path());
        } else {
            continue;
        }
        tree[name] = kept;
    }
}

Tree TreeOf(const fs::path& folder) {
    Tree tree;
    Collect(folder, "", tree);
    return tree;
}

void SetTime(const fs::path& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Gives every entry below the folder, deepest first, a time of its own, so
// that a restore that keeps "now" is seen.
void SetTimes(const fs::path& folder, std::int64_t& next) {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(folder))
        entries.push_back(entry.path());
    for (const auto& path : entries) {
        if (fs::is_directory(fs::symlink_status(path)))
            SetTimes(path, next);
        if (!fs::is_socket(fs::symlink_status(path)))
            SetTime(path, next += 61);
    }
}

void MakeSocket(const fs::path& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.string().size());
    ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

class HomeRoundTrip : public RestoreFixture {
  protected:
    fs::path home = box.d();
    fs::path program = box.c() / "prog";
    std::int64_t clock = 1'200'000'000;

    void SetUp() override {
        RestoreFixture::SetUp();
        InstallProgramCopy(box, program, "C:\\prog", "C:\\Backups", "autopromptshown=-1\r\n");
        // The whole drive D: is the job's one source folder.
        box.write(job / "rkjob.ini",
                  "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=1\r\nfolder1=D:\\\r\n");
        fs::copy_file(program / "excl.txt", job / "excl.ini");
    }

    void Write(const std::string& name, const std::string& content) {
        box.write(home / name, content);
    }

    // Every kind of name and entry a Linux home folder holds.
    void MakeHome() {
        Write("coll/x.txt", "in the folder coll");
        Write("coll\\x.txt", "one name with a backslash");
        Write("lone\\y.txt", "a backslash, no such folder");
        Write("caf\xe9.txt", "Latin-1 name");
        Write("Docs/Icon\r", "macOS folder icon");
        Write("Docs/line\nbreak.txt", "line break");
        Write("Docs/tab\there.txt", "tab");
        Write("Docs/q\"u,o.txt", "quote and comma");
        Write("Docs/a,b.txt", "comma alone");
        Write("Docs/ lead.txt", "leading space");
        Write("Docs/trail.txt ", "trailing space");
        Write("Docs/star*.txt", "star");
        Write("Docs/q?.txt", "question mark");
        Write("Docs/qX.txt", "not picked by q?.txt");
        Write("Docs/\xc3\xa9.txt", "NFC");
        Write("Docs/e\xcc\x81.txt", "NFD");
        Write("Docs/" + std::string(255 - 4, 'n') + ".txt", "longest name");
        Write("Documents/Temp/thesis.docx", "a folder the user named Temp");
        Write("Projects/cache/notes.txt", "a folder the user named cache");
        Write("x:y.txt", "a colon at the top of the drive");
        Write("private/secret.txt", "mine alone");
        fs::permissions(home / "private", fs::perms::owner_all);
        fs::permissions(home / "private/secret.txt",
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                            fs::perms::others_read);
        fs::create_directories(home / "Empty at root");
        fs::create_symlink("coll/x.txt", home / "link");
        MakeSocket(home / "sock");
        ASSERT_EQ(mkfifo((home / "Docs/fifo").c_str(), 0600), 0);
    }

    std::string ArchivePath(const std::string& name) const { return JobFolder() + "\\" + name; }

    // Both independent readers find the archive sound.
    void ExpectSound(const std::string& name) const {
        const std::string host = (job / name).string();
        const RunResult infoZip = rk::test::Run({"/usr/bin/unzip", "-tq", host});
        EXPECT_EQ(infoZip.exitCode, 0) << name << infoZip.out << infoZip.err;
        const RunResult sevenZip = rk::test::Run({"/usr/bin/7zz", "t", host});
        EXPECT_EQ(sevenZip.exitCode, 0) << name << sevenZip.out << sevenZip.err;
        struct stat info {};
        ASSERT_EQ(stat(host.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    }

    // Extracts the archives newest first into the folder, as the extract
    // dialog does, with the list file when one is given.
    void ExtractNewestFirst(const std::vector<std::string>& archives, const std::string& folder,
                            const std::string& listFile = {}) const {
        for (auto it = archives.rbegin(); it != archives.rend(); ++it) {
            const ToolOutcome run = RunTool(
                listFile.empty()
                    ? ExtractCommandLine(UnzipUtilPath, ArchivePath(*it), folder)
                    : ExtractListedCommandLine(UnzipUtilPath, ArchivePath(*it), listFile, folder));
            EXPECT_EQ(run.exitCode, 0) << *it << ": " << run.stderrTail;
        }
    }

    RunResult Start(const std::string& argument) const {
        return rk::test::Run({(program / "rkbak").string(), argument},
                             {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"});
    }
};

TEST_F(HomeRoundTrip, EveryNameModeAndTimeComesBackThreeWays) {
    MakeHome();
    SetTimes(home, clock);
    // The root backup's archive is named two seconds back, so that the
    // scheduled run below, which reads the system clock, names its own later.
    const std::time_t before = std::time(nullptr) - 2;
    platform::SetClock([before] { return before; });
    const BackupOutcome root = RunBackup(BackupMode::Root, "Weekly Job");
    platform::SetClock({});
    ASSERT_EQ(root.status, RunStatus::Done) << root.reason;

    // Changes for the scheduled run: a changed file, a new name with a
    // backslash, an empty folder made after the root backup.
    Write("caf\xe9.txt", "Latin-1 name, second version");
    Write("Docs/new\\name.txt", "new since the root backup");
    fs::create_directories(home / "later/empty");
    SetTimes(home, clock);
    const RunResult incremental = Start("/ib/Weekly Job");
    ASSERT_EQ(incremental.exitCode, 0) << incremental.err;
    EXPECT_NE(incremental.err.find("sock"), std::string::npos) << incremental.err;
    EXPECT_NE(incremental.err.find("fifo"), std::string::npos) << incremental.err;
    // Each line once: rkzip's own lines pass through, rkbak adds none.
    EXPECT_EQ(incremental.err.find("sock"), incremental.err.rfind("sock")) << incremental.err;

    const std::vector<std::string> archives = JobArchives();
    ASSERT_EQ(archives.size(), 2u);
    for (const std::string& name : archives)
        ExpectSound(name);
    // What a restore must give back: everything but the socket and the FIFO.
    const Tree expected = TreeOf(home);
    ASSERT_TRUE(expected.count("later/empty"));
    ASSERT_TRUE(expected.count("Documents/Temp/thesis.docx"));
    ASSERT_FALSE(expected.count("sock"));

    // Info-ZIP restores the root backup under the same names.
    const fs::path infoZip = box.root() / "infozip";
    const RunResult unzipped = rk::test::Run(
        {"/usr/bin/unzip", "-q", "-^", (job / archives[0]).string(), "-d", infoZip.string()});
    EXPECT_LE(unzipped.exitCode, 1) << unzipped.err;
    for (const char* name : {"coll\\x.txt", "lone\\y.txt", "caf\xe9.txt", "Docs/Icon\r", "x:y.txt"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(infoZip / name))) << name;

    // (a) Every file of the range, newest first.
    ExtractNewestFirst(archives, "C:\\Restore\\all\\");
    EXPECT_EQ(TreeOf(box.c() / "Restore/all"), expected);

    // (b) Files picked from the merged listings, read as the picker reads them.
    MergedFileList merged;
    for (const std::string& name : archives) {
        const std::string listing = "C:\\App\\filelist.tmp";
        DeleteFileQuietly(listing);
        ASSERT_TRUE(ListingMade(
            WriteArchiveListing(CurrentInstallation(), ArchivePath(name), listing), listing));
        ASSERT_TRUE(ReadArchiveListing(merged, ArchivePath(name), listing));
    }
    std::set<std::string> shown;
    for (const CStoredFile& entry : merged.Entries())
        shown.insert(entry.FileName());
    // Ordinary names are shown as they are.
    for (const char* plain : {"Docs\\a,b.txt", "Docs\\ lead.txt", "Docs\\trail.txt ",
                              "Docs\\star*.txt", "Docs\\q?.txt", "Docs\\\xc3\xa9.txt", "x:y.txt"})
        EXPECT_TRUE(shown.count(plain)) << plain;
    const std::vector<std::string> picked = {
        "coll\\x.txt",          "coll/x.txt",         "caf\xe9.txt",        "Docs/Icon\r",
        "Docs/line\nbreak.txt", "Docs/tab\there.txt", "Docs/q\"u,o.txt",    "Docs/ lead.txt",
        "Docs/trail.txt ",      "Docs/q?.txt",        "Docs/new\\name.txt", "Docs/e\xcc\x81.txt",
        "private/secret.txt"};
    std::string list;
    for (const std::string& name : picked) {
        EXPECT_TRUE(shown.count(ListedName(name))) << ListedName(name);
        list += ListedName(name) + "\r\n";
    }
    box.write(box.c() / "App/filelisto.tmp", list);
    ExtractNewestFirst(archives, "C:\\Restore\\picked\\", "C:\\App\\filelisto.tmp");
    const Tree restored = TreeOf(box.c() / "Restore/picked");
    for (const std::string& name : picked) {
        ASSERT_TRUE(restored.count(name)) << name;
        EXPECT_EQ(restored.at(name), expected.at(name)) << name;
    }
    std::size_t files = 0;
    for (const auto& [name, kept] : restored)
        files += kept.kind == 'f' ? 1 : 0;
    EXPECT_EQ(files, picked.size());

    // (c) The range consolidated by the scheduled "c" life, then restored.
    const std::string today = archives[0].substr(3, 10);
    const std::string date =
        today.substr(0, 4) + "-" + today.substr(5, 2) + "-" + today.substr(8, 2);
    const RunResult consolidated = Start("/c/" + date + "/" + date + "/" + JobFolder());
    ASSERT_EQ(consolidated.exitCode, 0) << consolidated.err;
    const std::vector<std::string> left = JobArchives();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("_C"), std::string::npos) << left[0];
    ExpectSound(left[0]);
    ExtractNewestFirst(left, "C:\\Restore\\consolidated\\");
    EXPECT_EQ(TreeOf(box.c() / "Restore/consolidated"), expected);
}

// A job whose folder keys are empty is not a backup of the drive's root.
TEST_F(HomeRoundTrip, EmptyFolderKeysAreNoRequestForTheRoot) {
    box.write(job / "rkjob.ini", "[settings]\r\ncreated=x\r\n[folders]\r\nfoldercount=2\r\n"
                                 "folder1=\r\nfolder2=   \r\n");
    const BackupOutcome run = RunBackup(BackupMode::Incremental, "Weekly Job");
    EXPECT_EQ(run.status, RunStatus::Failed);
    EXPECT_NE(run.reason.find("has no source folders"), std::string::npos) << run.reason;
    EXPECT_TRUE(JobArchives().empty());
}

} // namespace
} // namespace rk::test
