#include "engine/thinning_plan.h"

#include "core/text.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace rk {

namespace {

using std::chrono::days;
using std::chrono::sys_days;

enum class Step { KeepAll, Daily, Weekly, Monthly, Older };

// The day `months` calendar months before `day` (the month's last day when
// that month is shorter).
sys_days MonthsBefore(sys_days day, int months) {
    const CalendarDay date{day};
    std::chrono::year_month_day moved = date - std::chrono::months{months};
    if (!moved.ok())
        moved = std::chrono::year_month_day_last{moved.year(),
                                                 std::chrono::month_day_last{moved.month()}};
    return sys_days{moved};
}

// The period of an archive of `day`: its step and a number naming the period
// within the step.
class Periods {
  public:
    Periods(const KeepPolicy& policy, CalendarDay today) : policy_(policy) {
        const sys_days now{today};
        // Each step covers the days after its boundary.
        everyBackupAfter_ = now - days{policy.days};
        dailyAfter_ = everyBackupAfter_ - days{7LL * std::max(policy.weeks, 0)};
        weeklyAfter_ = MonthsBefore(dailyAfter_, std::max(policy.months, 0));
        monthlyAfter_ = MonthsBefore(weeklyAfter_, 12 * std::max(policy.years, 0));
    }

    std::pair<Step, long long> Of(CalendarDay date) const {
        const sys_days day{date};
        if (policy_.days == kKeepForever || day > everyBackupAfter_)
            return {Step::KeepAll, 0};
        if (policy_.weeks == kKeepForever || day > dailyAfter_)
            return {Step::Daily, day.time_since_epoch().count()};
        if (policy_.months == kKeepForever || day > weeklyAfter_) {
            const std::chrono::weekday weekday{day};
            const sys_days monday = day - (weekday - std::chrono::Monday);
            return {Step::Weekly, monday.time_since_epoch().count()};
        }
        if (policy_.years == kKeepForever || day > monthlyAfter_)
            return {Step::Monthly,
                    static_cast<int>(date.year()) * 12LL + static_cast<unsigned>(date.month())};
        return {Step::Older, 0};
    }

  private:
    KeepPolicy policy_;
    sys_days everyBackupAfter_;
    sys_days dailyAfter_;
    sys_days weeklyAfter_;
    sys_days monthlyAfter_;
};

} // namespace

std::string ConsolidatedArchiveName(const std::string& newestArchive) {
    const std::size_t dot = newestArchive.rfind('.');
    if (dot == std::string::npos)
        return newestArchive + "_C.";
    return newestArchive.substr(0, dot) + "_C" + newestArchive.substr(dot);
}

ThinningPlan PlanThinning(const std::vector<std::string>& archiveNames, const KeepPolicy& policy,
                          CalendarDay today) {
    const Periods periods(policy, today);
    ThinningPlan plan;
    // The list is oldest first, so the archives of one period follow each
    // other; names without a date stay where they are.
    std::vector<std::pair<std::pair<Step, long long>, std::vector<std::string>>> groups;
    std::vector<std::string> undated;
    for (const std::string& name : archiveNames) {
        const std::optional<CalendarDay> date = ArchiveDate(name);
        if (!date) {
            undated.push_back(name);
            continue;
        }
        const auto period = periods.Of(*date);
        if (period.first == Step::KeepAll || groups.empty() || groups.back().first != period)
            groups.push_back({period, {}});
        groups.back().second.push_back(name);
    }
    for (auto& [period, names] : groups) {
        if (names.size() < 2) {
            plan.remaining.insert(plan.remaining.end(), names.begin(), names.end());
            continue;
        }
        plan.remaining.push_back(ConsolidatedArchiveName(names.back()));
        ThinningPeriod thinned;
        thinned.firstDay = *ArchiveDate(names.front());
        thinned.lastDay = *ArchiveDate(names.back());
        thinned.archives = std::move(names);
        plan.periods.push_back(std::move(thinned));
    }
    plan.remaining.insert(plan.remaining.end(), undated.begin(), undated.end());
    return plan;
}

} // namespace rk
