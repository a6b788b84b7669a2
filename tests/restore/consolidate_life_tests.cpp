// "rkbak /c/START/END/FOLDER" through the real program, as a scheduler starts
// it: a copy of the program and its utilities in a sandbox folder, its own
// settings file beside it, no display.

#include "restore_fixture.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

class ConsolidateLife : public RestoreFixture {
  protected:
    fs::path program = box.c() / "prog";

    void SetUp() override {
        RestoreFixture::SetUp();
        fs::create_directories(program);
        for (const char* file : {"rkbak", "rkzip", "rkunzip", "rkbak.hlp", "excl.txt"})
            if (fs::exists(ProgramDir() / file))
                fs::copy_file(ProgramDir() / file, program / file);
        Configure("C:\\prog\\rkzip");
        MakeThreeBackups();
    }

    void Configure(const std::string& zipUtility) {
        box.write(program / "rkbak.ini", "[settings]\r\njobs=C:\\Backups\r\nziputil=" + zipUtility +
                                             "\r\nunziputil=C:\\prog\\rkunzip\r\n"
                                             "UpgradePromptShown=-1\r\nautopromptshown=-1\r\n");
    }

    RunResult Consolidate(const std::string& start, const std::string& end,
                          const std::string& folder,
                          const std::vector<std::string>& environment = {}) const {
        std::vector<std::string> env = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=offscreen"};
        env.insert(env.end(), environment.begin(), environment.end());
        return rk::test::Run(
            {(program / "rkbak").string(), "/c/" + start + "/" + end + "/" + folder}, env);
    }
};

TEST_F(ConsolidateLife, SuccessReplacesTheRangeByOneCheckedArchive) {
    const RunResult result = Consolidate("2026-12-01", "2026-12-03", JobFolder());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{"rk_2026_12_03_00_00_00_C.zip"}));
    EXPECT_EQ(StoredNames(job / "rk_2026_12_03_00_00_00_C.zip"),
              (std::vector<std::string>{"a.txt", "middle.txt", "only-oldest.txt", "sub/b.txt"}));
    EXPECT_EQ(StoredContent(job / "rk_2026_12_03_00_00_00_C.zip", "a.txt"), "a three");
}

TEST_F(ConsolidateLife, EveryRunRemovesItsExtractedCopy) {
    for (const char* day : {"2026-12-01", "2026-12-03"}) {
        const RunResult result = Consolidate(day, "2026-12-03", JobFolder());
        EXPECT_EQ(result.exitCode, 0) << result.err;
        for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
            EXPECT_NE(entry.path().filename().string().rfind("rk", 0), 0u) << entry.path();
    }
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{"rk_2026_12_03_00_00_00_C_C.zip"}));
}

// Without a safe temporary folder the run refuses, names the folder and what
// is wrong with it, and writes nowhere else.
TEST_F(ConsolidateLife, ARefusedTemporaryFolderIsNamedAndNothingIsWritten) {
    box.write(box.root() / "not-a-folder", "a file");
    const RunResult file = Consolidate("2026-12-01", "2026-12-03", JobFolder(),
                                       {"TMPDIR=" + (box.root() / "not-a-folder").string()});
    EXPECT_EQ(file.exitCode, 1) << file.err;
    EXPECT_NE(file.err.find("not-a-folder"), std::string::npos) << file.err;
    EXPECT_NE(file.err.find("it is not a folder"), std::string::npos) << file.err;

    // The private folder of the user replaced by a link (only when this
    // machine has none of its own to disturb).
    const fs::path own = "/tmp/ravelkeep-" + std::to_string(getuid());
    if (!fs::exists(fs::symlink_status(own))) {
        fs::create_directories(box.root() / "elsewhere");
        fs::create_directory_symlink(box.root() / "elsewhere", own);
        const RunResult link = Consolidate("2026-12-01", "2026-12-03", JobFolder(), {"TMPDIR"});
        fs::remove(own);
        EXPECT_EQ(link.exitCode, 1) << link.err;
        EXPECT_NE(link.err.find(own.string() + " cannot be used: it is a symbolic link"),
                  std::string::npos)
            << link.err;
        EXPECT_TRUE(fs::is_empty(box.root() / "elsewhere"));
    }
    EXPECT_EQ(JobArchives().size(), 3u);
    for (const fs::path& root : {box.c(), box.d(), box.root()})
        EXPECT_FALSE(fs::exists(root / "rk0")) << root;
}

