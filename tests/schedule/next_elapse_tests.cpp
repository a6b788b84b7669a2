// The next run as "systemctl show" prints it: seconds since the epoch, or
// systemd 252's date with its zone.

#include "schedule/next_elapse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace rk::schedule {
namespace {

constexpr std::time_t kElapse = 1796850120; // Wed 2026-12-09 21:02:00 UTC

// TZ set to a zone for the lifetime of the object.
class InZone {
  public:
    explicit InZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone() {
        if (old_)
            setenv("TZ", old_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    InZone(const InZone&) = delete;
    InZone& operator=(const InZone&) = delete;

  private:
    std::optional<std::string> old_;
};

TEST(NextElapse, SecondsSinceTheEpoch) {
    EXPECT_EQ(ParseNextElapse("@1796850120\n"), kElapse);
    EXPECT_EQ(ParseNextElapse("  @1796850120  "), kElapse);
    EXPECT_FALSE(ParseNextElapse("@"));
    EXPECT_FALSE(ParseNextElapse("@0"));
    EXPECT_FALSE(ParseNextElapse("@12x"));
    EXPECT_FALSE(ParseNextElapse(""));
    EXPECT_FALSE(ParseNextElapse("\n"));
    EXPECT_FALSE(ParseNextElapse("n/a\n"));
}

TEST(NextElapse, DateInUtcOrWithAnOffset) {
    const InZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 21:02:00 UTC\n"), kElapse);
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 21:02:00 GMT"), kElapse);
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 22:02:00 +0100"), kElapse);
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 16:32:00 -04:30"), kElapse);
    EXPECT_EQ(ParseNextElapse("Thu 2026-12-10 06:02:00 +09"), kElapse);
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 21:02:00.250000 UTC"), kElapse);
    EXPECT_FALSE(ParseNextElapse("Wed 2026-13-09 21:02:00 UTC"));
    EXPECT_FALSE(ParseNextElapse("Wed 2026-12-09 25:02:00 UTC"));
    EXPECT_FALSE(ParseNextElapse("Wed 2026-12-09 UTC"));
    EXPECT_FALSE(ParseNextElapse("Wed 2026-12-09 21:02:00 +1"));
    // A zone that is neither UTC, an offset nor the local one is not guessed.
    EXPECT_FALSE(ParseNextElapse("Wed 2026-12-09 21:02:00 JST"));
}

TEST(NextElapse, DateInTheLocalZone) {
    const InZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // Winter time: CET is one hour east of UTC.
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 22:02:00 CET"), kElapse);
    EXPECT_EQ(ParseNextElapse("Wed 2026-12-09 22:02:00"), kElapse);
    // Summer time: CEST is two hours east.
    EXPECT_EQ(ParseNextElapse("Wed 2026-07-01 12:00:00 CEST"),
              ParseNextElapse("Wed 2026-07-01 10:00:00 UTC"));
    ASSERT_TRUE(ParseNextElapse("Wed 2026-07-01 10:00:00 UTC"));
    EXPECT_EQ(*ParseNextElapse("Wed 2026-07-01 10:00:00 UTC"), 1782900000);
}

} // namespace
} // namespace rk::schedule
