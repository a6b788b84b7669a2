// The points in time of a job built from point records written by hand: which
// files are there at each point and in which version, the versions of a
// file, the search, and the reading of the records the unzip utility writes.

#include "engine/point_record.h"
#include "engine/points_in_time.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace rk;

PointRecord Record(PointKind kind, std::vector<RecordedFile> files,
                   std::vector<std::string> gone = {}) {
    PointRecord record;
    record.kind = kind;
    record.hasDeletionRecord = true;
    record.files = std::move(files);
    record.goneNames = std::move(gone);
    return record;
}

PointsInTime Build(const std::vector<PointRecord>& records) {
    std::vector<TimePoint> points;
    for (std::size_t i = 0; i < records.size(); ++i)
        points.push_back({"rk_2026_01_0" + std::to_string(i + 1) + "_10_00_00.zip", {}, {}, 0});
    return PointsInTime(std::move(points), records);
}

// name -> the point its version there comes from
std::map<std::string, int> Tree(const PointsInTime& points, int point) {
    std::map<std::string, int> tree;
    for (const auto& file : points.TreeAt(point))
        tree[points.FileName(file.file)] = file.version.point;
    return tree;
}

TEST(PointsInTime, EachPointHasTheNewestVersionAndNothingDeletedBeforeIt) {
    const PointsInTime points = Build({
        Record(PointKind::Root, {{"D\\a", 1, 0}, {"D\\b", 1, 0}, {"D\\x", 1, 0}}),
        Record(PointKind::Incremental, {{"D\\a", 2, 0}}, {"D\\b"}),
        Record(PointKind::Incremental, {{"D\\b", 3, 0}, {"D\\x\\in", 3, 0}}, {"D\\x", "D\\x\\"}),
        Record(PointKind::Incremental, {}, {"D\\a"}),
    });
    using T = std::map<std::string, int>;
    EXPECT_EQ(Tree(points, 0), (T{{"D\\a", 0}, {"D\\b", 0}, {"D\\x", 0}}));
    EXPECT_EQ(Tree(points, 1), (T{{"D\\a", 1}, {"D\\x", 0}}));
    EXPECT_EQ(Tree(points, 2), (T{{"D\\a", 1}, {"D\\b", 2}, {"D\\x\\in", 2}}));
    EXPECT_EQ(Tree(points, 3), (T{{"D\\b", 2}, {"D\\x\\in", 2}}));
    EXPECT_TRUE(points.TreeAt(4).empty());
    EXPECT_TRUE(points.TreeAt(-1).empty());
    // A folder's own name is no file of the tree.
    EXPECT_EQ(points.FileOf("D\\x\\"), -1);
}

TEST(PointsInTime, AFileHeldAndGoneInOneArchiveIsGoneThere) {
    // A consolidation of a period in which the file came and went again.
    const PointsInTime points = Build({
        Record(PointKind::Root, {{"keep", 1, 0}}),
        Record(PointKind::Consolidated, {{"came and went", 5, 0}, {"keep", 2, 0}},
               {"came and went"}),
    });
    const auto file = static_cast<std::uint32_t>(points.FileOf("came and went"));
    EXPECT_FALSE(points.PresentAt(file, 1));
    EXPECT_EQ(points.Versions(file).size(), 1u);
    EXPECT_EQ(Tree(points, 1), (std::map<std::string, int>{{"keep", 1}}));
    EXPECT_EQ(points.Points()[1].kind, PointKind::Consolidated);
}

TEST(PointsInTime, VersionsListEveryArchiveHoldingTheFile) {
    const PointsInTime points = Build({
        Record(PointKind::Root, {{"f", 10, 100}}),
        Record(PointKind::Incremental, {}, {"f"}),
        Record(PointKind::Incremental, {{"f", 30, 300}}),
        Record(PointKind::Incremental, {{"f", 40, 400}}),
    });
    const auto versions = points.Versions(static_cast<std::uint32_t>(points.FileOf("f")));
    ASSERT_EQ(versions.size(), 3u);
    EXPECT_EQ(versions[0].point, 0);
    EXPECT_EQ(versions[1].point, 2);
    EXPECT_EQ(versions[2].point, 3);
    EXPECT_EQ(versions[1].size, 30u);
    EXPECT_EQ(versions[2].mtime, 400);
}