// A name that changed kind between two backups: every version the range
// holds is in the consolidated archive, the passed-over one under its name
// stamped with its backup's date and time.
TEST_F(ConsolidateLife, NamesThatChangedKindKeepEveryVersion) {
    MakeArchive("rk_2026_12_05_08_00_00.zip",
                {{"notes", "notes as a file"}, {"d/f.txt", "below the folder d"}});
    MakeArchive("rk_2026_12_06_08_00_00.zip",
                {{"notes/a.txt", "notes is a folder now"}, {"d", "d is a file now"}});
    const RunResult result = Consolidate("2026-12-05", "2026-12-06", JobFolder());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const fs::path made = job / "rk_2026_12_06_08_00_00_C.zip";
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{
                                 "rk_2026_12_01_10_00_00.zip", "rk_2026_12_02_23_59_00.zip",
                                 "rk_2026_12_03_00_00_00.zip", "rk_2026_12_06_08_00_00_C.zip"}));
    EXPECT_EQ(StoredNames(made),
              (std::vector<std::string>{"d", "d~2026_12_05_08_00_00/f.txt", "notes/a.txt",
                                        "notes~2026_12_05_08_00_00"}));
    EXPECT_EQ(StoredContent(made, "notes~2026_12_05_08_00_00"), "notes as a file");
    EXPECT_EQ(StoredContent(made, "d~2026_12_05_08_00_00/f.txt"), "below the folder d");
    EXPECT_EQ(StoredContent(made, "notes/a.txt"), "notes is a folder now");
    for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
        EXPECT_NE(entry.path().filename().string().rfind("rk", 0), 0u) << entry.path();
}

TEST_F(ConsolidateLife, ARangeOfPartOfTheBackupsLeavesTheOthers) {
    const RunResult result = Consolidate("2026-12-02", "2026-12-03", JobFolder() + "\\");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{"rk_2026_12_01_10_00_00.zip",
                                                       "rk_2026_12_03_00_00_00_C.zip"}));
}

TEST_F(ConsolidateLife, AFailedZipRunExitsOneAndDeletesNothing) {
    Configure("Z:\\bin\\false");
    const RunResult result = Consolidate("2026-12-01", "2026-12-03", JobFolder());
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("rkbak: The consolidated backup rk_2026_12_03_00_00_00_C.zip"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(JobArchives(),
              (std::vector<std::string>{"rk_2026_12_01_10_00_00.zip", "rk_2026_12_02_23_59_00.zip",
                                        "rk_2026_12_03_00_00_00.zip"}));
    // The range was extracted before the zip run failed; that copy goes too,
    // since every backup it came from is still there.
    for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
        EXPECT_NE(entry.path().filename().string().rfind("rk", 0), 0u) << entry.path();
}

// A failed check of the new archive (the stand-in zip utility drops an entry)
// also removes the run's copy and the archive it made; nothing is deleted.
TEST_F(ConsolidateLife, AFailedCheckRemovesTheCopyAndTheNewArchive) {
    fs::copy_file(ProgramDir() / "rk_fake_zip", program / "rk_fake_zip");
    Configure("C:\\prog\\rk_fake_zip");
    const RunResult result =
        Consolidate("2026-12-01", "2026-12-03", JobFolder(), {"RK_FAKE_ZIP=drop"});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("No backup was deleted."), std::string::npos) << result.err;
    EXPECT_EQ(JobArchives(),
              (std::vector<std::string>{"rk_2026_12_01_10_00_00.zip", "rk_2026_12_02_23_59_00.zip",
                                        "rk_2026_12_03_00_00_00.zip"}));
    for (const auto& entry : fs::directory_iterator(box.root() / "tmp"))
        EXPECT_NE(entry.path().filename().string().rfind("rk", 0), 0u) << entry.path();
}

TEST_F(ConsolidateLife, NothingInTheRangeIsAFailedRun) {
    const RunResult result = Consolidate("2027-01-01", "2027-01-31", JobFolder());
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find("rkbak: Nothing to do"), std::string::npos) << result.err;
    EXPECT_EQ(JobArchives().size(), 3u);
}

