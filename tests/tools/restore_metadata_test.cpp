// Folder modes and times, and link times, as rkunzip restores them: from the
// folder entries once every file is in place, and under -o- (newest archive
// first) without undoing what a newer archive gave a folder.

#include "tool_fixture.h"

#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <zip.h>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

constexpr time_t k2001 = 978307200;  // 2001-01-01 00:00:00 UTC
constexpr time_t k2002 = 1012608000; // 2002-02-02
constexpr time_t k2003 = 1046649600; // 2003-03-03
constexpr time_t k2004 = 1081036800; // 2004-04-04
constexpr time_t k2005 = 1115251200; // 2005-05-05

struct stat StatOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

unsigned ModeOf(const fs::path& path) {
    return StatOf(path).st_mode & 07777;
}
time_t MtimeOf(const fs::path& path) {
    return StatOf(path).st_mtim.tv_sec;
}

mode_t UmaskNow() {
    const mode_t mask = umask(0);
    umask(mask);
    return mask;
}

void SetMode(const fs::path& path, mode_t mode) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

// Sets the modification time of `path` itself (a link is not followed).
void SetMtime(const fs::path& path, time_t mtime) {
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class RestoreMetadata : public ToolTest {
  protected:
    void SetUp() override { fs::create_directories(C("Backups")); }
    // Archives what the folder below C: holds, with paths relative to it.
    void Archive(const std::string& windowsArchive, const std::string& windowsFolder) {
        const RunResult made =
            Zip({"-a", "-p", "-r", "-whs", "-yp", "-^^", windowsArchive, windowsFolder + "\\*.*"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    RunResult ExtractAll(const std::string& archive, const std::string& destination,
                         const std::string& replace = "-o-") const {
        return Unzip({"-d", "-Jhrs", replace, "-yo", "-^^", archive, destination});
    }
};

TEST_F(RestoreMetadata, FoldersGetTheirModesAndTimesAndLinksTheirTimes) {
    const fs::path data = C("Data");
    sandbox.write(data / "private/a.txt", "a");
    sandbox.write(data / "private/b.txt", "b");
    sandbox.write(data / "old/o.txt", "o");
    sandbox.write(data / "outer/inner/deepest/x.txt", "x");
    sandbox.write(data / "shared/s.txt", "s");
    fs::create_directories(data / "empty");
    fs::create_symlink("private/a.txt", data / "link");
    SetMode(data / "private/a.txt", 0644);
    SetMode(data / "private/b.txt", 0644);
    // Each folder a mode and time of its own, so one given another's shows.
    const struct {
        const char* path;
        mode_t mode;
        time_t mtime;
    } folders[] = {
        {"private", 0700, k2005},
        {"old", 0750, k2001},
        {"empty", 0705, k2002},
        {"outer", 0751, k2003},
        {"outer/inner", 0500, k2004},
        {"outer/inner/deepest", 0710, k2001 + 3600},
        // Set-group-ID and the sticky bit are not given back, nor writing
        // by others unless the umask allows it.
        {"shared", 03777, k2002 + 7200},
    };
    for (const auto& folder : folders) {
        SetMode(data / folder.path, folder.mode);
        SetMtime(data / folder.path, folder.mtime);
    }
    SetMtime(data / "link", k2003 + 60);
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");

    const RunResult run = ExtractAll("C:\\Backups\\rk_1.zip", "C:\\Restore\\rk_1\\");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path out = C("Restore/rk_1");
    for (const auto& folder : folders) {
        SCOPED_TRACE(folder.path);
        EXPECT_EQ(ModeOf(out / folder.path), folder.mode & 0777 & ~(UmaskNow() & S_IWOTH));
        EXPECT_EQ(MtimeOf(out / folder.path), folder.mtime);
    }
    EXPECT_EQ(sandbox.read(out / "outer/inner/deepest/x.txt"), "x");
    EXPECT_EQ(ModeOf(out / "private/a.txt"), 0644u);
    ASSERT_TRUE(fs::is_symlink(out / "link"));
    EXPECT_EQ(MtimeOf(out / "link"), k2003 + 60);
}

TEST_F(RestoreMetadata, NewestFirstKeepsTheNewerArchivesFolderModesAndTimes) {
    // Enough files for the entries to be shared between two workers.
    const fs::path data = C("Data");
    for (int i = 0; i < 70; ++i)
        sandbox.write(data / "box" / ("f" + std::to_string(i) + ".txt"), "old");
    sandbox.write(data / "box/only-old.txt", "only in the older archive");
    sandbox.write(data / "gone/g.txt", "g");
    SetMode(data / "box", 0755);
    SetMtime(data / "box", k2001);
    SetMode(data / "gone", 0750);
    SetMtime(data / "gone", k2003);
    Archive("C:\\Backups\\rk_1.zip", "C:\\Data");

    fs::remove(data / "box/only-old.txt");
    fs::remove_all(data / "gone");
    sandbox.write(data / "box/new.txt", "only in the newer archive");
    SetMode(data / "box", 0700);
    SetMtime(data / "box", k2005);
    Archive("C:\\Backups\\rk_2.zip", "C:\\Data");

    const fs::path out = C("Restore/rk_2");
    const RunResult newer = ExtractAll("C:\\Backups\\rk_2.zip", "C:\\Restore\\rk_2\\");
    ASSERT_EQ(newer.exitCode, 0) << newer.err;
    EXPECT_EQ(ModeOf(out / "box"), 0700u);
    EXPECT_EQ(MtimeOf(out / "box"), k2005);
    const timespec topBefore = StatOf(out).st_mtim;

    // The older archive adds a file to the box and a folder to the top: both
    // keep the times they had, the box its mode, and the new folder gets its
    // own.
    const RunResult older = ExtractAll("C:\\Backups\\rk_1.zip", "C:\\Restore\\rk_2\\");
    ASSERT_EQ(older.exitCode, 0) << older.err;
    EXPECT_EQ(sandbox.read(out / "box/only-old.txt"), "only in the older archive");
    EXPECT_EQ(sandbox.read(out / "box/f0.txt"), "old");
    EXPECT_EQ(ModeOf(out / "box"), 0700u);
    EXPECT_EQ(MtimeOf(out / "box"), k2005);
    EXPECT_EQ(ModeOf(out / "gone"), 0750u);
    EXPECT_EQ(MtimeOf(out / "gone"), k2003);
    const timespec topAfter = StatOf(out).st_mtim;
    EXPECT_EQ(topAfter.tv_sec, topBefore.tv_sec);
    EXPECT_EQ(topAfter.tv_nsec, topBefore.tv_nsec);

    // Replacing what is there, the archive's folders are given theirs.
    const RunResult replacing = ExtractAll("C:\\Backups\\rk_1.zip", "C:\\Restore\\rk_2\\", "-o");
    ASSERT_EQ(replacing.exitCode, 0) << replacing.err;
    EXPECT_EQ(ModeOf(out / "box"), 0755u);
    EXPECT_EQ(MtimeOf(out / "box"), k2001);
}

// Adds a folder entry with a Unix mode and time to an archive being made.
void AddFolder(zip_t* archive, const char* name, mode_t mode, time_t mtime) {
    const zip_int64_t index = zip_dir_add(archive, name, ZIP_FL_ENC_UTF_8);
    ASSERT_GE(index, 0) << zip_strerror(archive);
    const auto entry = static_cast<zip_uint64_t>(index);
    ASSERT_EQ(zip_file_set_external_attributes(archive, entry, 0, ZIP_OPSYS_UNIX,
                                               static_cast<zip_uint32_t>(S_IFDIR | mode) << 16),
              0);
    ASSERT_EQ(zip_file_set_mtime(archive, entry, mtime, 0), 0);
}

void AddFile(zip_t* archive, const char* name, const std::string& content) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    ASSERT_NE(source, nullptr);
    ASSERT_GE(zip_file_add(archive, name, source, ZIP_FL_ENC_UTF_8), 0) << zip_strerror(archive);
}

TEST_F(RestoreMetadata, FolderEntryBeforeOrAfterItsFilesOrThroughALink) {
    // DOS times hold even seconds only.
    const std::string content = "in a folder";
    const fs::path archivePath = C("Backups/made.zip");
    int error = 0;
    zip_t* archive = zip_open(archivePath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    AddFolder(archive, "first/", 0500, k2003);
    AddFile(archive, "first/a.txt", content);
    AddFile(archive, "first/sub/b.txt", content);
    AddFile(archive, "later/c.txt", content);
    AddFolder(archive, "later/", 0550, k2004);
    AddFolder(archive, "aside/", 0700, k2001);
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);

    // A folder the archive names that is a link in the destination is
    // neither written through nor changed: under -o- the link stands, as a
    // newer archive extracted before made it.
    fs::create_directories(C("Elsewhere"));
    SetMode(C("Elsewhere"), 0755);
    SetMtime(C("Elsewhere"), k2002);
    fs::create_directories(C("Restore/made"));
    fs::create_directory_symlink(C("Elsewhere"), C("Restore/made/aside"));

    const RunResult run = ExtractAll("C:\\Backups\\made.zip", "C:\\Restore\\made\\");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const fs::path out = C("Restore/made");
    EXPECT_EQ(sandbox.read(out / "first/sub/b.txt"), content);
    EXPECT_EQ(sandbox.read(out / "later/c.txt"), content);
    EXPECT_EQ(ModeOf(out / "first"), 0500u);
    EXPECT_EQ(MtimeOf(out / "first"), k2003);
    EXPECT_EQ(ModeOf(out / "later"), 0550u);
    EXPECT_EQ(MtimeOf(out / "later"), k2004);
    EXPECT_EQ(ModeOf(C("Elsewhere")), 0755u);
    EXPECT_EQ(MtimeOf(C("Elsewhere")), k2002);
}

} // namespace
} // namespace rk::test