TEST(PointsInTime, SearchFindsANameAtAnyPointIgnoringCase) {
    const PointsInTime points = Build({
        Record(PointKind::Root, {{"Docs\\Report.txt", 1, 0}, {"Docs\\other", 1, 0}}),
        Record(PointKind::Incremental, {{"Old\\report-2.txt", 1, 0}}, {"Docs\\Report.txt"}),
    });
    const auto found = points.Search("REPORT");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(points.FileName(found[0]), "Docs\\Report.txt");
    EXPECT_EQ(points.FileName(found[1]), "Old\\report-2.txt");
    // The folders' names are searched only when asked.
    EXPECT_TRUE(points.Search("docs").empty());
    EXPECT_EQ(points.Search("docs", false).size(), 2u);
    EXPECT_TRUE(points.Search("").empty());
}

TEST(PointsInTime, ArchivesWithoutARecordKeepTheirKindUnknown) {
    PointRecord old;
    old.files = {{"a", 1, 0}};
    std::vector<TimePoint> time{{"rk_2026_01_01_10_00_00.zip", "", PointKind::Unknown, 5}};
    const PointsInTime points(std::move(time), {old});
    EXPECT_EQ(points.Points()[0].kind, PointKind::Unknown);
    EXPECT_EQ(points.PointOf("RK_2026_01_01_10_00_00.ZIP"), 0);
    EXPECT_EQ(points.PointOf("rk_2026_01_02_10_00_00.zip"), -1);
}

TEST(PointsInTime, TheTimeOfAPointIsReadFromItsName) {
    EXPECT_EQ(PointTimeText("rk_2026_12_09_14_00_05.zip"), "2026-12-09 14:00:05");
    EXPECT_EQ(PointTimeText("rk_2026_12_09_14_00_05_C.zip"), "2026-12-09 14:00:05");
    EXPECT_EQ(PointTimeText("rk_2026_12_09.zip"), "");
    EXPECT_EQ(PointTimeText("rk_2026_12_09_1x_00_05.zip"), "");
}

TEST(PointRecords, TheUtilitysRecordsAreReadArchiveByArchive) {
    const auto records = ParsePointRecords("A\tC:\\B\\a.zip\n"
                                           "F\t12\t1700000000\tData\\a.txt\n"
                                           "R\troot\n"
                                           "A\tC:\\B\\b.zip\n"
                                           "F\t0\t-5\t\\Data\\line%0Abreak\n"
                                           "R\tincremental\n"
                                           "X\tData\\a.txt\n"
                                           "X\tData\\old\\\n"
                                           "A\tC:\\B\\old.zip\n");
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 3u);
    EXPECT_EQ((*records)[0].kind, PointKind::Root);
    ASSERT_EQ((*records)[0].files.size(), 1u);
    EXPECT_EQ((*records)[0].files[0].size, 12u);
    EXPECT_EQ((*records)[0].files[0].mtime, 1700000000);
    EXPECT_EQ((*records)[1].files[0].name, "\\Data\\line%0Abreak");
    EXPECT_EQ((*records)[1].goneNames, (std::vector<std::string>{"Data\\a.txt", "Data\\old\\"}));
    EXPECT_FALSE((*records)[2].hasDeletionRecord);
    EXPECT_EQ((*records)[2].kind, PointKind::Unknown);

    EXPECT_FALSE(ParsePointRecords("F\t1\t1\tname\n"));         // no archive line
    EXPECT_FALSE(ParsePointRecords("A\ta\nF\tbig\t1\tname\n")); // not a number
    EXPECT_FALSE(ParsePointRecords("A\ta\nR\tweekly\n"));       // no such kind
    EXPECT_FALSE(ParsePointRecords("A\ta\nQ\tsomething\n"));    // no such line
}

} // namespace