TEST_F(ConsolidateLife, ABadDateOrAMissingFolderIsABadCommandLine) {
    for (const auto& [start, end, folder, said] :
         {std::tuple<std::string, std::string, std::string, std::string>{
              "2026-13-01", "2026-12-03", JobFolder(), "start date \"2026-13-01\" is not a date"},
          {"2026-12-01", "someday", JobFolder(), "end date \"someday\" is not a date"},
          {"", "2026-12-03", JobFolder(), "start date \"\" is not a date"},
          {"2026-12-01", "2026-12-03", "C:\\Backups\\Nobody", "folder \"C:\\Backups\\Nobody\""}}) {
        const RunResult result = Consolidate(start, end, folder);
        EXPECT_EQ(result.exitCode, 2) << start << " " << end << " " << folder;
        EXPECT_NE(result.err.find("rkbak: "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(said), std::string::npos) << result.err;
    }
    EXPECT_EQ(JobArchives().size(), 3u);
    EXPECT_FALSE(fs::exists(box.root() / "tmp" / "rk0"));
}

// A second user on the machine, made for one test and removed after it.
class SecondUser {
  public:
    SecondUser() {
        std::random_device seed;
        name_ = "rkt" + std::to_string(seed() % 1000000);
        if (Run({"/usr/sbin/useradd", "-M", "-N", "-s", "/usr/sbin/nologin", name_}).exitCode != 0)
            return;
        if (const passwd* entry = getpwnam(name_.c_str())) {
            uid_ = entry->pw_uid;
            gid_ = entry->pw_gid;
        }
    }
    ~SecondUser() {
        if (uid_ != 0)
            Run({"/usr/sbin/userdel", name_});
    }
    SecondUser(const SecondUser&) = delete;
    SecondUser& operator=(const SecondUser&) = delete;

    bool made() const { return uid_ != 0; }
    // Runs `work` as this user in a forked child (only system calls there);
    // the child's process id.
    template <typename Work> pid_t Start(Work work) const {
        const pid_t child = fork();
        if (child == 0) {
            if (setgid(gid_) != 0 || setuid(uid_) != 0)
                _exit(100);
            _exit(work());
        }
        return child;
    }

  private:
    std::string name_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

int ExitCodeOf(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every file below the folder that this process can open and read a byte
// of, counted; system calls only (it runs in a forked child).
int ReadableFilesBelow(const char* folder, int depth) {
    const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int count = 0;
    alignas(8) std::array<char, 8192> buffer{};
    for (;;) {
        const long length = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (length <= 0)
            break;
        for (long at = 0; at < length;) {
            const auto* entry = reinterpret_cast<const char*>(buffer.data() + at);
            const unsigned short size = *reinterpret_cast<const unsigned short*>(entry + 16);
            const unsigned char type = static_cast<unsigned char>(entry[18]);
            const char* name = entry + 19;
            at += size;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            std::array<char, 4096> path{};
            std::size_t n = 0;
            for (const char* p = folder; *p != 0 && n < path.size() - 2; ++p)
                path[n++] = *p;
            path[n++] = '/';
            for (const char* p = name; *p != 0 && n < path.size() - 1; ++p)
                path[n++] = *p;
            if (type == DT_DIR) {
                if (depth < 8)
                    count += ReadableFilesBelow(path.data(), depth + 1);
            } else if (type == DT_REG) {
                const int file = open(path.data(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
                char byte = 0;
                if (file >= 0) {
                    if (read(file, &byte, 1) >= 0)
                        ++count;
                    close(file);
                }
            }
        }
    }
    close(fd);
    return count;
}

// Another user who shares the temporary folder plants the listing names as
// links to a file of the user, and reads whatever they can there while a
// consolidation runs: the run succeeds in a folder of its own, the file is
// unchanged, and nothing of the backups is read.
TEST_F(ConsolidateLife, AnotherUserSharingTheTemporaryFolderCanRedirectOrReadNothing) {
    if (getuid() != 0)
        GTEST_SKIP() << "a second user needs the tests to run as root";
    SecondUser other;
    ASSERT_TRUE(other.made());
    // The sandbox is passable to them, the shared folder is as /tmp is, and
    // the program folder is writable by its group, so the listings go to the
    // temporary folder.
    ASSERT_EQ(chmod(box.root().c_str(), 0755), 0);
    const fs::path shared = box.root() / "shared";
    fs::create_directories(shared);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(program.c_str(), 0775), 0);
    box.write(box.root() / "victim.txt", "the user's own text");

    const std::string victim = (box.root() / "victim.txt").string();
    const std::string sharedText = shared.string();
    const pid_t planter = other.Start([&] {
        for (const char* name : {"/filelist.tmp", "/filelisto.tmp"})
            if (symlink(victim.c_str(), (sharedText + name).c_str()) != 0)
                return 1;
        return 0;
    });
    ASSERT_EQ(ExitCodeOf(planter), 0);

    // The reader does read what is open to them.
    box.write(box.root() / "control" / "open.txt", "readable");
    const std::string control = (box.root() / "control").string();
    EXPECT_EQ(ExitCodeOf(other.Start([&] { return ReadableFilesBelow(control.c_str(), 0); })), 1);

    // It polls until it has read something or is stopped after the run.
    const pid_t reader = other.Start([&] {
        for (;;) {
            if (const int read = ReadableFilesBelow(sharedText.c_str(), 0); read > 0)
                return read > 100 ? 100 : read;
            usleep(200);
        }
    });
    const RunResult result =
        Consolidate("2026-12-01", "2026-12-03", JobFolder(), {"TMPDIR=" + sharedText});
    kill(reader, SIGTERM);
    const int readerEnd = ExitCodeOf(reader);

    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(JobArchives(), (std::vector<std::string>{"rk_2026_12_03_00_00_00_C.zip"}));
    EXPECT_EQ(box.read(box.root() / "victim.txt"), "the user's own text");
    EXPECT_TRUE(fs::is_symlink(shared / "filelist.tmp"));
    EXPECT_TRUE(fs::is_symlink(shared / "filelisto.tmp"));
    // Stopped while still polling: it never read a file.
    EXPECT_EQ(readerEnd, -1) << readerEnd << " files were read";
    // The run worked in the user's private folder inside the shared one.
    struct stat info {};
    ASSERT_EQ(lstat((shared / "ravelkeep-0").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    // Beside it at most Qt's own runtime folder, private as well.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(shared)) {
        if (entry.path().filename() == "runtime-root") {
            ASSERT_EQ(lstat(entry.path().c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0700u);
            continue;
        }
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filelist.tmp", "filelisto.tmp", "ravelkeep-0"}));
}

} // namespace
} // namespace rk::test
