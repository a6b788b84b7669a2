#include "engine/keep_policy.h"
#include "engine/last_thin.h"
#include "engine/thinning_plan.h"
#include "support/sandbox.h"

#include <gtest/gtest.h>

namespace {

using namespace rk;
using namespace std::chrono;
using Names = std::vector<std::string>;

constexpr CalendarDay kToday = 2026y / December / 10; // a Thursday

// Default policy on 2026-12-10: every backup of 12-09 and 12-10; one a day
// for the days 11-11 to 12-08; one a week (from Monday) for 05-11 to 11-10;
// one a month before.
TEST(ThinningPlan, TheDefaultPolicyThinsByDayThenWeekThenMonth) {
    const Names archives = {
        "rk_2026_04_02_10_00_00.zip", // root, April: alone in its month
        "rk_2026_05_01_10_00_00.zip",   "rk_2026_05_10_10_00_00.zip", // May, monthly
        "rk_2026_05_11_10_00_00.zip",                                 // Monday 05-11, weekly, alone
        "rk_2026_11_08_10_00_00.zip", // Sunday: week of 11-02, alone
        "rk_2026_11_09_10_00_00.zip",   "rk_2026_11_10_09_00_00.zip", // week of 11-09
        "rk_2026_11_11_10_00_00.zip",                                 // daily, alone
        "rk_2026_12_08_08_00_00.zip",   "rk_2026_12_08_12_00_00.zip",
        "rk_2026_12_08_18_00_00_C.zip",                               // one day: three archives
        "rk_2026_12_09_08_00_00.zip",   "rk_2026_12_09_12_00_00.zip", // kept, every one
        "rk_2026_12_10_08_00_00.zip",   "rk_2026_12_10_12_00_00.zip", "rk_undated.zip"};
    const ThinningPlan plan = PlanThinning(archives, KeepPolicy{}, kToday);
    ASSERT_EQ(plan.periods.size(), 3U);
    EXPECT_EQ(plan.periods[0].archives, (Names{archives[1], archives[2]}));
    EXPECT_EQ(plan.periods[0].firstDay, 2026y / May / 1);
    EXPECT_EQ(plan.periods[0].lastDay, 2026y / May / 10);
    EXPECT_EQ(plan.periods[1].archives, (Names{archives[5], archives[6]}));
    EXPECT_EQ(plan.periods[2].archives, (Names{archives[8], archives[9], archives[10]}));
    EXPECT_EQ(plan.remaining, (Names{"rk_2026_04_02_10_00_00.zip", "rk_2026_05_10_10_00_00_C.zip",
                                     "rk_2026_05_11_10_00_00.zip", "rk_2026_11_08_10_00_00.zip",
                                     "rk_2026_11_10_09_00_00_C.zip", "rk_2026_11_11_10_00_00.zip",
                                     "rk_2026_12_08_18_00_00_C_C.zip", "rk_2026_12_09_08_00_00.zip",
                                     "rk_2026_12_09_12_00_00.zip", "rk_2026_12_10_08_00_00.zip",
                                     "rk_2026_12_10_12_00_00.zip", "rk_undated.zip"}));
}

TEST(ThinningPlan, AThinnedPlanThinsNothingMoreOnTheSameDay) {
    const Names archives = {"rk_2026_11_02_10_00_00.zip", "rk_2026_11_03_10_00_00.zip",
                            "rk_2026_11_20_10_00_00.zip", "rk_2026_11_20_11_00_00.zip",
                            "rk_2026_12_10_10_00_00.zip"};
    const ThinningPlan first = PlanThinning(archives, KeepPolicy{}, kToday);
    EXPECT_EQ(first.periods.size(), 2U);
    EXPECT_TRUE(PlanThinning(first.remaining, KeepPolicy{}, kToday).periods.empty());
}

TEST(ThinningPlan, BeyondTheLastStepEverythingOlderBecomesOneArchive) {
    const KeepPolicy policy{1, 1, 1, 1};
    // The steps end 2026-12-09, 12-02, 11-02, and 2025-11-02.
    const Names archives = {"rk_2024_01_01_10_00_00.zip", "rk_2025_03_01_10_00_00.zip",
                            "rk_2025_10_31_10_00_00.zip", "rk_2025_11_03_10_00_00.zip",
                            "rk_2025_11_30_10_00_00.zip"};
    const ThinningPlan plan = PlanThinning(archives, policy, kToday);
    ASSERT_EQ(plan.periods.size(), 2U);
    EXPECT_EQ(plan.periods[0].archives, (Names{archives[0], archives[1], archives[2]}));
    EXPECT_EQ(plan.periods[1].archives, (Names{archives[3], archives[4]}));
}

TEST(ThinningPlan, ForeverKeepsEveryBackupOfThatStep) {
    const Names archives = {"rk_2020_01_01_10_00_00.zip", "rk_2020_01_01_11_00_00.zip"};
    EXPECT_TRUE(PlanThinning(archives, KeepPolicy{kKeepForever, 0, 0, 0}, kToday).periods.empty());
    EXPECT_EQ(PlanThinning(archives, KeepPolicy{0, kKeepForever, 0, 0}, kToday).periods.size(), 1U);
}

TEST(ThinningPlan, TheConsolidatedNameIsTheNewestArchivesWithC) {
    EXPECT_EQ(ConsolidatedArchiveName("rk_2026_12_08_18_00_00.zip"),
              "rk_2026_12_08_18_00_00_C.zip");
    EXPECT_EQ(ArchiveDate(ConsolidatedArchiveName("rk_2026_12_08_18_00_00_C.zip")),
              2026y / December / 8);
}

TEST(KeepPolicyWords, SayEachStep) {
    EXPECT_EQ(KeepPolicyWords(kProposedKeepPolicy),
              "Keep every backup for 2 days, then one a day for 4 weeks, then one a week for 6 "
              "months, then one a month forever.");
    EXPECT_EQ(KeepPolicyWords({1, 1, 1, 2}),
              "Keep every backup for 1 day, then one a day for 1 week, then one a week for 1 "
              "month, then one a month for 2 years, then one for everything older.");
    EXPECT_EQ(KeepPolicyWords({kKeepForever, 1, 1, 1}), "Keep every backup forever.");
}

class KeepSettings : public ::testing::Test {
  protected:
    rk::test::Sandbox box;
    Job job{"C:\\Backups\\", "Weekly"};
    void SetUp() override {
        box.write(box.c() / "Backups" / "Weekly" / "rkjob.ini", "[settings]\r\ncreated=today\r\n");
    }
};

TEST_F(KeepSettings, NoSectionKeepsEverythingAndAWrittenPolicyReadsBack) {
    EXPECT_FALSE(ReadKeepPolicy(job));
    WriteKeepPolicy(job, KeepPolicy{3, 2, 1, kKeepForever});
    EXPECT_EQ(ReadKeepPolicy(job), (KeepPolicy{3, 2, 1, kKeepForever}));
    WriteKeepPolicy(job, std::nullopt);
    EXPECT_FALSE(ReadKeepPolicy(job));
}

TEST_F(KeepSettings, AMissingOrWrongKeyTakesTheProposedValue) {
    box.write(box.c() / "Backups" / "Weekly" / "rkjob.ini",
              "[keep]\r\ndays=5\r\nweeks=many\r\nyears=-7\r\n");
    EXPECT_EQ(ReadKeepPolicy(job), (KeepPolicy{5, 4, 6, kKeepForever}));
}

TEST_F(KeepSettings, TheLastThinningIsRecordedAndTold) {
    RecordLastThin(job, {"2026-12-10 01:00:00", 40, 12, 3 * 1024 * 1024, "thinned", {}});
    const std::optional<LastThin> read = ReadLastThin(job);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->after, 12);
    EXPECT_EQ(LastThinText(*read),
              "Last thinning: 2026-12-10 01:00:00, 40 backups to 12, 3.0 MB freed");
    RecordLastThin(job, {"2026-12-11 01:00:00", 12, 12, 0, "failed", "disk full\r\nreally"});
    EXPECT_EQ(LastThinText(*ReadLastThin(job)),
              "Last thinning: 2026-12-11 01:00:00, failed, nothing deleted: disk full; really");
    // A later period failed: the earlier ones were thinned, and the line
    // says so rather than that nothing was deleted.
    RecordLastThin(job, {"2026-12-12 01:00:00", 12, 9, 2048, "failed", "disk full"});
    EXPECT_EQ(LastThinText(*ReadLastThin(job)),
              "Last thinning: 2026-12-12 01:00:00, 12 backups to 9, 2.0 KB freed, then failed: "
              "disk full");
}

} // namespace
