// The detection of a backup disk that is not connected, on machines laid out
// in a sandbox folder: the mount table and fstab are fed as text, the folders
// are real.

#include "platform/absent_disk.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rk::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRootAndRun = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                    "30 22 0:25 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw\n";

class AbsentDiskTest : public ::testing::Test {
  protected:
    Sandbox box;
    fs::path machine = box.root() / "machine";

    void SetUp() override {
        places.fileRoot = machine.string();
        places.userName = "alice";
        places.mountInfo = kRootAndRun;
        fs::create_directories(machine / "home" / "alice");
        fs::create_directories(machine / "media" / "alice");
        fs::create_directories(machine / "run" / "media" / "alice");
        fs::create_directories(machine / "mnt");
        fs::create_directories(machine / "srv");
    }
    // A folder of the fake machine, with a file in it when it must not be
    // empty.
    void Folder(const std::string& path, bool withFile = false) const {
        fs::create_directories(machine / path.substr(1));
        if (withFile)
            box.write(machine / path.substr(1) / "file.txt", "x");
    }
    void Mounted(const std::string& point, const std::string& type = "ext4") {
        places.mountInfo +=
            "41 22 8:17 / " + point + " rw,relatime shared:9 - " + type + " /dev/sdb1 rw\n";
    }
    std::optional<std::string> Absent(const std::string& path) const {
        return platform::AbsentDiskMountPoint(path, places);
    }

    platform::DiskPlaces places;
};

TEST_F(AbsentDiskTest, AMistypedFolderOnAMountedDiskIsAPlainMistake) {
    places.fstab = "UUID=1234 /srv/backup ext4 defaults,nofail 0 2\n";
    Folder("/srv/backup/Store", true);
    Mounted("/srv/backup");
    EXPECT_EQ(Absent("/srv/backup/Stroe/Weekly"), std::nullopt);
    EXPECT_EQ(Absent("/home/alice/Bakups"), std::nullopt);

    Folder("/media/alice/DISK/Store", true);
    Mounted("/media/alice/DISK");
    EXPECT_EQ(Absent("/media/alice/DISK/Stroe"), std::nullopt);
    // A disk mounted on /mnt itself: a folder missing under it is a mistake.
    Folder("/mnt/Store", true);
    Mounted("/mnt");
    EXPECT_EQ(Absent("/mnt/Stroe/Weekly"), std::nullopt);
}

TEST_F(AbsentDiskTest, AnEmptyMountPointListedInFstabIsADiskNotConnected) {
    places.fstab = "# the backup disk\n"
                   "UUID=1234-ABCD  /srv/backup  ext4  noauto,nofail  0 2\n"
                   "/dev/sda2 none swap sw 0 0\n";
    Folder("/srv/backup");
    EXPECT_EQ(Absent("/srv/backup/Store/Weekly"), "/srv/backup");
    EXPECT_EQ(Absent("/srv/backup"), std::nullopt) << "the folder itself is there";

    // The same empty folder, not listed: nothing says a disk belongs there.
    places.fstab = "UUID=1234-ABCD /srv/other ext4 noauto 0 2\n";
    EXPECT_EQ(Absent("/srv/backup/Store"), std::nullopt);

    // Listed but holding files: someone's folder, not an empty mount point.
    places.fstab = "UUID=1234-ABCD /srv/backup ext4 noauto 0 2\n";
    Folder("/srv/backup", true);
    EXPECT_EQ(Absent("/srv/backup/Store"), std::nullopt);
}

TEST_F(AbsentDiskTest, AGoneMountPointUnderMediaIsADiskNotConnected) {
    EXPECT_EQ(Absent("/media/alice/DISK/Store/Weekly"), "/media/alice/DISK");
    // Another user's media folder is not this user's removable place.
    EXPECT_EQ(Absent("/media/bob/DISK/Store"), std::nullopt);
    // Under /mnt too, one level down.
    EXPECT_EQ(Absent("/mnt/usb/Store"), "/mnt/usb");
    // A mount point listed in fstab that is gone altogether.
    places.fstab = "LABEL=backup /srv/disks/backup ext4 noauto 0 0\n";
    EXPECT_EQ(Absent("/srv/disks/backup/Store"), "/srv/disks/backup");
}

