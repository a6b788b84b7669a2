// The time an entry is restored with, from each extra field that holds a
// UTC time, in the order Info-ZIP reads them, whatever the local time zone.

#include "raw_zip.h"
#include "tool_fixture.h"
#include "tools/rkunzip/entry_times.h"

#include <sys/stat.h>

namespace rk::test {
namespace {

using tools::ExtraFieldMtime;

// 2020-06-15 12:34:56 UTC.
constexpr std::int64_t kKnownUtc = 1592224496;
constexpr std::int64_t kBefore2038 = 1000000000;

std::string Extended(std::int64_t time) {
    return ExtraField(0x5455,
                      std::string("\x01", 1) + LittleEndian(static_cast<std::uint64_t>(time), 4));
}
// The older Info-ZIP Unix field and PKWARE's: access time, then modification time.
std::string UnixField(std::uint16_t id, std::int64_t time) {
    return ExtraField(id, LittleEndian(static_cast<std::uint64_t>(time - 3600), 4) +
                              LittleEndian(static_cast<std::uint64_t>(time), 4) +
                              LittleEndian(1000, 2) + LittleEndian(1000, 2));
}
// NTFS times: 100 ns steps since 1601, here half a second past `time`.
std::string Ntfs(std::int64_t time) {
    const auto steps = static_cast<std::uint64_t>(time + 11644473600LL) * 10000000 + 5000000;
    return ExtraField(0x000a, LittleEndian(0, 4) + LittleEndian(1, 2) + LittleEndian(24, 2) +
                                  LittleEndian(steps, 8) + LittleEndian(steps, 8) +
                                  LittleEndian(steps, 8));
}

// The fields of one entry's extra data, as the reader takes them.
std::vector<tools::ExtraField> Fields(const std::string& extra) {
    std::vector<tools::ExtraField> fields;
    const std::string_view all(extra);
    for (std::size_t at = 0; at + 4 <= all.size();) {
        const auto id = static_cast<std::uint16_t>(static_cast<unsigned char>(all[at]) |
                                                   static_cast<unsigned char>(all[at + 1]) << 8);
        const std::size_t length =
            static_cast<unsigned char>(all[at + 2]) | static_cast<unsigned char>(all[at + 3]) << 8;
        fields.push_back({id, all.substr(at + 4, length)});
        at += 4 + length;
    }
    return fields;
}

TEST(EntryTimes, TheExtendedTimestampWinsWhereverItStands) {
    EXPECT_EQ(ExtraFieldMtime(Fields(UnixField(0x5855, 5) + Extended(kKnownUtc)), kBefore2038),
              kKnownUtc);
    EXPECT_EQ(ExtraFieldMtime(Fields(Extended(kKnownUtc) + UnixField(0x000d, 5)), kBefore2038),
              kKnownUtc);
    EXPECT_EQ(ExtraFieldMtime(Fields(Ntfs(5) + Extended(kKnownUtc)), kBefore2038), kKnownUtc);
}

TEST(EntryTimes, TheUnixFieldsComeBeforeNtfsAndTheLastOfThemCounts) {
    EXPECT_EQ(ExtraFieldMtime(Fields(Ntfs(5) + UnixField(0x5855, kKnownUtc)), kBefore2038),
              kKnownUtc);
    EXPECT_EQ(
        ExtraFieldMtime(Fields(UnixField(0x5855, 5) + UnixField(0x000d, kKnownUtc)), kBefore2038),
        kKnownUtc);
    EXPECT_EQ(ExtraFieldMtime(Fields(Ntfs(kKnownUtc)), kBefore2038), kKnownUtc);
    EXPECT_FALSE(ExtraFieldMtime(Fields(ExtraField(0x0001, "12345678")), kBefore2038));
}

TEST(EntryTimes, ATimeWithItsTopBitSetCountsOnlyWithADosTimePast2038) {
    const std::int64_t late = 0x90000000LL;
    EXPECT_FALSE(ExtraFieldMtime(Fields(Extended(late)), kBefore2038));
    EXPECT_EQ(ExtraFieldMtime(Fields(Extended(late)), late), late);
    // An extended timestamp without a modification time leaves the NTFS one.
    EXPECT_EQ(ExtraFieldMtime(
                  Fields(ExtraField(0x5455, std::string("\x02", 1) + "abcd") + Ntfs(kKnownUtc)),
                  kBefore2038),
              kKnownUtc);
}

// The DOS time says 12:34:56 on 2020-06-15, the UTC wall clock: taken as
// local time it would be hours off in both zones.
RawEntry TimedEntry(const std::string& name, const std::string& localExtra,
                    const std::string& centralExtra) {
    RawEntry entry = DosEntry(name, name);
    entry.dosDate = static_cast<std::uint16_t>((2020 - 1980) << 9 | 6 << 5 | 15);
    entry.dosTime = static_cast<std::uint16_t>(12 << 11 | 34 << 5 | 28);
    entry.localExtra = localExtra;
    entry.centralExtra = centralExtra;
    return entry;
}

std::int64_t MtimeOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mtime;
}

using TimeFields = ToolTest;

TEST_F(TimeFields, EachUtcFieldGivesTheExactTimeInEveryZone) {
    // As writers store them: the central copies hold the modification time
    // (PKWARE's and Info-ZIP's older field without the owner).
    const std::string ux = UnixField(0x5855, kKnownUtc);
    const std::vector<RawEntry> entries{
        TimedEntry("extended.txt", Extended(kKnownUtc), Extended(kKnownUtc)),
        TimedEntry("infozip-unix.txt", ux, ExtraField(0x5855, ux.substr(4, 8))),
        TimedEntry("pkware-unix.txt", UnixField(0x000d, kKnownUtc), ""),
        TimedEntry("ntfs.txt", Ntfs(kKnownUtc), Ntfs(kKnownUtc)),
        TimedEntry("dos-only.txt", "", "")};
    sandbox.write(C("Backups/times.zip"), RawZip(entries));
    for (const std::string zone : {"Asia/Tokyo", "America/Los_Angeles"}) {
        const std::string into = "R-" + zone.substr(0, zone.find('/'));
        const RunResult run = rk::test::Run({(ProgramDir() / "rkunzip").string(), "-d",
                                             "C:\\Backups\\times.zip", "C:\\" + into + "\\"},
                                            {"TZ=" + zone});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const auto* name : {"extended.txt", "infozip-unix.txt", "pkware-unix.txt", "ntfs.txt"})
            EXPECT_EQ(MtimeOf(C(into + "/" + name)), kKnownUtc) << zone << " " << name;
        // Without a field, the DOS time is the local time it names.
        const std::int64_t offset = zone == "Asia/Tokyo" ? 9 * 3600 : -7 * 3600;
        EXPECT_EQ(MtimeOf(C(into + "/dos-only.txt")), kKnownUtc - offset) << zone;

        // Info-ZIP gives the same times from its own fields; 7-Zip from NTFS too.
        const std::string infoZip = "U-" + into;
        ASSERT_EQ(rk::test::Run({"/usr/bin/unzip", "-q", C("Backups/times.zip").string(), "-d",
                                 C(infoZip).string()},
                                {"TZ=" + zone})
                      .exitCode,
                  0);
        for (const auto* name : {"extended.txt", "infozip-unix.txt", "pkware-unix.txt"})
            EXPECT_EQ(MtimeOf(C(infoZip + "/" + name)), kKnownUtc) << zone << " " << name;
        const std::string sevenZip = "S-" + into;
        ASSERT_EQ(rk::test::Run({"/usr/bin/7zz", "x", "-y", "-o" + C(sevenZip).string(),
                                 C("Backups/times.zip").string()},
                                {"TZ=" + zone})
                      .exitCode,
                  0);
        EXPECT_EQ(MtimeOf(C(sevenZip + "/ntfs.txt")), kKnownUtc) << zone;
    }
}

} // namespace
} // namespace rk::test
