// The DOS bits of files found for an archive: read through the open file as
// through its path, a file system without extended attributes asked no more,
// one that keeps them asked for every file, and the bits a backup stores.

#include "tool_fixture.h"
#include "tools/common/dos_bits.h"
#include "tools/rkzip/dos_bits_reading.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zip.h>

namespace rk::test {
namespace {

using rk::tools::DeviceOf;

class DosBitsReading : public ToolTest {
  protected:
    // Records `value` as the file's user.DOSATTRIB; false where the sandbox's
    // file system keeps no such attributes.
    static bool Mark(const std::filesystem::path& file, const std::string& value) {
        return setxattr(file.c_str(), "user.DOSATTRIB", value.data(), value.size(), 0) == 0;
    }

    static DeviceOf DeviceOfPath(const std::filesystem::path& path) {
        struct stat info {};
        EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
        return DeviceOf{info.st_dev, true};
    }

    static unsigned BitsThroughOpenFile(const std::filesystem::path& path, DeviceOf device) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_GE(fd, 0) << path;
        const unsigned bits = rk::tools::ReadDosBitsOf(fd, device);
        close(fd);
        return bits;
    }

    // The low byte of each entry's external attributes (the DOS bits), by
    // name.
    static std::map<std::string, unsigned> DosBytesIn(const std::filesystem::path& archive) {
        std::map<std::string, unsigned> bytes;
        int error = 0;
        zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
        EXPECT_NE(zip, nullptr) << archive;
        if (zip == nullptr)
            return bytes;
        const zip_int64_t count = zip_get_num_entries(zip, 0);
        for (zip_int64_t i = 0; i < count; ++i) {
            const auto index = static_cast<zip_uint64_t>(i);
            zip_uint8_t system = 0;
            zip_uint32_t attributes = 0;
            zip_file_get_external_attributes(zip, index, 0, &system, &attributes);
            bytes[zip_get_name(zip, index, 0)] = attributes & 0xff;
        }
        zip_discard(zip);
        return bytes;
    }
};

TEST_F(DosBitsReading, TheOpenFileGivesTheBitsItsPathGives) {
    sandbox.write(C("wine.txt"), "w");
    sandbox.write(C("samba.txt"), "s");
    sandbox.write(C("plain.txt"), "p");
    // Samba's binary record: version 3, the attribute word at its fifth byte.
    const std::string samba("\x03\x00\x03\x00\x06\x00\x00\x00\x00\x00\x00\x00", 12);
    if (!Mark(C("wine.txt"), "0x2") || !Mark(C("samba.txt"), samba))
        GTEST_SKIP() << "the sandbox's file system keeps no user attributes";
    for (const char* name : {"wine.txt", "samba.txt", "plain.txt"}) {
        const auto path = C(name);
        EXPECT_EQ(BitsThroughOpenFile(path, DeviceOfPath(path)),
                  rk::tools::ReadDosBits(path.string()))
            << name;
        EXPECT_EQ(rk::tools::ReadDosBitsAt(path.string(), DeviceOfPath(path)),
                  rk::tools::ReadDosBits(path.string()))
            << name;
    }
    EXPECT_EQ(BitsThroughOpenFile(C("wine.txt"), DeviceOfPath(C("wine.txt"))), 0x2u);
    EXPECT_EQ(BitsThroughOpenFile(C("samba.txt"), DeviceOfPath(C("samba.txt"))), 0x6u);
}

TEST_F(DosBitsReading, AFileSystemKeepingAttributesIsAskedForEveryFile) {
    sandbox.write(C("first.txt"), "without an attribute");
    sandbox.write(C("second.txt"), "with one");
    const DeviceOf device = DeviceOfPath(C("first.txt"));
    // A file without the attribute says nothing of the next one.
    EXPECT_EQ(BitsThroughOpenFile(C("first.txt"), device), 0u);
    EXPECT_EQ(rk::tools::ReadDosBitsAt(C("first.txt").string(), device), 0u);
    EXPECT_FALSE(rk::tools::KeepsNoAttributes(device.device));
    if (!Mark(C("second.txt"), "0x4"))
        GTEST_SKIP() << "the sandbox's file system keeps no user attributes";
    EXPECT_EQ(BitsThroughOpenFile(C("second.txt"), device), 0x4u);
    EXPECT_EQ(rk::tools::ReadDosBitsAt(C("second.txt").string(), device), 0x4u);
}

TEST_F(DosBitsReading, AFileSystemWithoutAttributesIsAskedNoMore) {
    // The process file system keeps no extended attributes at all.
    const std::filesystem::path status = "/proc/self/status";
    const int fd = open(status.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    char value[64];
    const bool unsupported = fgetxattr(fd, "user.DOSATTRIB", value, sizeof value) < 0 &&
                             (errno == ENOTSUP || errno == EOPNOTSUPP);
    close(fd);
    if (!unsupported)
        GTEST_SKIP() << "this system's /proc answers for user attributes";
    const DeviceOf device = DeviceOfPath(status);
    // Without its device known, one answer is not taken for the whole file
    // system.
    EXPECT_EQ(BitsThroughOpenFile(status, DeviceOf{}), 0u);
    EXPECT_FALSE(rk::tools::KeepsNoAttributes(device.device));
    EXPECT_EQ(BitsThroughOpenFile(status, device), 0u);
    EXPECT_TRUE(rk::tools::KeepsNoAttributes(device.device));
    // Nor does it stand for any other file system.
    EXPECT_FALSE(rk::tools::KeepsNoAttributes(DeviceOfPath(sandbox.c()).device));
}

TEST_F(DosBitsReading, ABackupStoresTheBitsOfFilesAndFolders) {
    sandbox.write(C("Data/hidden.txt"), "h");
    sandbox.write(C("Data/system.txt"), "s");
    sandbox.write(C("Data/plain.txt"), "p");
    sandbox.write(C("Data/Folder/inside.txt"), "i");
    if (!Mark(C("Data/hidden.txt"), "0x2") || !Mark(C("Data/system.txt"), "0x24") ||
        !Mark(C("Data/Folder"), "0x2"))
        GTEST_SKIP() << "the sandbox's file system keeps no user attributes";
    chmod(C("Data/plain.txt").c_str(), 0444);
    std::filesystem::create_directories(C("Backups"));
    const RunResult run =
        Zip({"-a", "-p", "-r", "-whs", "-yp", "-^^", "C:\\Backups\\with.zip", "C:\\Data\\*.*"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto bytes = DosBytesIn(C("Backups/with.zip"));
    // Hidden and system come from the attribute, read-only from the mode,
    // the folder bit from the kind; the archive bit is never stored.
    EXPECT_EQ(bytes.at("hidden.txt"), rk::tools::kDosHidden);
    EXPECT_EQ(bytes.at("system.txt"), rk::tools::kDosSystem);
    EXPECT_EQ(bytes.at("plain.txt"), rk::tools::kDosReadOnly);
    EXPECT_EQ(bytes.at("Folder/"), rk::tools::kDosHidden | rk::tools::kDosDirectory);
    EXPECT_EQ(bytes.at("Folder/inside.txt"), 0u);
}

} // namespace
} // namespace rk::test