TEST_F(AbsentDiskTest, AnEmptyFolderUnderRunMediaIsADiskNotConnected) {
    Folder("/run/media/alice/DISK");
    EXPECT_EQ(Absent("/run/media/alice/DISK/Store"), "/run/media/alice/DISK");
    // Once the disk is mounted there, a folder missing on it is a mistake.
    Folder("/run/media/alice/DISK/Store", true);
    Mounted("/run/media/alice/DISK");
    EXPECT_EQ(Absent("/run/media/alice/DISK/Stroe"), std::nullopt);
    EXPECT_EQ(Absent("/run/media/alice/DISK/Store"), std::nullopt) << "it exists";
}

TEST_F(AbsentDiskTest, ALinkToTheDiskIsFollowed) {
    fs::create_symlink("/media/alice/DISK/Backups", machine / "home" / "alice" / "Backups");
    EXPECT_EQ(Absent("/home/alice/Backups/Weekly"), "/media/alice/DISK");
    fs::create_symlink("../../media/alice/USB", machine / "home" / "alice" / "Usb");
    EXPECT_EQ(Absent("/home/alice/Usb/Store"), "/media/alice/USB");
    EXPECT_EQ(Absent("/home/alice/../alice/Backups"), "/media/alice/DISK");
}

TEST_F(AbsentDiskTest, AnAutomountThatBroughtNoDiskIsADiskNotConnected) {
    Folder("/srv/auto");
    Mounted("/srv/auto", "autofs");
    EXPECT_EQ(Absent("/srv/auto/Store"), "/srv/auto");
    Folder("/srv/auto/Store", true);
    Mounted("/srv/auto", "ext4");
    EXPECT_EQ(Absent("/srv/auto/Stroe"), std::nullopt);
}

TEST_F(AbsentDiskTest, TheTablesAreReadWithTheirEscapes) {
    const auto mounts = platform::ParseMountInfo(
        "36 35 98:0 /mnt1 /media/alice/My\\040Disk rw,noatime master:1 shared:7 - ext3 "
        "/dev/root rw,errors=continue\n"
        "37 35 0:40 / /proc rw - proc proc rw\n"
        "broken line\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].mountPoint, "/media/alice/My Disk");
    EXPECT_EQ(mounts[0].type, "ext3");
    EXPECT_EQ(mounts[1].mountPoint, "/proc");
    EXPECT_EQ(mounts[1].type, "proc");

    EXPECT_EQ(platform::ParseFstabMountPoints("  # comment\n\n"
                                              "UUID=1 /srv/My\\040Backup/ ext4 noauto 0 2\n"
                                              "UUID=2 none swap sw 0 0\n"
                                              "UUID=3 swap swap sw 0 0\n"
                                              "tmpfs /tmp tmpfs defaults 0 0\n"),
              (std::vector<std::string>{"/srv/My Backup", "/tmp"}));

    Folder("/media/alice/My Disk");
    places.mountInfo += "41 22 8:17 / /media/alice/My\\040Disk rw - ext4 /dev/sdb1 rw\n";
    EXPECT_EQ(Absent("/media/alice/My Disk/Store"), std::nullopt);
}

TEST_F(AbsentDiskTest, AnExistingOrRelativePathIsNeverAnAbsentDisk) {
    Folder("/media/alice/DISK/Store", true);
    EXPECT_EQ(Absent("/media/alice/DISK/Store"), std::nullopt);
    EXPECT_EQ(Absent("media/alice/GONE"), std::nullopt);
    EXPECT_EQ(Absent(""), std::nullopt);
}

// The machine's own tables: a folder that exists is never absent, and one
// under this user's /media folder that is not there is.
TEST(AbsentDiskHereTest, ReadsThisMachinesTables) {
    Sandbox box;
    EXPECT_EQ(platform::AbsentDiskMountPointHere(box.root().string()), std::nullopt);
    EXPECT_EQ(platform::AbsentDiskMountPointHere((box.root() / "typo" / "Store").string()),
              std::nullopt);
}

} // namespace
} // namespace rk::test
